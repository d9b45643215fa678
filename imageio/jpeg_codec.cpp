// JPEG through libjpeg-turbo: decoded straight into the plug-in's BGRA words and encoded from
// them, with the EXIF block and XMP packet (APP1) and the ICC profile (APP2).
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "imageio/codecs.h"
#include "imageio/icc_profile.h"
#include "imageio/jpeg_xmp.h"

// jpeglib.h first: its configuration decides which codes jerror.h declares.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace imageio {

static_assert(kJpegMaxSide == JPEG_MAX_DIMENSION);

namespace {

// Rows handed to the library per call.
constexpr JDIMENSION kRowsPerCall = 16;
// From this quality on the colour is kept at full resolution (4:4:4). Below it, as cameras and
// most encoders do, it is halved both ways (4:2:0): at the default 92 that encodes in two thirds
// of the time and gives a third smaller files.
constexpr int kFullChromaQuality = 95;

// The library's errors become ImageError thrown through its frames (it is built with unwind
// tables); its default handler would end the process. Warnings of lost data are errors too: the
// library would otherwise fill what it could not decode with grey.
[[nodiscard]] bool IsHarmless(int code) noexcept {
    return code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC ||
           code == JWRN_EXTRANEOUS_DATA;  // bytes skipped between segments, nothing lost
}

[[noreturn]] void ThrowError(j_common_ptr info) {
    const int code = info->err->msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) throw std::bad_alloc();
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
        code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC || code == JERR_INPUT_EOF)
        throw ImageError("the file is damaged or cut short");
    char text[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, text);
    throw ImageError(text);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level < 0 && !IsHarmless(info->err->msg_code)) ThrowError(info);
}

// A compressor or decompressor (INFO) with this error handler, destroyed with its memory
// whatever happens. Zeroed until the derived class creates it, which destroying leaves alone.
template <typename Info>
class LibraryObject {
   public:
    LibraryObject() {
        jpeg_std_error(&errors);
        errors.error_exit = ThrowError;
        errors.emit_message = EmitMessage;
        info.err = &errors;
    }
    ~LibraryObject() { jpeg_destroy(reinterpret_cast<j_common_ptr>(&info)); }
    LibraryObject(const LibraryObject&) = delete;
    LibraryObject& operator=(const LibraryObject&) = delete;

    Info info{};

   private:
    jpeg_error_mgr errors{};
};

// The file's bytes, all there from the start.
struct MemorySource : jpeg_source_mgr {
    static constexpr JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    // Set while the rows of an image coded in one scan are decoded: the file may then end where
    // its end marker belongs, and the decoder itself tells whether any data is missing.
    bool endMayBeMissing = false;
    bool endMissing = false;
};

// Asked for more only at the end of the file, before the image's end: the warning that follows
// is an error, unless only the end marker may be missing; then a row that needs the absent data
// raises the error instead.
boolean FillInput(j_decompress_ptr info) {
    auto& source = *static_cast<MemorySource*>(info->src);
    if (source.endMayBeMissing) {
        source.endMissing = true;
    } else {
        WARNMS(info, JWRN_JPEG_EOF);
    }
    source.next_input_byte = MemorySource::kEnd;
    source.bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    jpeg_source_mgr& source = *info->src;
    while (count > static_cast<long>(source.bytes_in_buffer)) {
        count -= static_cast<long>(source.bytes_in_buffer);
        FillInput(info);
    }
    if (count <= 0) return;
    source.next_input_byte += count;
    source.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void NoAction(j_decompress_ptr) noexcept {}

class Decompressor : public LibraryObject<jpeg_decompress_struct> {
   public:
    explicit Decompressor(ByteView file) {
        jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
        source.next_input_byte = file.data;
        source.bytes_in_buffer = file.size;
        source.init_source = NoAction;
        source.fill_input_buffer = FillInput;
        source.skip_input_data = SkipInput;
        source.resync_to_restart = jpeg_resync_to_restart;
        source.term_source = NoAction;
        info.src = &source;
    }
    [[nodiscard]] MemorySource& Source() noexcept { return source; }

   private:
    MemorySource source;
};

// Inked CMYK to BGRA. Adobe's files (nearly all CMYK JPEGs) store the values inverted.
void CmykRowToBgra(const JSAMPLE* in, Pixel32* out, JDIMENSION width, bool inverted) noexcept {
    const unsigned flip = inverted ? 0 : 255;
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        const unsigned k = in[3] ^ flip;
        const auto ink = [k, flip](unsigned value) {
            return static_cast<std::uint8_t>(((value ^ flip) * k + 127) / 255);
        };
        out[x] = PackPixel(ink(in[0]), ink(in[1]), ink(in[2]), 255);
    }
}

