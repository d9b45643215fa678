// Reading image files into the plug-in's 8-bit BGRA: JPEG through libjpeg-turbo, the others
// through the imaging component, in strips.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "cli/run_selection.h"
#include "host/file_kind.h"
#include "host/host_error.h"
#include "host/image_file.h"
#include "host/jpeg_file.h"
#include "host/memory_limit.h"
#include "host/metadata_read.h"
#include "host/orientation.h"
#include "host/text_encoding.h"
#include "host/tiff_byte_order.h"
#include "host/tiff_directory.h"
#include "host/wic.h"

namespace {

// Rows are copied out of the decoder a strip of about this many bytes at a time.
constexpr std::uint64_t kStripBytes = 4 << 20;

// 16-bit value to 8 bits, rounded to nearest: 65535 maps to 255 and 32896 to 128.
[[nodiscard]] constexpr std::uint8_t Round16(std::uint32_t value) noexcept {
    return static_cast<std::uint8_t>((value * 255 + 32767) / 65535);
}

// One row of a decoder's pixel layout to BGRA: CHANNELS samples of BYTES bytes (little-endian)
// per pixel, red, green, blue and alpha at the given sample positions, alpha -1 when there is
// none (then 255).
template <int kChannels, int kBytes, int kRed, int kGreen, int kBlue, int kAlpha>
void ConvertRow(const std::uint8_t* in, Pixel32* out, std::uint32_t width) noexcept {
    const auto sample = [in](std::uint32_t x, int channel) -> std::uint8_t {
        const std::uint8_t* at =
            in + (x * kChannels + static_cast<std::uint32_t>(channel)) * kBytes;
        if constexpr (kBytes == 1) return at[0];
        return Round16(static_cast<std::uint32_t>(at[0] | at[1] << 8));
    };
    for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t alpha = kAlpha < 0 ? std::uint8_t{255} : sample(x, kAlpha);
        out[x] = PackPixel(sample(x, kRed), sample(x, kGreen), sample(x, kBlue), alpha);
    }
}

using RowConverter = void (*)(const std::uint8_t*, Pixel32*, std::uint32_t) noexcept;

struct DecodedLayout {
    const GUID* format;
    std::uint32_t bytesPerPixel;
    RowConverter convert;
    bool wideSamples;  // 16 bits a sample
};

// Layouts converted here: 16-bit ones rounded rather than cut, common 8-bit ones faster than the
// component's own converter. Others (palettes, 1..4-bit grey) go through that converter.
const std::array<DecodedLayout, 10> kLayouts = {{
    {&GUID_WICPixelFormat24bppBGR, 3, ConvertRow<3, 1, 2, 1, 0, -1>, false},
    {&GUID_WICPixelFormat24bppRGB, 3, ConvertRow<3, 1, 0, 1, 2, -1>, false},
    {&GUID_WICPixelFormat32bppBGR, 4, ConvertRow<4, 1, 2, 1, 0, -1>, false},
    {&GUID_WICPixelFormat32bppRGBA, 4, ConvertRow<4, 1, 0, 1, 2, 3>, false},
    {&GUID_WICPixelFormat8bppGray, 1, ConvertRow<1, 1, 0, 0, 0, -1>, false},
    {&GUID_WICPixelFormat48bppRGB, 6, ConvertRow<3, 2, 0, 1, 2, -1>, true},
    {&GUID_WICPixelFormat48bppBGR, 6, ConvertRow<3, 2, 2, 1, 0, -1>, true},
    {&GUID_WICPixelFormat64bppRGBA, 8, ConvertRow<4, 2, 0, 1, 2, 3>, true},
    {&GUID_WICPixelFormat64bppBGRA, 8, ConvertRow<4, 2, 2, 1, 0, 3>, true},
    {&GUID_WICPixelFormat16bppGray, 2, ConvertRow<1, 2, 0, 0, 0, -1>, true},
}};

