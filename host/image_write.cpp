// Writing image files: PNG through zlib (the component's PNG encoder is many times slower under
// Wine), JPEG through libjpeg-turbo (the component's is slower and ignores the quality), TIFF and
// BMP through the imaging component; always through an OutputFile.
#include <algorithm>
#include <array>
#include <cctype>
#include <new>
#include <utility>

#include "host/host_error.h"
#include "host/image_file.h"
#include "host/jpeg_file.h"
#include "host/output_file.h"
#include "host/png_writer.h"
#include "host/text_encoding.h"
#include "host/tiff_writer.h"
#include "host/wic.h"

namespace {

struct FormatInfo {
    ImageFormat format;
    const char* name;        // the --format value, also the extension written
    const char* extensions;  // every extension read as this format, each followed by a space
    const GUID* container;   // the imaging component's encoder; null: written here
    bool keepsAlpha;
};

constexpr std::array<FormatInfo, 4> kFormats = {{
    {ImageFormat::kPng, "png", ".png ", &GUID_ContainerFormatPng, true},
    {ImageFormat::kJpeg, "jpg", ".jpg .jpeg ", nullptr, false},
    {ImageFormat::kTiff, "tif", ".tif .tiff ", nullptr, true},
    {ImageFormat::kBmp, "bmp", ".bmp ", &GUID_ContainerFormatBmp, false},
}};

const FormatInfo& InfoOf(ImageFormat format) {
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [format](const FormatInfo& info) { return info.format == format; });
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Rows go to the encoder a strip of about this many bytes at a time.
constexpr std::size_t kStripBytes = 4 << 20;

// Strips of BGR bytes (24 bits) or of the image's own BGRA words.
void WriteStrips(IWICBitmapFrameEncode& frame, const RgbaImage& image, bool withAlpha,
                 const std::string& what) {
    const auto width = static_cast<std::size_t>(image.width);
    const std::size_t rowBytes = width * (withAlpha ? 4 : 3);
    const auto stripRows =
        static_cast<std::int32_t>(std::max<std::size_t>(1, kStripBytes / rowBytes));
    std::vector<BYTE> strip(withAlpha ? 0 : rowBytes * static_cast<std::size_t>(stripRows));
    for (std::int32_t top = 0; top < image.height; top += stripRows) {
        const std::int32_t rows = std::min(image.height - top, stripRows);
        const Pixel32* first = image.pixels.data() + width * static_cast<std::size_t>(top);
        // The encoder only reads the pixels it is given.
        BYTE* bytes = reinterpret_cast<BYTE*>(const_cast<Pixel32*>(first));
        if (!withAlpha) {
            const std::size_t count = width * static_cast<std::size_t>(rows);
            for (std::size_t i = 0; i < count; ++i) {
                for (int c = 0; c < 3; ++c) {
                    strip[3 * i + static_cast<std::size_t>(c)] =
                        static_cast<BYTE>(Channel(first[i], c));
                }
            }
            bytes = strip.data();
        }
        CheckResult(
            frame.WritePixels(static_cast<UINT>(rows), static_cast<UINT>(rowBytes),
                              static_cast<UINT>(rowBytes * static_cast<std::size_t>(rows)), bytes),
            what);
    }
}

void EncodeWithComponent(IStream& stream, const RgbaImage& image, const FormatInfo& info,
                         const std::string& what) {
    ComPtr<IWICBitmapEncoder> encoder;
    CheckResult(ImagingFactory().CreateEncoder(*info.container, nullptr, &encoder), what);
    CheckResult(encoder->Initialize(&stream, WICBitmapEncoderNoCache), what);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> frameOptions;
    CheckResult(encoder->CreateNewFrame(&frame, &frameOptions), what);
    CheckResult(frame->Initialize(frameOptions.Get()), what);
    CheckResult(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)),
                what);
    const bool withAlpha = info.keepsAlpha && !IsOpaque(image);
    const GUID wanted = withAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format = wanted;
    CheckResult(frame->SetPixelFormat(&format), what);
    if (format != wanted) throw HostError(what + ": the encoder does not take 8-bit BGR(A) pixels");
    WriteStrips(*frame.Get(), image, withAlpha, what);
    CheckResult(frame->Commit(), what);
    CheckResult(encoder->Commit(), what);
}

