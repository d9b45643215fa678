// PNG encoding with zlib: 8-bit RGB, or RGBA when some pixel is not opaque, written row by row.
// Tuned for speed as photographs need it: the Sub filter, the fastest compression level and the
// run-length strategy; the file is standard PNG all the same.
#include "host/png_writer.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "host/host_error.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;
constexpr std::size_t kChunkBytes = 1 << 18;  // IDAT chunks of 256 KiB

void PutBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (const int shift : {24, 16, 8, 0})
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

class ChunkWriter {
   public:
    ChunkWriter(IStream& target, const std::string& failure) : stream(target), what(failure) {}

    void Write(const void* data, std::size_t size) {
        ULONG written = 0;
        const HRESULT result = stream.Write(data, static_cast<ULONG>(size), &written);
        if (FAILED(result) || written != size) CheckResult(FAILED(result) ? result : E_FAIL, what);
    }

    void Chunk(const char type[4], const std::uint8_t* data, std::size_t size) {
        std::vector<std::uint8_t> head;
        PutBigEndian(head, static_cast<std::uint32_t>(size));
        head.insert(head.end(), type, type + 4);
        uLong crc = crc32(0, head.data() + 4, 4);
        if (size > 0) crc = crc32(crc, data, static_cast<uInt>(size));  // a null buffer resets it
        Write(head.data(), head.size());
        if (size > 0) Write(data, size);
        std::vector<std::uint8_t> tail;
        PutBigEndian(tail, static_cast<std::uint32_t>(crc));
        Write(tail.data(), tail.size());
    }

   private:
    IStream& stream;
    std::string what;
};

// One row as PNG bytes, filter type first: R, G, B (and A), each minus the same channel of the
// pixel to its left.
void FilterRow(const Pixel32* pixels, std::int32_t width, int channels, std::uint8_t* out) {
    static constexpr int kOrder[4] = {2, 1, 0, 3};  // red, green, blue, alpha in a Pixel32
    out[0] = kFilterSub;
    std::uint8_t left[4] = {0, 0, 0, 0};
    std::uint8_t* at = out + 1;
    for (std::int32_t x = 0; x < width; ++x) {
        for (int c = 0; c < channels; ++c) {
            const auto value = static_cast<std::uint8_t>(Channel(pixels[x], kOrder[c]));
            *at++ = static_cast<std::uint8_t>(value - left[c]);
            left[c] = value;
        }
    }
}

class Deflater {
   public:
    explicit Deflater(const std::string& failure) : what(failure) {
        if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) {
            throw HostError(what + ": cannot start compression");
        }
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Compresses DATA (all of it, flush Z_FINISH at the end), emitting full IDAT chunks.
    void Feed(std::uint8_t* data, std::size_t size, int flush, ChunkWriter& writer) {
        stream.next_in = data;
        stream.avail_in = static_cast<uInt>(size);
        int status = Z_OK;
        do {
            stream.next_out = buffer.data() + used;
            stream.avail_out = static_cast<uInt>(buffer.size() - used);
            status = deflate(&stream, flush);
            if (status == Z_STREAM_ERROR) throw HostError(what + ": compression failed");
            used = buffer.size() - stream.avail_out;
            if (used == buffer.size() || (flush == Z_FINISH && status == Z_STREAM_END)) {
                writer.Chunk("IDAT", buffer.data(), used);
                used = 0;
            }
        } while (stream.avail_in > 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }

   private:
    std::string what;
    z_stream stream{};
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kChunkBytes);
    std::size_t used = 0;
};

// The chunks of the metadata, which readers look for before the image data.
void WriteMetadataChunks(ChunkWriter& writer, const PhotoMetadata& metadata,
                         const std::string& what) {
    if (!metadata.icc.empty()) {
        std::vector<std::uint8_t> chunk = {'I', 'C', 'C', ' ', 'P', 'r', 'o',
                                           'f', 'i', 'l', 'e', 0,   0};
        uLongf size = compressBound(static_cast<uLong>(metadata.icc.size()));
        chunk.resize(chunk.size() + size);
        if (compress2(chunk.data() + 13, &size, metadata.icc.data(),
                      static_cast<uLong>(metadata.icc.size()), Z_BEST_COMPRESSION) != Z_OK) {
            throw HostError(what + ": cannot compress the ICC profile");
        }
        chunk.resize(13 + size);
        writer.Chunk("iCCP", chunk.data(), chunk.size());
    }
    if (!metadata.exif.empty()) writer.Chunk("eXIf", metadata.exif.data(), metadata.exif.size());
    if (!metadata.xmp.empty()) {
        // The keyword, uncompressed, no language, no translated keyword, then the text.
        const std::string head("XML:com.adobe.xmp\0\0\0\0\0", 22);
        std::vector<std::uint8_t> chunk(head.begin(), head.end());
        chunk.insert(chunk.end(), metadata.xmp.begin(), metadata.xmp.end());
        writer.Chunk("iTXt", chunk.data(), chunk.size());
    }
}

}  // namespace

void WritePng(IStream& stream, const RgbaImage& image, const PhotoMetadata& metadata,
              const std::string& what) {
    const bool opaque = IsOpaque(image);
    const int channels = opaque ? 3 : 4;
    ChunkWriter writer(stream, what);
    writer.Write(kSignature, sizeof kSignature);
    std::vector<std::uint8_t> header;
    PutBigEndian(header, static_cast<std::uint32_t>(image.width));
    PutBigEndian(header, static_cast<std::uint32_t>(image.height));
    // 8 bits, colour type 2 (RGB) or 6 (RGBA), deflate, adaptive filters, not interlaced.
    header.insert(header.end(), {8, static_cast<std::uint8_t>(opaque ? 2 : 6), 0, 0, 0});
    writer.Chunk("IHDR", header.data(), header.size());
    WriteMetadataChunks(writer, metadata, what);

    Deflater deflater(what);
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> row(1 + width * static_cast<std::size_t>(channels));
    for (std::int32_t y = 0; y < image.height; ++y) {
        FilterRow(image.pixels.data() + width * static_cast<std::size_t>(y), image.width, channels,
                  row.data());
        deflater.Feed(row.data(), row.size(), y + 1 == image.height ? Z_FINISH : Z_NO_FLUSH,
                      writer);
    }
    writer.Chunk("IEND", nullptr, 0);
}
