// PNG through libpng: 8 and 16 bits per channel, grey, palette and RGB, with or without alpha,
// read into BGRA words (16-bit values rounded); written as 8-bit RGB, or RGBA when some pixel is
// not opaque, with the ICC profile (iCCP), the EXIF block (eXIf) and the XMP packet (iTXt).
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "imageio/codecs.h"
#include "imageio/icc_profile.h"
#include "imageio/png_chunks.h"

namespace imageio {
namespace {

constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";
constexpr std::uint32_t kLargestSide = 0x7FFFFFFF;

// libpng's errors end the call with ImageError; its warnings (a chunk it skips) are not errors.
[[noreturn]] void ThrowError(png_structp, png_const_charp message) {
    if (std::strstr(message, "memory") != nullptr) throw std::bad_alloc();
    throw ImageError("the PNG file is damaged or cut short");
}
void IgnoreWarning(png_structp, png_const_charp) noexcept {}

// The library's read and info structures, destroyed whatever happens; its warning on an iCCP
// chunk it leaves out kept to say why.
class PngReader {
   public:
    explicit PngReader(ByteView bytes) : file(bytes) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, ThrowError, KeepIccWarning);
        if (png == nullptr) throw std::bad_alloc();
        info = png_create_info_struct(png);
        if (info == nullptr) throw std::bad_alloc();
        png_set_read_fn(png, this, Read);
        png_set_user_limits(png, kLargestSide, kLargestSide);
    }
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string iccWarning;  // as libpng words it: "iCCP: too short"

   private:
    static void KeepIccWarning(png_structp png, png_const_charp message) {
        auto& reader = *static_cast<PngReader*>(png_get_error_ptr(png));
        if (reader.iccWarning.empty() && std::strncmp(message, "iCCP", 4) == 0) {
            reader.iccWarning = message;
        }
    }
    static void Read(png_structp png, png_bytep data, png_size_t size) {
        auto& reader = *static_cast<PngReader*>(png_get_io_ptr(png));
        if (reader.file.size - reader.at < size) png_error(png, "cut short");
        std::memcpy(data, reader.file.data + reader.at, size);
        reader.at += size;
    }

    ByteView file;
    std::size_t at = 0;
};

// Every chunk's length within the file: libpng allocates a chunk's buffer (an eXIf's, say) before
// it reads the chunk, so a damaged length in a small file would ask for gigabytes.
void CheckChunkLengths(ByteView file) {
    if (!PngChunks(file)) throw ImageError("the PNG file is damaged or cut short");
}

// The EXIF block, ICC profile and XMP packet of the chunks read so far, each kept once found.
void TakeMetadata(png_structp png, png_infop info, PhotoMetadata& metadata) {
    png_bytep exif = nullptr;
    png_uint_32 exifBytes = 0;
    if (metadata.exif.empty() && png_get_eXIf_1(png, info, &exifBytes, &exif) != 0) {
        metadata.exif.assign(exif, exif + exifBytes);
        metadata.orientation = ExifOrientation(metadata.exif).value_or(1);
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileBytes = 0;
    if (metadata.icc.empty() &&
        png_get_iCCP(png, info, &name, &compression, &profile, &profileBytes) != 0) {
        metadata.icc.assign(profile, profile + profileBytes);
    }
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count && metadata.xmp.empty(); ++i) {
        if (std::strcmp(texts[i].key, kXmpKeyword) == 0 && texts[i].itxt_length > 0) {
            metadata.xmp.assign(texts[i].text, texts[i].itxt_length);
        }
    }
}

// A file with no eXIf chunk may keep its EXIF block in a text chunk instead, in hexadecimal
// ("Raw profile type exif", or "APP1" for the JPEG segment's contents), possibly after the
// segment's "Exif\0\0".
void TakeRawExif(png_structp png, png_infop info, PhotoMetadata& metadata,
                 std::vector<std::string>& warnings) {
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count && metadata.exif.empty(); ++i) {
        const std::string key = texts[i].key;
        if (key != "Raw profile type exif" && key != "Raw profile type APP1") continue;
        std::optional<std::vector<std::uint8_t>> exif = RawProfileBytes(texts[i].text);
        if (!exif) {
            warnings.push_back(": its EXIF text (\"" + key + "\") is damaged and is left out");
            return;
        }
        static constexpr std::uint8_t kSegmentStart[6] = {'E', 'x', 'i', 'f', 0, 0};
        const bool segment = exif->size() >= 6 && std::memcmp(exif->data(), kSegmentStart, 6) == 0;
        metadata.exif.assign(exif->begin() + (segment ? 6 : 0), exif->end());
        metadata.orientation = ExifOrientation(metadata.exif).value_or(1);
    }
}

// libpng leaves out an iCCP chunk it finds damaged: that is said, and why: what the profile's
// header tells, else libpng's own words.
void WarnOfRefusedProfile(ByteView file, const std::string& libraryWarning,
                          std::vector<std::string>& warnings) {
    const std::optional<std::vector<std::uint8_t>> profile = IccpChunkProfile(file);
    if (!profile) return;
    std::string fault = profile->empty() ? "its iCCP chunk does not inflate" : IccFault(*profile);
    if (fault.empty()) {
        fault = libraryWarning.empty() ? "libpng refuses it"
                                       : "libpng refuses it (\"" + libraryWarning + "\")";
    }
    warnings.push_back(": its ICC profile is left out: " + fault);
}

// Every layout becomes RGBA: palettes and low-bit grey expanded, transparency as alpha, grey
// spread to three channels, a missing alpha opaque. 8-bit rows come as BGRA words.
void RequestRgba(png_structp png, png_infop info, bool wide) {
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, wide ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    if (!wide) png_set_bgr(png);
    png_read_update_info(png, info);
}

