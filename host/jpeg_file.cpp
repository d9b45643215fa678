// JPEG files through libjpeg-turbo: decoded straight into the plug-in's BGRA words and encoded
// from them, the coded data passing through blocks of 1 MiB.
#include "host/jpeg_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/host_error.h"
#include "host/memory_limit.h"
#include "host/text_encoding.h"

// jpeglib.h first: its configuration decides which codes jerror.h declares.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

static_assert(kJpegMaxSide == JPEG_MAX_DIMENSION);

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;
// Rows handed to the library per call.
constexpr JDIMENSION kRowsPerCall = 16;
// From this quality on the colour is kept at full resolution (4:4:4). Below it, as cameras and
// most encoders do, it is halved both ways (4:2:0): at the default 92 that encodes in two thirds
// of the time and gives a third smaller files.
constexpr int kFullChromaQuality = 95;

// The library's errors become HostError thrown through its frames (it is built with unwind
// tables), its default handler would end the process. Warnings of lost data are errors too: the
// library would otherwise fill what it could not decode with grey.
struct ErrorHandler : jpeg_error_mgr {
    std::string what;
};

[[nodiscard]] bool IsHarmless(int code) noexcept {
    return code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC ||
           code == JWRN_EXTRANEOUS_DATA;  // bytes skipped between segments, nothing lost
}

[[noreturn]] void ThrowError(j_common_ptr info) {
    const auto& handler = *static_cast<ErrorHandler*>(info->err);
    const int code = handler.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
        throw HostError(handler.what + ": out of memory");
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
        code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC || code == JERR_INPUT_EOF)
        throw HostError(handler.what + ": the file is damaged or cut short");
    char text[JMSG_LENGTH_MAX] = {};
    handler.format_message(info, text);
    throw HostError(handler.what + ": " + text);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level < 0 && !IsHarmless(info->err->msg_code)) ThrowError(info);
}

void InstallHandler(ErrorHandler& handler, std::string what) {
    jpeg_std_error(&handler);
    handler.error_exit = ThrowError;
    handler.emit_message = EmitMessage;
    handler.what = std::move(what);
}

// A compressor or decompressor (INFO) with kvhost's error handler, destroyed with its memory
// whatever happens. Zeroed until the derived class creates it, which destroying leaves alone.
template <typename Info>
class LibraryObject {
   public:
    explicit LibraryObject(std::string what) {
        InstallHandler(errors, std::move(what));
        info.err = &errors;
    }
    ~LibraryObject() { jpeg_destroy(reinterpret_cast<j_common_ptr>(&info)); }
    LibraryObject(const LibraryObject&) = delete;
    LibraryObject& operator=(const LibraryObject&) = delete;

    Info info{};

   private:
    ErrorHandler errors;
};

// Coded data read from a stream a block at a time.
struct StreamSource : jpeg_source_mgr {
    IStream* stream = nullptr;
    std::vector<JOCTET> block = std::vector<JOCTET>(kBlockBytes);
    static constexpr JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    // Set while the rows of an image coded in one scan are decoded: the file may then end where
    // its end marker belongs, and the decoder itself tells whether any data is missing.
    bool endMayBeMissing = false;
    bool endMissing = false;
};

boolean FillInput(j_decompress_ptr info) {
    auto& source = *static_cast<StreamSource*>(info->src);
    ULONG count = 0;
    const HRESULT result =
        source.stream->Read(source.block.data(), static_cast<ULONG>(kBlockBytes), &count);
    if (FAILED(result)) CheckResult(result, static_cast<ErrorHandler*>(info->err)->what);
    if (count == 0) {
        // The end of the file before the image's end: the warning that follows is an error,
        // unless only the end marker may be missing; then a row that needs the absent data
        // raises the error instead.
        if (source.endMayBeMissing) {
            source.endMissing = true;
        } else {
            WARNMS(info, JWRN_JPEG_EOF);
        }
        source.next_input_byte = StreamSource::kEnd;
        source.bytes_in_buffer = 2;
        return TRUE;
    }
    source.next_input_byte = source.block.data();
    source.bytes_in_buffer = count;
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

// A decompressor that reads STREAM.
class Decompressor : public LibraryObject<jpeg_decompress_struct> {
   public:
    [[nodiscard]] StreamSource& Source() noexcept { return source; }
    Decompressor(IStream& stream, std::string what) : LibraryObject(std::move(what)) {
        jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
        source.next_input_byte = nullptr;
        source.bytes_in_buffer = 0;  // the first read fills the block
        source.stream = &stream;
        source.init_source = NoAction;
        source.fill_input_buffer = FillInput;
        source.skip_input_data = SkipInput;
        source.resync_to_restart = jpeg_resync_to_restart;
        source.term_source = NoAction;
        info.src = &source;
    }

   private:
    StreamSource source;
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

// What APP1 segments begin with before their EXIF block or XMP packet.
constexpr char kExifSignature[] = "Exif\0";  // and the array's own zero: six bytes
constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";  // and its zero

bool StartsWith(const jpeg_saved_marker_ptr marker, const char* signature, std::size_t size) {
    return marker->data_length >= size && std::memcmp(marker->data, signature, size) == 0;
}

// The EXIF block, the XMP packet and the ICC profile of the saved markers.
PhotoMetadata MetadataOf(jpeg_decompress_struct& info) {
    PhotoMetadata found;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1) continue;
        if (StartsWith(marker, kExifSignature, sizeof kExifSignature) && found.exif.empty()) {
            found.exif.assign(marker->data + sizeof kExifSignature,
                              marker->data + marker->data_length);
        } else if (StartsWith(marker, kXmpSignature, sizeof kXmpSignature) && found.xmp.empty()) {
            found.xmp.assign(marker->data + sizeof kXmpSignature,
                             marker->data + marker->data_length);
        }
    }
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(&info, &profile, &length)) {
        found.icc.assign(profile, profile + length);
        std::free(profile);  // the library allocated it with malloc
    }
    found.orientation = ExifOrientation(found.exif).value_or(1);
    return found;
}

}  // namespace