// Rows straight into the image; CMYK through a strip of rows converted here.
void DecodeRows(jpeg_decompress_struct& info, RgbaImage& image) {
    const bool cmyk = info.out_color_space == JCS_CMYK;
    const JDIMENSION width = info.output_width;
    std::vector<JSAMPLE> strip(cmyk ? std::size_t{width} * 4 * kRowsPerCall : 0);
    std::array<JSAMPROW, kRowsPerCall> rows{};
    while (info.output_scanline < info.output_height) {
        const JDIMENSION top = info.output_scanline;
        const JDIMENSION count = std::min(kRowsPerCall, info.output_height - top);
        for (JDIMENSION row = 0; row < count; ++row) {
            rows[row] = cmyk ? strip.data() + std::size_t{width} * 4 * row
                             : reinterpret_cast<JSAMPROW>(image.pixels.data() +
                                                          std::size_t{width} * (top + row));
        }
        const JDIMENSION read = jpeg_read_scanlines(&info, rows.data(), count);
        for (JDIMENSION row = 0; cmyk && row < read; ++row) {
            CmykRowToBgra(rows[row], image.pixels.data() + std::size_t{width} * (top + row), width,
                          info.saw_Adobe_marker != 0);
        }
    }
}

// What APP1 segments begin with before their EXIF block (XMP's: jpeg_xmp.h), and APP2 segments
// before a chunk of the ICC profile.
constexpr char kExifSignature[] = "Exif\0";      // and the array's own zero: six bytes
constexpr char kIccSignature[] = "ICC_PROFILE";  // and its zero

bool StartsWith(const jpeg_saved_marker_ptr marker, const char* signature, std::size_t size) {
    return marker->data_length >= size && std::memcmp(marker->data, signature, size) == 0;
}

ByteView After(const jpeg_saved_marker_ptr marker, std::size_t size) {
    return {marker->data + size, marker->data_length - size};
}

// The segments of the XMP packet and of the ICC profile, from their signatures on.
struct SavedSegments {
    std::string standardXmp;
    std::vector<ByteView> xmpExtensions;
    std::vector<ByteView> iccChunks;
};

// The EXIF block, the XMP packet (its extended part merged in) and the ICC profile of the saved
// markers; an extended packet or a profile that is not whole is left out with a warning.
PhotoMetadata MetadataOf(jpeg_decompress_struct& info, std::vector<std::string>& warnings) {
    PhotoMetadata found;
    SavedSegments segments;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 2 &&
            StartsWith(marker, kIccSignature, sizeof kIccSignature)) {
            segments.iccChunks.push_back(After(marker, sizeof kIccSignature));
        }
        if (marker->marker != JPEG_APP0 + 1) continue;
        if (StartsWith(marker, kExifSignature, sizeof kExifSignature) && found.exif.empty()) {
            const ByteView exif = After(marker, sizeof kExifSignature);
            found.exif.assign(exif.data, exif.data + exif.size);
        } else if (StartsWith(marker, kXmpSignature, sizeof kXmpSignature) &&
                   segments.standardXmp.empty()) {
            const ByteView xmp = After(marker, sizeof kXmpSignature);
            segments.standardXmp.assign(reinterpret_cast<const char*>(xmp.data), xmp.size);
        } else if (StartsWith(marker, kXmpExtensionSignature, sizeof kXmpExtensionSignature)) {
            segments.xmpExtensions.push_back({marker->data, marker->data_length});
        }
    }
    JpegXmp xmp = XmpFromSegments(segments.standardXmp, segments.xmpExtensions);
    if (!xmp.fault.empty()) warnings.push_back(": its extended XMP is left out: " + xmp.fault);
    found.xmp = std::move(xmp.xmp);
    JpegIcc icc = IccFromJpegChunks(segments.iccChunks);
    if (!icc.fault.empty()) warnings.push_back(": its ICC profile is left out: " + icc.fault);
    found.icc = std::move(icc.profile);
    found.orientation = ExifOrientation(found.exif).value_or(1);
    return found;
}

}  // namespace

bool IsJpeg(ByteView start) {
    return start.size >= 3 && start.data[0] == 0xFF && start.data[1] == 0xD8 &&
           start.data[2] == 0xFF;
}