// Whether a pixel format has 16 bits in each channel.
bool HasWideChannels(const WICPixelFormatGUID& format) {
    ComPtr<IWICComponentInfo> component;
    ComPtr<IWICPixelFormatInfo> info;
    UINT bits = 0;
    UINT channels = 0;
    return SUCCEEDED(ImagingFactory().CreateComponentInfo(format, &component)) &&
           SUCCEEDED(component.As(&info)) && SUCCEEDED(info->GetBitsPerPixel(&bits)) &&
           SUCCEEDED(info->GetChannelCount(&channels)) && channels > 0 && bits / channels == 16;
}

// Big-endian 16-bit samples into the machine's order, in place.
void SwapSamples(std::uint8_t* bytes, std::size_t count) noexcept {
    for (std::size_t i = 0; i + 1 < count; i += 2) std::swap(bytes[i], bytes[i + 1]);
}

const DecodedLayout* FindLayout(const WICPixelFormatGUID& format) {
    for (const DecodedLayout& layout : kLayouts) {
        if (*layout.format == format) return &layout;
    }
    return nullptr;
}

std::uint32_t StripRows(std::uint64_t rowBytes) {
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, kStripBytes / rowBytes));
}

// The decoder keeps its frame's data; both live as long as the reading.
struct OpenedFrame {
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
};

// The first bytes of a file, enough for a PNG's size; the stream is put back at its start.
struct FileHeader {
    std::uint8_t bytes[24] = {};
    ULONG count = 0;
};

FileHeader ReadHeader(IStream& stream, const std::string& path) {
    FileHeader header;
    if (FAILED(stream.Read(header.bytes, sizeof header.bytes, &header.count))) header.count = 0;
    LARGE_INTEGER start{};
    CheckResult(stream.Seek(start, STREAM_SEEK_SET, nullptr), "cannot read " + Quoted(path));
    return header;
}

// Some decoders (PNG's) allocate the whole image as soon as they open it: the size in a PNG
// header is checked before the decoder sees the file.
void CheckPngHeader(const FileHeader& file, const std::string& path, std::uint32_t bytesPerPixel) {
    static constexpr std::uint8_t kSignature[12] = {0x89, 'P',  'N', 'G', '\r', '\n',
                                                    0x1A, '\n', 0,   0,   0,    13};
    if (file.count < sizeof file.bytes || std::memcmp(file.bytes, kSignature, 12) != 0) return;
    const auto bigEndian = [&file](int at) {
        return std::uint64_t{file.bytes[at]} << 24 | std::uint64_t{file.bytes[at + 1]} << 16 |
               std::uint64_t{file.bytes[at + 2]} << 8 | file.bytes[at + 3];
    };
    CheckImageFits(path, bigEndian(16), bigEndian(20), bytesPerPixel);
}

ComPtr<IWICStream> OpenStream(const std::string& path) {
    ComPtr<IWICStream> stream;
    CheckResult(ImagingFactory().CreateStream(&stream), "cannot read " + Quoted(path));
    CheckResult(stream->InitializeFromFilename(Utf8ToWide(path).c_str(), GENERIC_READ),
                "cannot open " + Quoted(path));
    return stream;
}

OpenedFrame OpenFrame(IStream& stream, const std::string& path) {
    OpenedFrame opened;
    CheckResult(ImagingFactory().CreateDecoderFromStream(
                    &stream, nullptr, WICDecodeMetadataCacheOnDemand, &opened.decoder),
                "cannot read " + Quoted(path));
    CheckResult(opened.decoder->GetFrame(0, &opened.frame), "cannot read " + Quoted(path));
    return opened;
}