bool StartsAsJpeg(const std::uint8_t* bytes, std::size_t count) noexcept {
    return count >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

RgbaImage ReadJpeg(IStream& stream, const std::string& path, std::uint32_t bytesPerPixel) {
    Decompressor decompressor(stream, "cannot read " + Quoted(path));
    jpeg_decompress_struct& info = decompressor.info;
    // APP1 holds EXIF and XMP, APP2 the ICC profile.
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    CheckImageFits(path, info.image_width, info.image_height, bytesPerPixel);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // The extended colour space writes BGRA words with alpha 255, grey included.
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    RgbaImage image{static_cast<std::int32_t>(info.image_width),
                    static_cast<std::int32_t>(info.image_height),
                    {},
                    MetadataOf(info)};
    image.pixels.resize(std::size_t{info.image_width} * info.image_height);
    jpeg_start_decompress(&info);
    // A file coded in one scan is whole once its rows are: a missing end marker loses nothing.
    // One of several scans (progressive ones) could end early without a row missing.
    decompressor.Source().endMayBeMissing =
        info.buffered_image == FALSE && jpeg_has_multiple_scans(&info) == FALSE;
    DecodeRows(info, image);
    if (decompressor.Source().endMissing) {
        PrintWarning(Quoted(path) + " ends without its end marker; every row is there");
    }
    return image;
}

namespace {

// Coded data written to a stream a block at a time; a failed write throws.
struct StreamDestination : jpeg_destination_mgr {
    IStream* stream = nullptr;
    std::vector<JOCTET> block = std::vector<JOCTET>(kBlockBytes);

    void Write(j_compress_ptr info, std::size_t count) {
        ULONG written = 0;
        const std::string& what = static_cast<ErrorHandler*>(info->err)->what;
        CheckResult(stream->Write(block.data(), static_cast<ULONG>(count), &written), what);
        if (written != count) throw HostError(what + ": the disk is full");
        next_output_byte = block.data();
        free_in_buffer = block.size();
    }
};

void StartOutput(j_compress_ptr info) {
    auto& destination = *static_cast<StreamDestination*>(info->dest);
    destination.next_output_byte = destination.block.data();
    destination.free_in_buffer = destination.block.size();
}

boolean EmptyOutput(j_compress_ptr info) {
    static_cast<StreamDestination*>(info->dest)->Write(info, kBlockBytes);
    return TRUE;
}

void FinishOutput(j_compress_ptr info) {
    auto& destination = *static_cast<StreamDestination*>(info->dest);
    destination.Write(info, kBlockBytes - destination.free_in_buffer);
}

// A compressor that writes STREAM.
class Compressor : public LibraryObject<jpeg_compress_struct> {
   public:
    Compressor(IStream& stream, std::string what) : LibraryObject(std::move(what)) {
        jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
        destination.stream = &stream;
        destination.init_destination = StartOutput;
        destination.empty_output_buffer = EmptyOutput;
        destination.term_destination = FinishOutput;
        info.dest = &destination;
    }

   private:
    StreamDestination destination;
};

// An APP1 segment: SIGNATURE (its zero included) and DATA, when they fit one segment.
void WriteApp1(jpeg_compress_struct& info, const char* signature, std::size_t signatureSize,
               const std::uint8_t* data, std::size_t size, const std::string& what,
               const char* name) {
    constexpr std::size_t kMostSegmentBytes = 65533;
    if (signatureSize + size > kMostSegmentBytes) {
        PrintWarning(what.substr(what.find('"')) + ": its " + name +
                     " is too large for a JPEG segment and is left out");
        return;
    }
    std::vector<JOCTET> segment(signature, signature + signatureSize);
    segment.insert(segment.end(), data, data + size);
    jpeg_write_marker(&info, JPEG_APP0 + 1, segment.data(), static_cast<unsigned>(segment.size()));
}

void WriteMetadata(jpeg_compress_struct& info, const PhotoMetadata& metadata,
                   const std::string& what) {
    if (!metadata.exif.empty()) {
        WriteApp1(info, kExifSignature, sizeof kExifSignature, metadata.exif.data(),
                  metadata.exif.size(), what, "EXIF block");
    }
    if (!metadata.xmp.empty()) {
        WriteApp1(info, kXmpSignature, sizeof kXmpSignature,
                  reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()), metadata.xmp.size(),
                  what, "XMP packet");
    }
    if (!metadata.icc.empty()) {
        jpeg_write_icc_profile(&info, metadata.icc.data(),
                               static_cast<unsigned>(metadata.icc.size()));
    }
}

}  // namespace

void WriteJpeg(IStream& stream, const RgbaImage& image, int quality, const PhotoMetadata& metadata,
               const std::string& what) {
    Compressor compressor(stream, what);
    jpeg_compress_struct& info = compressor.info;
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    // BGRA words read as they are, the alpha byte skipped.
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    if (quality >= kFullChromaQuality) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
    }
    // An EXIF segment comes first after the start of the image, where a JFIF one would be.
    if (!metadata.exif.empty()) info.write_JFIF_header = FALSE;
    jpeg_start_compress(&info, TRUE);
    WriteMetadata(info, metadata, what);
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
}