// 16-bit big-endian RGBA rows to BGRA words, rounded.
void ConvertWideRow(const std::uint8_t* in, Pixel32* out, std::uint32_t width) noexcept {
    const auto sample = [in](std::uint32_t x, int c) {
        const std::uint8_t* at = in + 8 * x + 2 * static_cast<std::uint32_t>(c);
        return Round16(static_cast<std::uint32_t>(at[0] << 8 | at[1]));
    };
    for (std::uint32_t x = 0; x < width; ++x) {
        out[x] = PackPixel(sample(x, 0), sample(x, 1), sample(x, 2), sample(x, 3));
    }
}

void ReadRows(PngReader& reader, RgbaImage& image, bool wide) {
    const int passes = png_set_interlace_handling(reader.png);
    RequestRgba(reader.png, reader.info, wide);
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    // An interlaced 16-bit file is gathered whole before its rows can be rounded.
    std::vector<std::uint8_t> wideRows(wide ? std::size_t{width} * 8 * (passes > 1 ? height : 1)
                                            : 0);
    const auto rowAt = [&](std::size_t y) -> png_bytep {
        if (!wide) return reinterpret_cast<png_bytep>(image.pixels.data() + width * y);
        return wideRows.data() + (passes > 1 ? std::size_t{width} * 8 * y : 0);
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t y = 0; y < height; ++y) {
            png_read_row(reader.png, rowAt(y), nullptr);
            if (wide && passes == 1)
                ConvertWideRow(rowAt(y), image.pixels.data() + width * y, width);
        }
    }
    for (std::size_t y = 0; wide && passes > 1 && y < height; ++y) {
        ConvertWideRow(rowAt(y), image.pixels.data() + width * y, width);
    }
}

}  // namespace

bool IsPng(ByteView start) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return start.size >= 8 && std::memcmp(start.data, kSignature, 8) == 0;
}

Decoded ReadPng(ByteView file, const SizeCheck& check) {
    CheckChunkLengths(file);
    PngReader reader(file);
    png_read_info(reader.png, reader.info);
    const png_uint_32 width = png_get_image_width(reader.png, reader.info);
    const png_uint_32 height = png_get_image_height(reader.png, reader.info);
    check(width, height);
    Decoded decoded;
    RgbaImage& image = decoded.image;
    TakeMetadata(reader.png, reader.info, image.metadata);
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.pixels = NewPixels(std::size_t{width} * height);
    ReadRows(reader, image, png_get_bit_depth(reader.png, reader.info) == 16);
    png_read_end(reader.png, reader.info);
    TakeMetadata(reader.png, reader.info, image.metadata);  // chunks after the image data
    TakeRawExif(reader.png, reader.info, image.metadata, decoded.warnings);
    if (image.metadata.icc.empty()) WarnOfRefusedProfile(file, reader.iccWarning, decoded.warnings);
    return decoded;
}

namespace {

class PngWriter {
   public:
    PngWriter() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowError, IgnoreWarning);
        if (png == nullptr) throw std::bad_alloc();
        info = png_create_info_struct(png);
        if (info == nullptr) throw std::bad_alloc();
        png_set_write_fn(png, &bytes, Write, nullptr);
    }
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t> bytes;

   private:
    static void Write(png_structp png, png_bytep data, png_size_t size) {
        auto& out = *static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
        out.insert(out.end(), data, data + size);
    }
};

void SetMetadata(png_structp png, png_infop info, const PhotoMetadata& metadata,
                 std::vector<std::string>& warnings) {
    if (!metadata.icc.empty()) {
        // libpng checks the profile's header and, its errors made warnings, leaves out one that
        // does not fit the image rather than fail the file.
        png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, metadata.icc.data(),
                     static_cast<png_uint_32>(metadata.icc.size()));
        if (png_get_valid(png, info, PNG_INFO_iCCP) == 0) {
            warnings.push_back(": its ICC profile is not one a PNG file can hold and is left out");
        }
    }
    if (!metadata.exif.empty()) {
        // The library only reads the block it is handed.
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(metadata.exif.size()),
                       const_cast<png_bytep>(metadata.exif.data()));
    }
    if (!metadata.xmp.empty()) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(kXmpKeyword);
        text.text = const_cast<png_charp>(metadata.xmp.c_str());
        text.itxt_length = metadata.xmp.size();
        png_set_text(png, info, &text, 1);
    }
}

}  // namespace

// Tuned for speed as photographs need it: the Sub filter, the fastest compression level and the
// run-length strategy; the file is standard PNG all the same.
Encoded WritePng(const RgbaImage& image, const PhotoMetadata& metadata, const EncodeOptions&) {
    PngWriter writer;
    const bool withAlpha = !IsOpaque(image);
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_filter(writer.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(writer.png, Z_BEST_SPEED);
    png_set_compression_strategy(writer.png, Z_RLE);
    png_set_benign_errors(writer.png, 1);
    Encoded encoded;
    SetMetadata(writer.png, writer.info, metadata, encoded.warnings);
    png_write_info(writer.png, writer.info);
    png_set_bgr(writer.png);
    if (!withAlpha) png_set_filler(writer.png, 0, PNG_FILLER_AFTER);  // the alpha byte skipped
    const auto width = static_cast<std::size_t>(image.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
        // The library only reads its input rows.
        png_write_row(writer.png,
                      reinterpret_cast<png_const_bytep>(image.pixels.data() + width * y));
    }
    // Without the info: libpng would write the eXIf chunk a second time after the image data.
    png_write_end(writer.png, nullptr);
    encoded.bytes = std::move(writer.bytes);
    return encoded;
}

}  // namespace imageio