// Strips of the decoder's own layout, converted here; 16-bit samples swapped first when the
// decoder gave them big-endian.
void CopyConverted(IWICBitmapSource& source, const DecodedLayout& layout, bool bigEndian,
                   RgbaImage& image, const std::string& what) {
    const auto width = static_cast<std::uint32_t>(image.width);
    // CheckImageFits keeps a row of 8-byte pixels within 32 bits.
    const std::size_t rowBytes = std::size_t{width} * layout.bytesPerPixel;
    const std::uint32_t stripRows = StripRows(rowBytes);
    std::vector<std::uint8_t> strip(rowBytes * stripRows);
    for (std::int32_t top = 0; top < image.height; top += static_cast<std::int32_t>(stripRows)) {
        const std::int32_t rows =
            std::min(image.height - top, static_cast<std::int32_t>(stripRows));
        const WICRect rect{0, top, image.width, rows};
        CheckResult(
            source.CopyPixels(&rect, static_cast<UINT>(rowBytes),
                              static_cast<UINT>(rowBytes * static_cast<std::uint32_t>(rows)),
                              strip.data()),
            what);
        if (bigEndian && layout.wideSamples) {
            SwapSamples(strip.data(), rowBytes * static_cast<std::uint32_t>(rows));
        }
        for (std::int32_t row = 0; row < rows; ++row) {
            layout.convert(
                strip.data() + rowBytes * static_cast<std::uint32_t>(row),
                image.pixels.data() + std::size_t{width} * static_cast<std::uint32_t>(top + row),
                width);
        }
    }
}

// Strips straight into the image, through the component's converter where needed.
void CopyDirect(IWICBitmapSource& source, RgbaImage& image, const std::string& what) {
    const auto width = static_cast<std::uint32_t>(image.width);
    const std::uint32_t stripRows = StripRows(std::uint64_t{width} * 4);
    for (std::int32_t top = 0; top < image.height; top += static_cast<std::int32_t>(stripRows)) {
        const std::int32_t rows =
            std::min(image.height - top, static_cast<std::int32_t>(stripRows));
        const WICRect rect{0, top, image.width, rows};
        Pixel32* first = image.pixels.data() + std::size_t{width} * static_cast<std::uint32_t>(top);
        CheckResult(
            source.CopyPixels(&rect, width * 4, width * 4 * static_cast<std::uint32_t>(rows),
                              reinterpret_cast<BYTE*>(first)),
            what);
    }
}

// WHAT starts the message of a failure ("cannot decode "PATH""). BIG_ENDIAN: the decoder gives
// 16-bit samples big-endian.
void CopyFrame(IWICBitmapFrameDecode& frame, bool bigEndian, RgbaImage& image,
               const std::string& what) {
    WICPixelFormatGUID format{};
    CheckResult(frame.GetPixelFormat(&format), what);
    if (format == GUID_WICPixelFormat32bppBGRA) return CopyDirect(frame, image, what);
    if (const DecodedLayout* layout = FindLayout(format)) {
        return CopyConverted(frame, *layout, bigEndian, image, what);
    }
    // The component's converter would take big-endian samples for the machine's.
    if (bigEndian && HasWideChannels(format)) {
        throw UnsupportedImage(what +
                               ": a big-endian 16-bit TIFF of this pixel layout is not supported");
    }
    ComPtr<IWICFormatConverter> converter;
    CheckResult(ImagingFactory().CreateFormatConverter(&converter), what);
    CheckResult(converter->Initialize(&frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                      nullptr, 0, WICBitmapPaletteTypeCustom),
                what);
    CopyDirect(*converter.Get(), image, what);
}

// Through the imaging component, the size checked before the decoder allocates the image.
// Called while a decoder's failure is handled: the failure said in plain words where the file's
// first bytes tell why (too short, a damaged PNG, a TIFF of an unsupported kind), else as it was.
[[noreturn]] void ThrowUnreadable(IStream& stream, const std::string& path) {
    STATSTG file{};
    const std::uint64_t size =
        SUCCEEDED(stream.Stat(&file, STATFLAG_NONAME)) ? file.cbSize.QuadPart : 0;
    if (const std::optional<std::string> reason = UnreadableReason(stream, size)) {
        throw UnsupportedImage("cannot read " + Quoted(path) + ": " + *reason);
    }
    throw;
}