// What the output carries: nothing with --strip; else the image's metadata with its EXIF block
// made fit for the upright result (left out, with a warning, when it is damaged).
PhotoMetadata MetadataToWrite(const RgbaImage& image, const WriteOptions& options,
                              const std::string& path) {
    if (options.strip) return {};
    PhotoMetadata metadata = image.metadata;
    metadata.orientation = 1;
    if (!metadata.exif.empty()) {
        std::optional<std::vector<std::uint8_t>> fitted =
            ExifForResult(metadata.exif, static_cast<std::uint32_t>(image.width),
                          static_cast<std::uint32_t>(image.height));
        if (!fitted) PrintWarning(Quoted(path) + ": the EXIF block is damaged and is left out");
        metadata.exif = fitted ? std::move(*fitted) : std::vector<std::uint8_t>();
    }
    return metadata;
}

}  // namespace

std::optional<ImageFormat> FormatOfPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    const std::string extension = Lower(path.substr(dot)) + " ";
    for (const FormatInfo& info : kFormats) {
        if (std::string(info.extensions).find(extension) != std::string::npos) return info.format;
    }
    return std::nullopt;
}

std::optional<ImageFormat> FormatOfName(const std::string& name) {
    // Any of the format's extensions without its dot: jpg or jpeg, tif or tiff.
    const std::string extension = "." + Lower(name) + " ";
    for (const FormatInfo& info : kFormats) {
        if (!name.empty() && std::string(info.extensions).find(extension) != std::string::npos) {
            return info.format;
        }
    }
    return std::nullopt;
}

std::string ExtensionOf(ImageFormat format) { return std::string(".") + InfoOf(format).name; }

void CheckWritable(const std::string& path, std::int32_t width, std::int32_t height) {
    const std::optional<ImageFormat> format = FormatOfPath(path);
    if (!format) {
        throw HostError("cannot write " + Quoted(path) +
                        ": the extension names no format (.png, .jpg, .tif, .bmp)");
    }
    if (*format == ImageFormat::kJpeg && std::max(width, height) > kJpegMaxSide) {
        throw HostError("cannot write " + Quoted(path) + ": a JPEG has at most " +
                        std::to_string(kJpegMaxSide) + " pixels a side");
    }
    if (const std::uint32_t pages = PageCount(path); pages > 1) {
        throw HostError("cannot write " + Quoted(path) + ": it has " + std::to_string(pages) +
                        " pages, and the result would keep only one");
    }
}

void WriteImage(const std::string& path, const RgbaImage& image, const WriteOptions& options) {
    CheckWritable(path, image.width, image.height);
    const std::optional<ImageFormat> format = FormatOfPath(path);
    const std::string what = "cannot encode " + Quoted(path);
    const PhotoMetadata metadata = MetadataToWrite(image, options, path);
    if (!options.strip && image.metadata.exifLeftBehind) {
        PrintWarning(Quoted(path) +
                     ": the EXIF of a TIFF photograph is not carried over (its ICC "
                     "profile and XMP are)");
    }
    if (!metadata.Empty() && *format == ImageFormat::kBmp) {
        PrintWarning(Quoted(path) +
                     ": a BMP file holds none of the photograph's EXIF, ICC profile and XMP");
    }
    OutputFile output(path);
    try {
        if (*format == ImageFormat::kPng) {
            WritePng(output.Stream(), image, metadata, what);
        } else if (*format == ImageFormat::kJpeg) {
            WriteJpeg(output.Stream(), image, options.jpegQuality, metadata, what);
        } else if (*format == ImageFormat::kTiff) {
            WriteTiff(output.Stream(), image, metadata, path);
        } else {
            EncodeWithComponent(output.Stream(), image, InfoOf(*format), what);
        }
    } catch (const std::bad_alloc&) {
        throw HostError(what + ": out of memory");
    } catch (const HostError&) {
        output.ThrowIfWriteFailed();  // the cause, where the encoder reports only its effect
        throw;
    }
    output.Commit();
}
