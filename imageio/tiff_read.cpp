// TIFF through libtiff: every compression the library was built with, either byte order; 8 and
// 16 bits per channel of grey, palette and RGB, with or without alpha, read here with 16-bit
// values rounded; other layouts (bilevel, CMYK, YCbCr, planes stored apart) through the library's
// own RGBA reader. Of several pages the first, with a warning. The photograph's tags, EXIF and GPS
// directories become an EXIF block, as a JPEG file's.
#include <algorithm>
#include <cstring>
#include <new>

#include "imageio/codecs.h"
#include "imageio/exif_of_tiff.h"
#include "imageio/tiff_memory.h"

namespace imageio {
namespace {

constexpr char kDamaged[] = "the TIFF file is damaged or cut short";

// The name of a compression for a message.
std::string CompressionName(std::uint16_t compression) {
    switch (compression) {
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return "JPEG";
        case COMPRESSION_JP2000:
            return "JPEG 2000";
        case COMPRESSION_LZMA:
            return "LZMA";
        case COMPRESSION_ZSTD:
            return "ZSTD";
        case COMPRESSION_WEBP:
            return "WebP";
        default:
            return "scheme " + std::to_string(compression);
    }
}

// The first directory's fields that decide how it is read.
struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    bool associatedAlpha = false;  // colours premultiplied by the alpha
};

Layout LayoutOf(TIFF* tiff) {
    Layout layout;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric) == 0) {
        layout.photometric = layout.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    std::uint16_t extraCount = 0;
    std::uint16_t* extras = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) != 0 && extraCount > 0) {
        layout.associatedAlpha = extras[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    if (TIFFIsCODECConfigured(compression) == 0) {
        throw ImageError("a TIFF compressed with " + CompressionName(compression) +
                         " is not supported");
    }
    if (format == SAMPLEFORMAT_IEEEFP) {
        throw ImageError("a TIFF of floating-point samples is not supported");
    }
    if (layout.bits != 1 && layout.bits != 2 && layout.bits != 4 && layout.bits != 8 &&
        layout.bits != 16) {
        throw ImageError("a " + std::to_string(layout.bits) + "-bit TIFF is not supported");
    }
    // JPEG-coded YCbCr comes out of the codec as RGB.
    if (compression == COMPRESSION_JPEG && layout.photometric == PHOTOMETRIC_YCBCR) {
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        layout.photometric = PHOTOMETRIC_RGB;
    }
    return layout;
}

// Grey or RGB with at most one extra sample taken as alpha, interleaved, 8 or 16 bits; or an
// 8-bit palette. These are read here; the rest through libtiff's RGBA reader.
bool ReadHere(const Layout& layout) {
    if (layout.planar != PLANARCONFIG_CONTIG) return false;
    if (layout.photometric == PHOTOMETRIC_PALETTE) return layout.bits == 8 && layout.samples == 1;
    if (layout.bits != 8 && layout.bits != 16) return false;
    if (layout.photometric == PHOTOMETRIC_MINISBLACK) return layout.samples <= 2;
    return layout.photometric == PHOTOMETRIC_RGB && layout.samples >= 3 && layout.samples <= 4;
}

// The colour of a premultiplied value under ALPHA.
std::uint8_t Unpremultiplied(unsigned value, unsigned alpha) noexcept {
    if (alpha == 0) return 0;
    return static_cast<std::uint8_t>(std::min(255u, (value * 255 + alpha / 2) / alpha));
}

// One row of the file's samples to BGRA words.
class RowConverter {
   public:
    RowConverter(TIFF* tiff, const Layout& fields) : layout(fields) {
        std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (layout.photometric == PHOTOMETRIC_PALETTE &&
            TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) != 0) {
            for (int i = 0; i < 256; ++i) {
                palette[i] = PackPixel(Round16(red[i]), Round16(green[i]), Round16(blue[i]), 255);
            }
        }
    }

    void operator()(const std::uint8_t* in, Pixel32* out, std::uint32_t width) const noexcept {
        const std::uint32_t samples = layout.samples;
        for (std::uint32_t x = 0; x < width; ++x) {
            if (layout.photometric == PHOTOMETRIC_PALETTE) {
                out[x] = palette[in[x]];
                continue;
            }
            const auto sample = [&](std::uint32_t c) { return Sample(in, x * samples + c); };
            const bool grey = layout.photometric == PHOTOMETRIC_MINISBLACK;
            const std::uint32_t alphaAt = grey ? 1 : 3;
            const unsigned alpha = samples > alphaAt ? sample(alphaAt) : 255;
            const auto colour = [&](std::uint32_t c) {
                const std::uint8_t value = sample(grey ? 0 : c);
                return layout.associatedAlpha ? Unpremultiplied(value, alpha) : value;
            };
            out[x] = PackPixel(colour(0), colour(1), colour(2), static_cast<std::uint8_t>(alpha));
        }
    }

   private:
    // libtiff hands 16-bit samples over in the machine's order.
    [[nodiscard]] std::uint8_t Sample(const std::uint8_t* in, std::uint32_t index) const noexcept {
        if (layout.bits == 8) return in[index];
        std::uint16_t value = 0;
        std::memcpy(&value, in + 2 * std::size_t{index}, 2);
        return Round16(value);
    }

    Layout layout;
    Pixel32 palette[256] = {};
};

