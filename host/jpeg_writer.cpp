// JPEG encoding with stb_image_write: the imaging component's JPEG encoder under Wine ignores the
// quality it is given.
#include "host/jpeg_writer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/host_error.h"

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

// The encoder hands over a few bytes at a time: they reach the file in blocks of 1 MiB.
class BlockWriter {
   public:
    BlockWriter(IStream& target, const std::string& failure) : stream(target), what(failure) {
        block.reserve(kBlockBytes);
    }

    static void Append(void* context, void* data, int size) {
        auto* writer = static_cast<BlockWriter*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        writer->block.insert(writer->block.end(), bytes, bytes + size);
        if (writer->block.size() >= kBlockBytes) writer->Flush();
    }

    // Writes what is held; a failure is kept and reported by Finish.
    void Flush() {
        if (block.empty()) return;
        ULONG written = 0;
        const HRESULT result =
            stream.Write(block.data(), static_cast<ULONG>(block.size()), &written);
        if (SUCCEEDED(status))
            status = FAILED(result) ? result : written == block.size() ? S_OK : E_FAIL;
        block.clear();
    }

    void Finish() {
        Flush();
        CheckResult(status, what);
    }

   private:
    static constexpr std::size_t kBlockBytes = 1 << 20;
    IStream& stream;
    std::string what;
    std::vector<std::uint8_t> block;
    HRESULT status = S_OK;
};

}  // namespace

void WriteJpeg(IStream& stream, RgbaImage image, int quality, const std::string& what) {
    // BGRA words to the R, G, B, A bytes the encoder reads.
    for (Pixel32& pixel : image.pixels) {
        pixel = (pixel & 0xFF00FF00u) | (pixel >> 16 & 0xFFu) | (pixel & 0xFFu) << 16;
    }
    BlockWriter writer(stream, what);
    if (!stbi_write_jpg_to_func(BlockWriter::Append, &writer, image.width, image.height,
                                /*comp=*/4, image.pixels.data(), std::clamp(quality, 1, 100))) {
        throw HostError(what + ": the encoder refused the image");
    }
    writer.Finish();
}
