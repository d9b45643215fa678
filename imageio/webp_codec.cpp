// WebP through libwebp: read into BGRA words with the EXIF, ICC and XMP chunks of an extended
// file; written lossy at the JPEG quality (lossless from 100), alpha kept, the metadata as
// chunks of the extended format.
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>
#include <new>

#include "imageio/codecs.h"

namespace imageio {
namespace {

constexpr char kDamaged[] = "the WebP file is damaged or cut short";

// A chunk's bytes of the demuxed file, or nothing.
std::vector<std::uint8_t> Chunk(const WebPDemuxer* demuxer, const char* fourcc) {
    WebPChunkIterator chunk{};
    std::vector<std::uint8_t> bytes;
    if (WebPDemuxGetChunk(demuxer, fourcc, 1, &chunk) != 0) {
        bytes.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    }
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

PhotoMetadata MetadataOf(ByteView file) {
    PhotoMetadata metadata;
    const WebPData data{file.data, file.size};
    WebPDemuxer* demuxer = WebPDemux(&data);
    if (demuxer == nullptr) return metadata;
    metadata.exif = Chunk(demuxer, "EXIF");
    metadata.icc = Chunk(demuxer, "ICCP");
    const std::vector<std::uint8_t> xmp = Chunk(demuxer, "XMP ");
    metadata.xmp.assign(xmp.begin(), xmp.end());
    WebPDemuxDelete(demuxer);
    metadata.orientation = ExifOrientation(metadata.exif).value_or(1);
    return metadata;
}

struct EncodedPicture {
    WebPMemoryWriter writer{};
    WebPPicture picture{};
    EncodedPicture() {
        WebPMemoryWriterInit(&writer);
        WebPPictureInit(&picture);
    }
    ~EncodedPicture() {
        WebPPictureFree(&picture);
        WebPMemoryWriterClear(&writer);
    }
    EncodedPicture(const EncodedPicture&) = delete;
    EncodedPicture& operator=(const EncodedPicture&) = delete;
};

// The image coded as a plain WebP bitstream.
std::vector<std::uint8_t> Bitstream(const RgbaImage& image, int quality) {
    WebPConfig config{};
    if (WebPConfigInit(&config) == 0) throw ImageError("the WebP encoder failed");
    config.lossless = quality >= 100 ? 1 : 0;
    config.quality = static_cast<float>(quality);
    config.exact = 1;  // the colour under transparent pixels kept, as PNG and TIFF keep it
    EncodedPicture encoded;
    WebPPicture& picture = encoded.picture;
    picture.use_argb = 1;
    picture.width = image.width;
    picture.height = image.height;
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &encoded.writer;
    // BGRA words in memory are the ARGB words libwebp takes on a little-endian machine.
    if (WebPPictureImportBGRA(&picture, reinterpret_cast<const std::uint8_t*>(image.pixels.data()),
                              image.width * 4) == 0) {
        throw std::bad_alloc();
    }
    if (WebPEncode(&config, &picture) == 0) throw ImageError("the WebP encoder failed");
    return {encoded.writer.mem, encoded.writer.mem + encoded.writer.size};
}

// The bitstream with the metadata's chunks, through the muxer.
std::vector<std::uint8_t> WithMetadata(std::vector<std::uint8_t> bitstream,
                                       const PhotoMetadata& metadata) {
    if (metadata.Empty()) return bitstream;
    WebPMux* mux = WebPMuxNew();
    if (mux == nullptr) throw std::bad_alloc();
    const WebPData image{bitstream.data(), bitstream.size()};
    const WebPData exif{metadata.exif.data(), metadata.exif.size()};
    const WebPData icc{metadata.icc.data(), metadata.icc.size()};
    const WebPData xmp{reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()),
                       metadata.xmp.size()};
    bool set = WebPMuxSetImage(mux, &image, 1) == WEBP_MUX_OK;
    if (!metadata.exif.empty()) set = set && WebPMuxSetChunk(mux, "EXIF", &exif, 1) == WEBP_MUX_OK;
    if (!metadata.icc.empty()) set = set && WebPMuxSetChunk(mux, "ICCP", &icc, 1) == WEBP_MUX_OK;
    if (!metadata.xmp.empty()) set = set && WebPMuxSetChunk(mux, "XMP ", &xmp, 1) == WEBP_MUX_OK;
    WebPData assembled{};
    set = set && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
    WebPMuxDelete(mux);
    std::vector<std::uint8_t> bytes(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    if (!set) throw ImageError("the WebP encoder failed");
    return bytes;
}

}  // namespace

bool IsWebp(ByteView start) {
    return start.size >= 12 && std::memcmp(start.data, "RIFF", 4) == 0 &&
           std::memcmp(start.data + 8, "WEBP", 4) == 0;
}

Decoded ReadWebp(ByteView file, const SizeCheck& check) {
    int width = 0;
    int height = 0;
    if (WebPGetInfo(file.data, file.size, &width, &height) == 0) throw ImageError(kDamaged);
    check(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    Decoded decoded;
    RgbaImage& image = decoded.image;
    image.width = width;
    image.height = height;
    image.pixels = NewPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::size_t bytes = image.pixels.size() * 4;
    if (WebPDecodeBGRAInto(file.data, file.size,
                           reinterpret_cast<std::uint8_t*>(image.pixels.data()), bytes,
                           width * 4) == nullptr) {
        throw ImageError(kDamaged);
    }
    image.metadata = MetadataOf(file);
    return decoded;
}

Encoded WriteWebp(const RgbaImage& image, const PhotoMetadata& metadata,
                  const EncodeOptions& options) {
    return {WithMetadata(Bitstream(image, options.jpegQuality), metadata), {}};
}

}  // namespace imageio