void ReadStrips(TIFF* tiff, const Layout& layout, RgbaImage& image) {
    const RowConverter convert(tiff, layout);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize64(tiff)));
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        if (TIFFReadScanline(tiff, row.data(), y, 0) < 0) throw ImageError(kDamaged);
        convert(row.data(), image.pixels.data() + std::size_t{layout.width} * y, layout.width);
    }
}

void ReadTiles(TIFF* tiff, const Layout& layout, RgbaImage& image) {
    const RowConverter convert(tiff, layout);
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    if (tileWidth == 0 || tileHeight == 0) throw ImageError(kDamaged);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize64(tiff)));
    const std::size_t rowBytes = static_cast<std::size_t>(TIFFTileRowSize64(tiff));
    for (std::uint32_t top = 0; top < layout.height; top += tileHeight) {
        for (std::uint32_t left = 0; left < layout.width; left += tileWidth) {
            if (TIFFReadTile(tiff, tile.data(), left, top, 0, 0) < 0) throw ImageError(kDamaged);
            const std::uint32_t rows = std::min(tileHeight, layout.height - top);
            const std::uint32_t columns = std::min(tileWidth, layout.width - left);
            for (std::uint32_t y = 0; y < rows; ++y) {
                convert(tile.data() + rowBytes * y,
                        image.pixels.data() + std::size_t{layout.width} * (top + y) + left,
                        columns);
            }
        }
    }
}

// libtiff's RGBA reader gives rows of A, B, G, R bytes in a word, top row first.
void ReadThroughLibrary(TIFF* tiff, RgbaImage& image) {
    auto* words = reinterpret_cast<std::uint32_t*>(image.pixels.data());
    if (TIFFReadRGBAImageOriented(tiff, static_cast<std::uint32_t>(image.width),
                                  static_cast<std::uint32_t>(image.height), words,
                                  ORIENTATION_TOPLEFT, 0) == 0) {
        throw ImageError(kDamaged);
    }
    for (Pixel32& pixel : image.pixels) {
        pixel = PackPixel(
            static_cast<std::uint8_t>(TIFFGetR(pixel)), static_cast<std::uint8_t>(TIFFGetG(pixel)),
            static_cast<std::uint8_t>(TIFFGetB(pixel)), static_cast<std::uint8_t>(TIFFGetA(pixel)));
    }
}

// The orientation, ICC profile and XMP packet of the first directory, and the EXIF block made of
// its tags (of a BigTIFF's, which is not read, whether it has any).
PhotoMetadata MetadataOf(TIFF* tiff, ByteView file, std::vector<std::string>& warnings) {
    PhotoMetadata metadata;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) != 0 && orientation >= 1 &&
        orientation <= 8) {
        metadata.orientation = orientation;
    }
    std::uint32_t count = 0;
    void* data = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &count, &data) != 0 && data != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        metadata.icc.assign(bytes, bytes + count);
    }
    if (TIFFGetField(tiff, TIFFTAG_XMLPACKET, &count, &data) != 0 && data != nullptr) {
        metadata.xmp.assign(static_cast<const char*>(data), count);
    }
    const ExifView view(file.data, file.size);
    std::uint64_t exifAt = 0;
    if (!view.HasHeader()) {
        metadata.exifLeftBehind = TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifAt) != 0;
        return metadata;
    }
    std::string problem;
    metadata.exif = ExifOfTiff(view, problem);
    if (!problem.empty()) warnings.push_back(": its EXIF block is left out: " + problem);
    return metadata;
}

}  // namespace

bool IsTiff(ByteView start) {
    static constexpr std::uint8_t kLittle[4] = {'I', 'I', 42, 0};
    static constexpr std::uint8_t kBig[4] = {'M', 'M', 0, 42};
    static constexpr std::uint8_t kBigLittle[4] = {'I', 'I', 43, 0};
    static constexpr std::uint8_t kBigBig[4] = {'M', 'M', 0, 43};
    if (start.size < 4) return false;
    for (const std::uint8_t* magic : {kLittle, kBig, kBigLittle, kBigBig}) {
        if (std::memcmp(start.data, magic, 4) == 0) return true;
    }
    return false;
}

std::uint32_t TiffPages(ByteView file) {
    TiffFile tiff(file);
    return tiff.Get() == nullptr ? 1 : std::max<std::uint32_t>(1, TIFFNumberOfDirectories(tiff.Get()));
}

Decoded ReadTiff(ByteView file, const SizeCheck& check) {
    TiffFile tiff(file);
    if (tiff.Get() == nullptr) throw ImageError(kDamaged);
    const Layout layout = LayoutOf(tiff.Get());
    check(layout.width, layout.height);
    Decoded decoded;
    RgbaImage& image = decoded.image;
    image.metadata = MetadataOf(tiff.Get(), file, decoded.warnings);
    image.width = static_cast<std::int32_t>(layout.width);
    image.height = static_cast<std::int32_t>(layout.height);
    image.pixels = NewPixels(std::size_t{layout.width} * layout.height);
    if (!ReadHere(layout)) {
        ReadThroughLibrary(tiff.Get(), image);
    } else if (TIFFIsTiled(tiff.Get()) != 0) {
        ReadTiles(tiff.Get(), layout, image);
    } else {
        ReadStrips(tiff.Get(), layout, image);
    }
    decoded.pages = TIFFNumberOfDirectories(tiff.Get());
    if (decoded.pages > 1) {
        decoded.warnings.push_back(" has " + std::to_string(decoded.pages) +
                                   " pages; the first is used");
    }
    return decoded;
}

}  // namespace imageio
