// TIFF written through libtiff: 8-bit RGB, or RGBA when some pixel is not opaque, LZW-coded with
// the horizontal predictor (the baseline's compression, which every reader takes), with the
// photograph's resolution, ICC profile, XMP packet and EXIF directories as the format's own tags,
// in the EXIF block's byte order so that its maker note reads as it did.
#include <algorithm>

#include "imageio/codecs.h"
#include "imageio/tiff_exif.h"
#include "imageio/tiff_memory.h"

namespace imageio {
namespace {

// Strips of about this many bytes: small enough to code without a large buffer.
constexpr std::uint32_t kStripBytes = 256 << 10;

void SetLayout(TIFF* tiff, const RgbaImage& image, bool withAlpha) {
    const std::uint32_t channels = withAlpha ? 4 : 3;
    const auto width = static_cast<std::uint32_t>(image.width);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);  // written upright
    if (withAlpha) {
        const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                 std::max<std::uint32_t>(1, kStripBytes / (width * channels)));
}

void SetMetadata(TIFF* tiff, const PhotoMetadata& metadata) {
    if (!metadata.icc.empty()) {
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(metadata.icc.size()),
                     metadata.icc.data());
    }
    if (!metadata.xmp.empty()) {
        TIFFSetField(tiff, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(metadata.xmp.size()),
                     metadata.xmp.data());
    }
}

}  // namespace

void ToRgbBytes(const Pixel32* pixels, std::size_t count, bool withAlpha, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel32 pixel = pixels[i];
        *out++ = static_cast<std::uint8_t>(Channel(pixel, 2));
        *out++ = static_cast<std::uint8_t>(Channel(pixel, 1));
        *out++ = static_cast<std::uint8_t>(Channel(pixel, 0));
        if (withAlpha) *out++ = static_cast<std::uint8_t>(Channel(pixel, 3));
    }
}

Encoded WriteTiff(const RgbaImage& image, const PhotoMetadata& metadata, const EncodeOptions&) {
    TiffFile file(/*bigEndian=*/!metadata.exif.empty() && metadata.exif[0] == 'M');
    TIFF* tiff = file.Get();
    if (tiff == nullptr) throw ImageError("the TIFF encoder failed: " + file.Error());
    Encoded encoded;
    // The EXIF directories first: creating them ends the directory being set up.
    const std::uint64_t exifAt =
        WriteExifDirectories(tiff, metadata.exif, !metadata.icc.empty(), encoded.warnings);
    const bool withAlpha = !IsOpaque(image);
    SetLayout(tiff, image, withAlpha);
    SetResolution(tiff, metadata.exif);
    SetMetadata(tiff, metadata);
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> row(width * (withAlpha ? 4 : 3));
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(image.height); ++y) {
        ToRgbBytes(image.pixels.data() + width * y, width, withAlpha, row.data());
        if (TIFFWriteScanline(tiff, row.data(), y, 0) < 0) {
            throw ImageError("the TIFF encoder failed: " + file.Error());
        }
    }
    encoded.bytes = file.Finish();
    if (exifAt != 0) PlaceMakerNote(encoded.bytes, exifAt, metadata.exif);
    return encoded;
}

}  // namespace imageio