Decoded ReadJpeg(ByteView file, const SizeCheck& check) {
    Decompressor decompressor(file);
    jpeg_decompress_struct& info = decompressor.info;
    // APP1 holds EXIF and XMP, APP2 the ICC profile.
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    check(info.image_width, info.image_height);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // The extended colour space writes BGRA words with alpha 255, grey included.
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    Decoded decoded;
    decoded.image = {static_cast<std::int32_t>(info.image_width),
                     static_cast<std::int32_t>(info.image_height),
                     {},
                     MetadataOf(info, decoded.warnings)};
    decoded.image.pixels = NewPixels(std::size_t{info.image_width} * info.image_height);
    jpeg_start_decompress(&info);
    // A file coded in one scan is whole once its rows are: a missing end marker loses nothing.
    // One of several scans (progressive ones) could end early without a row missing.
    decompressor.Source().endMayBeMissing =
        info.buffered_image == FALSE && jpeg_has_multiple_scans(&info) == FALSE;
    DecodeRows(info, decoded.image);
    if (decompressor.Source().endMissing) {
        decoded.warnings.push_back(" ends without its end marker; every row is there");
    }
    return decoded;
}

namespace {

// Coded data gathered in memory, grown by the library's own allocation.
class Compressor : public LibraryObject<jpeg_compress_struct> {
   public:
    Compressor() {
        jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
        jpeg_mem_dest(&info, &buffer, &size);
    }
    ~Compressor() { std::free(buffer); }  // after the library has let go of it
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    [[nodiscard]] std::vector<std::uint8_t> Bytes() const { return {buffer, buffer + size}; }

   private:
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

// An APP1 segment of the EXIF block, when it fits one segment.
void WriteExif(jpeg_compress_struct& info, const std::vector<std::uint8_t>& exif,
               std::vector<std::string>& warnings) {
    constexpr std::size_t kMostSegmentBytes = 65533;
    if (sizeof kExifSignature + exif.size() > kMostSegmentBytes) {
        warnings.push_back(": its EXIF block is too large for a JPEG segment and is left out");
        return;
    }
    std::vector<JOCTET> segment(kExifSignature, kExifSignature + sizeof kExifSignature);
    segment.insert(segment.end(), exif.begin(), exif.end());
    jpeg_write_marker(&info, JPEG_APP0 + 1, segment.data(), static_cast<unsigned>(segment.size()));
}

// The XMP packet in one APP1 segment, or split into a standard and an extended packet.
void WriteXmp(jpeg_compress_struct& info, const std::string& xmp,
              std::vector<std::string>& warnings) {
    const std::vector<std::vector<std::uint8_t>> segments = XmpSegments(xmp);
    if (segments.empty()) {
        warnings.push_back(
            ": its XMP packet is too large for a JPEG segment, cannot be split, and is left out");
    }
    for (const std::vector<std::uint8_t>& segment : segments) {
        jpeg_write_marker(&info, JPEG_APP0 + 1, segment.data(),
                          static_cast<unsigned>(segment.size()));
    }
}

void WriteMetadata(jpeg_compress_struct& info, const PhotoMetadata& metadata,
                   std::vector<std::string>& warnings) {
    if (!metadata.exif.empty()) WriteExif(info, metadata.exif, warnings);
    if (!metadata.xmp.empty()) WriteXmp(info, metadata.xmp, warnings);
    if (!metadata.icc.empty()) {
        jpeg_write_icc_profile(&info, metadata.icc.data(),
                               static_cast<unsigned>(metadata.icc.size()));
    }
}

}  // namespace

Encoded WriteJpeg(const RgbaImage& image, const PhotoMetadata& metadata,
                  const EncodeOptions& options) {
    Compressor compressor;
    jpeg_compress_struct& info = compressor.info;
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    // BGRA words read as they are, the alpha byte skipped.
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(options.jpegQuality, 1, 100), TRUE);
    if (options.jpegQuality >= kFullChromaQuality) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
    }
    // An EXIF segment comes first after the start of the image, where a JFIF one would be.
    if (!metadata.exif.empty()) info.write_JFIF_header = FALSE;
    jpeg_start_compress(&info, TRUE);
    Encoded encoded;
    WriteMetadata(info, metadata, encoded.warnings);
    const auto width = static_cast<std::size_t>(image.width);
    std::array<JSAMPROW, kRowsPerCall> rows{};
    while (info.next_scanline < info.image_height) {
        const JDIMENSION top = info.next_scanline;
        const JDIMENSION count = std::min(kRowsPerCall, info.image_height - top);
        for (JDIMENSION row = 0; row < count; ++row) {
            // The library only reads its input rows.
            rows[row] = reinterpret_cast<JSAMPROW>(
                const_cast<Pixel32*>(image.pixels.data() + width * (top + row)));
        }
        jpeg_write_scanlines(&info, rows.data(), count);
    }
    jpeg_finish_compress(&info);
    encoded.bytes = compressor.Bytes();
    return encoded;
}

}  // namespace imageio