RgbaImage ReadWithComponent(IStream& stream, const FileHeader& header, const std::string& path,
                            std::uint32_t bytesPerPixel) {
    OpenedFrame opened;
    UINT width = 0;
    UINT height = 0;
    try {
        opened = OpenFrame(stream, path);
        CheckResult(opened.frame->GetSize(&width, &height), "cannot read " + Quoted(path));
    } catch (const HostError&) {
        ThrowUnreadable(stream, path);
    }
    UINT pages = 0;
    if (SUCCEEDED(opened.decoder->GetFrameCount(&pages)) && pages > 1) {
        PrintWarning(Quoted(path) + " has " + std::to_string(pages) + " pages; the first is used");
    }
    CheckImageFits(path, width, height, bytesPerPixel);
    RgbaImage image{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), {}, {}};
    image.pixels.resize(std::size_t{width} * height);
    const bool bigEndian =
        IsBigEndianTiff(header.bytes, header.count) && DecoderKeepsBigEndianSamples();
    try {
        CopyFrame(*opened.frame.Get(), bigEndian, image, "cannot decode " + Quoted(path));
    } catch (const UnsupportedImage&) {
        throw;
    } catch (const HostError&) {
        ThrowUnreadable(stream, path);
    }
    return image;
}

// The metadata of a file the component decodes, read by kvhost itself; the stream is put back at
// its start.
PhotoMetadata ComponentFileMetadata(IStream& stream, const FileHeader& header,
                                    const std::string& path) {
    static constexpr std::uint8_t kPng[4] = {0x89, 'P', 'N', 'G'};
    PhotoMetadata metadata;
    if (header.count >= 4 && std::memcmp(header.bytes, kPng, 4) == 0) {
        metadata = ReadPngMetadata(stream);
    } else if (header.count >= 4 && header.bytes[0] == header.bytes[1] &&
               (header.bytes[0] == 'I' || header.bytes[0] == 'M')) {
        metadata = ReadTiffMetadata(stream);
    }
    LARGE_INTEGER start{};
    CheckResult(stream.Seek(start, STREAM_SEEK_SET, nullptr), "cannot read " + Quoted(path));
    return metadata;
}

// The image as a viewer shows it; a damaged EXIF block is left out, with a warning.
RgbaImage Upright(RgbaImage image, const std::string& path) {
    PhotoMetadata& metadata = image.metadata;
    if (!metadata.exif.empty() && !ExifOrientation(metadata.exif)) {
        PrintWarning(Quoted(path) + ": the EXIF block is damaged and is left out");
        metadata.exif.clear();
    }
    const int orientation = metadata.orientation;
    metadata.orientation = 1;
    return Upright(std::move(image), orientation);
}

}  // namespace

RgbaImage ReadImage(const std::string& path, std::uint32_t bytesPerPixel) {
    const ComPtr<IWICStream> stream = OpenStream(path);
    const FileHeader header = ReadHeader(*stream.Get(), path);
    try {
        if (StartsAsJpeg(header.bytes, header.count)) {
            return Upright(ReadJpeg(*stream.Get(), path, bytesPerPixel), path);
        }
        CheckPngHeader(header, path, bytesPerPixel);
        PhotoMetadata metadata = ComponentFileMetadata(*stream.Get(), header, path);
        RgbaImage image = ReadWithComponent(*stream.Get(), header, path, bytesPerPixel);
        image.metadata = std::move(metadata);
        return Upright(std::move(image), path);
    } catch (const std::bad_alloc&) {
        throw HostError("cannot read " + Quoted(path) + ": out of memory");
    }
}

std::uint32_t PageCount(const std::string& path) {
    if (GetFileAttributesW(Utf8ToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    // Counted from the file's directories: a decoder would decode a whole JPEG to say 1.
    ComPtr<IWICStream> stream;
    const bool opened =
        SUCCEEDED(ImagingFactory().CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(Utf8ToWide(path).c_str(), GENERIC_READ));
    return opened ? TiffPageCount(*stream.Get()) : 1;
}

GreyImage ReadGreyImage(const std::string& path, std::uint32_t bytesPerPixel) {
    return GreyOf(ReadImage(path, bytesPerPixel));
}
