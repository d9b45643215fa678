// HEIC (and other HEIF files) read through libheif: the primary image decoded upright (its
// rotation and mirroring applied, as the format says they must be; the EXIF orientation then
// counts for nothing), with its EXIF block, XMP packet and ICC profile.
#include <libheif/heif.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "imageio/codecs.h"

namespace imageio {
namespace {

constexpr char kDamaged[] = "the HEIF file is damaged, cut short or of a kind not supported";

void Check(const heif_error& error) {
    if (error.code == heif_error_Memory_allocation_error) throw std::bad_alloc();
    if (error.code != heif_error_Ok) throw ImageError(kDamaged);
}

struct ContextFree {
    void operator()(heif_context* context) const noexcept { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const noexcept { heif_image_handle_release(handle); }
};
struct ImageFree {
    void operator()(heif_image* image) const noexcept { heif_image_release(image); }
};

// The metadata blocks of TYPE (and, for "mime", of CONTENT type): the first one's bytes.
std::vector<std::uint8_t> Block(const heif_image_handle* handle, const char* type,
                                const char* content) {
    heif_item_id ids[16] = {};
    const int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids, 16);
    for (int i = 0; i < count; ++i) {
        if (content != nullptr &&
            std::strcmp(heif_image_handle_get_metadata_content_type(handle, ids[i]), content) !=
                0) {
            continue;
        }
        std::vector<std::uint8_t> bytes(heif_image_handle_get_metadata_size(handle, ids[i]));
        if (heif_image_handle_get_metadata(handle, ids[i], bytes.data()).code == heif_error_Ok) {
            return bytes;
        }
    }
    return {};
}

PhotoMetadata MetadataOf(const heif_image_handle* handle) {
    PhotoMetadata metadata;
    // The EXIF item starts with the offset of its TIFF header, big-endian.
    const std::vector<std::uint8_t> exif = Block(handle, "Exif", nullptr);
    if (exif.size() > 4) {
        const std::size_t offset = BigEndian32(exif.data());
        if (offset < exif.size() - 4) {
            metadata.exif.assign(exif.begin() + static_cast<std::ptrdiff_t>(4 + offset), exif.end());
        }
    }
    const std::vector<std::uint8_t> xmp = Block(handle, "mime", "application/rdf+xml");
    metadata.xmp.assign(xmp.begin(), xmp.end());
    metadata.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
    if (!metadata.icc.empty() &&
        heif_image_handle_get_raw_color_profile(handle, metadata.icc.data()).code !=
            heif_error_Ok) {
        metadata.icc.clear();
    }
    return metadata;
}

}  // namespace

bool IsHeic(ByteView start) {
    return start.size >= 12 &&
           heif_check_filetype(start.data, static_cast<int>(std::min<std::size_t>(
                                               start.size, 64))) == heif_filetype_yes_supported;
}

Decoded ReadHeic(ByteView file, const SizeCheck& check) {
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context) throw std::bad_alloc();
    Check(heif_context_read_from_memory_without_copy(context.get(), file.data, file.size, nullptr));
    heif_image_handle* primary = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &primary));
    const std::unique_ptr<heif_image_handle, HandleFree> handle(primary);
    const int width = heif_image_handle_get_width(primary);
    const int height = heif_image_handle_get_height(primary);
    check(static_cast<std::uint64_t>(std::max(width, 0)),
          static_cast<std::uint64_t>(std::max(height, 0)));
    heif_image* decodedImage = nullptr;
    Check(heif_decode_image(primary, &decodedImage, heif_colorspace_RGB,
                            heif_chroma_interleaved_RGBA, nullptr));
    const std::unique_ptr<heif_image, ImageFree> image(decodedImage);
    int stride = 0;
    const std::uint8_t* rows =
        heif_image_get_plane_readonly(decodedImage, heif_channel_interleaved, &stride);
    if (rows == nullptr || heif_image_get_width(decodedImage, heif_channel_interleaved) != width ||
        heif_image_get_height(decodedImage, heif_channel_interleaved) != height) {
        throw ImageError(kDamaged);
    }
    Decoded decoded;
    decoded.image = {width, height, NewPixels(std::size_t(width) * std::size_t(height)),
                     MetadataOf(primary)};
    for (std::size_t y = 0; y < std::size_t(height); ++y) {
        const std::uint8_t* in = rows + y * static_cast<std::size_t>(stride);
        Pixel32* out = decoded.image.pixels.data() + y * std::size_t(width);
        for (std::size_t x = 0; x < std::size_t(width); ++x, in += 4) {
            out[x] = PackPixel(in[0], in[1], in[2], in[3]);
        }
    }
    return decoded;
}

}  // namespace imageio
