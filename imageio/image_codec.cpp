// The table of codecs and what every format shares: finding a file's codec, turning it upright,
// and the metadata a result carries.
#include "imageio/image_codec.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "imageio/codecs.h"
#include "imageio/exif_block.h"
#include "imageio/exif_for_jpeg.h"
#include "imageio/icc_profile.h"
#include "imageio/orientation.h"
#include "imageio/xmp_packet.h"

namespace imageio {
namespace {

constexpr std::size_t kShortestImage = 26;  // a PNG, BMP or TIFF header needs this much

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const Codec* CodecOfExtension(const std::string& extension) {
    const std::string wanted = Lower(extension) + " ";
    for (const Codec& codec : Codecs()) {
        if (std::string(codec.extensions).find(wanted) != std::string::npos) return &codec;
    }
    return nullptr;
}

}  // namespace

const std::array<Codec, kCodecCount>& Codecs() {
    static constexpr std::array<Codec, kCodecCount> kCodecs = {{
        // format, title, name, extensions, sniff, read, write, keeps alpha, metadata, largest side
        {Format::kJpeg, "JPEG", "jpg", ".jpg .jpeg ", IsJpeg, ReadJpeg, WriteJpeg, false,
         kExif | kIcc | kXmp, kJpegMaxSide},
        {Format::kPng, "PNG", "png", ".png ", IsPng, ReadPng, WritePng, true, kExif | kIcc | kXmp,
         0x7FFFFFFF},
        {Format::kTiff, "TIFF", "tif", ".tif .tiff ", IsTiff, ReadTiff, WriteTiff, true,
         kExif | kIcc | kXmp, 0x7FFFFFFF},
        {Format::kBmp, "BMP", "bmp", ".bmp ", IsBmp, ReadBmp, WriteBmp, false, 0, 0x7FFFFFFF},
#if IMAGEIO_PHONE_FORMATS
        {Format::kWebp, "WebP", "webp", ".webp ", IsWebp, ReadWebp, WriteWebp, true,
         kExif | kIcc | kXmp, 16383},
        {Format::kHeic, "HEIF", "heic", ".heic .heif .hif ", IsHeic, ReadHeic, nullptr, true,
         kExif | kIcc | kXmp, 0},
#endif
    }};
    return kCodecs;
}

const Codec& CodecOf(Format format) {
    return *std::find_if(Codecs().begin(), Codecs().end(),
                         [format](const Codec& codec) { return codec.format == format; });
}

const Codec* CodecOfPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    return CodecOfExtension(path.substr(dot));
}

const Codec* CodecOfName(const std::string& name) {
    return name.empty() || name.front() == '.' ? nullptr : CodecOfExtension("." + name);
}

const Codec* CodecOfBytes(ByteView start) {
    for (const Codec& codec : Codecs()) {
        if (codec.sniff(start)) return &codec;
    }
    return nullptr;
}

Decoded Decode(ByteView file, const SizeCheck& check) {
    if (file.size < kShortestImage) {
        throw ImageError("the file is too short to be an image (" + std::to_string(file.size) +
                         " bytes)");
    }
    const Codec* codec = CodecOfBytes(file);
    if (codec == nullptr) {
#if IMAGEIO_PHONE_FORMATS
        throw ImageError("not an image of a format read here (PNG, JPEG, TIFF, BMP, WebP, HEIF)");
#else
        throw ImageError("not an image of a format read here (PNG, JPEG, TIFF, BMP)");
#endif
    }
    return codec->read(file, check);
}

std::uint32_t PageCount(ByteView file) {
    return file.size >= kShortestImage && IsTiff(file) ? TiffPages(file) : 1;
}

Decoded DecodeUpright(ByteView file, const SizeCheck& check) {
    Decoded decoded = Decode(file, check);
    PhotoMetadata& metadata = decoded.image.metadata;
    if (!metadata.exif.empty()) {
        if (const std::string problem = ExifProblem(metadata.exif); !problem.empty()) {
            decoded.warnings.push_back(": its EXIF block is left out: " + problem);
            metadata.exif.clear();
        }
    }
    const std::string iccFault = metadata.icc.empty() ? std::string() : IccFault(metadata.icc);
    if (!iccFault.empty()) {
        decoded.warnings.push_back(": its ICC profile is left out: " + iccFault);
        metadata.icc.clear();
    }
    const int orientation = metadata.orientation;
    metadata.orientation = 1;
    decoded.image = Upright(std::move(decoded.image), orientation);
    return decoded;
}

namespace {

// What a result carries: nothing with strip; else the image's metadata with its EXIF block and
// XMP packet made fit for the upright result (the EXIF block left out, with a warning, when it is
// damaged), in a JPEG file with what the format's block must hold.
PhotoMetadata MetadataToWrite(Format format, const RgbaImage& image, bool strip,
                              std::vector<std::string>& warnings) {
    if (strip) return {};
    PhotoMetadata metadata = image.metadata;
    metadata.orientation = 1;
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::uint32_t>(image.height);
    if (!metadata.xmp.empty()) metadata.xmp = XmpForResult(std::move(metadata.xmp), width, height);
    if (metadata.exif.empty()) return metadata;
    std::optional<std::vector<std::uint8_t>> fitted = ExifForResult(metadata.exif, width, height);
    if (!fitted) {
        warnings.push_back(": its EXIF block is left out: " + ExifProblem(metadata.exif));
        fitted.emplace();
    } else if (format == Format::kJpeg) {
        fitted = ExifForJpeg(std::move(*fitted), width, height, !metadata.icc.empty());
    }
    metadata.exif = std::move(*fitted);
    return metadata;
}

}  // namespace

Encoded EncodeFor(Format format, const RgbaImage& image, const EncodeOptions& options) {
    const Codec& codec = CodecOf(format);
    if (codec.write == nullptr)
        throw ImageError(std::string("a ") + codec.title + " file is read only");
    if (static_cast<std::uint32_t>(std::max(image.width, image.height)) > codec.maxSide) {
        throw ImageError(std::string("a ") + codec.title + " has at most " +
                         std::to_string(codec.maxSide) + " pixels a side");
    }
    std::vector<std::string> warnings;
    if (!options.strip && image.metadata.exifLeftBehind) {
        warnings.push_back(
            ": the EXIF of a BigTIFF photograph is not carried over (its ICC profile and XMP are)");
    }
    PhotoMetadata metadata = MetadataToWrite(format, image, options.strip, warnings);
    if (!metadata.Empty() && codec.metadata == 0) {
        warnings.push_back(std::string(": a ") + codec.title +
                           " file holds none of the photograph's EXIF, ICC profile and XMP");
        metadata = {};
    }
    Encoded encoded = codec.write(image, metadata, options);
    warnings.insert(warnings.end(), encoded.warnings.begin(), encoded.warnings.end());
    encoded.warnings = std::move(warnings);
    return encoded;
}

}  // namespace imageio
