// Image files of the host through imageio: the file's bytes read and written here, through the
// wide-character file functions and an OutputFile, the memory checked before any pixel.
#include "host/image_file.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "cli/run_selection.h"
#include "host/host_error.h"
#include "host/memory_limit.h"
#include "host/output_file.h"
#include "host/text_encoding.h"

namespace {

// The whole file, or HostError ("cannot open "PATH": ...").
std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw HostError("cannot open " + Quoted(path) + ": " + SystemMessage(GetLastError()));
    }
    std::vector<std::uint8_t> bytes;
    LARGE_INTEGER size{};
    bool read = GetFileSizeEx(file, &size) != 0 && size.QuadPart < 0x7FFFFFFF;
    try {
        if (read) bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        CloseHandle(file);
        throw HostError("cannot read " + Quoted(path) + ": out of memory");
    }
    std::size_t done = 0;
    while (read && done < bytes.size()) {
        DWORD count = 0;
        read = ReadFile(file, bytes.data() + done,
                        static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24)),
                        &count, nullptr) != 0 &&
               count > 0;
        done += count;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!read) throw HostError("cannot read " + Quoted(path) + ": " + SystemMessage(error));
    return bytes;
}

}  // namespace

std::optional<imageio::Format> FormatOfPath(const std::string& path) {
    const imageio::Codec* codec = imageio::CodecOfPath(path);
    if (codec == nullptr || codec->write == nullptr) return std::nullopt;
    return codec->format;
}

std::optional<imageio::Format> FormatOfName(const std::string& name) {
    const imageio::Codec* codec = imageio::CodecOfName(name);
    if (codec == nullptr || codec->write == nullptr) return std::nullopt;
    return codec->format;
}

std::string ExtensionOf(imageio::Format format) {
    return std::string(".") + imageio::CodecOf(format).name;
}

RgbaImage ReadImage(const std::string& path, std::uint32_t bytesPerPixel) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    const imageio::SizeCheck check = [&](std::uint64_t width, std::uint64_t height) {
        CheckImageFits(path, width, height, bytesPerPixel);
    };
    try {
        imageio::Decoded decoded = imageio::DecodeUpright({bytes.data(), bytes.size()}, check);
        for (const std::string& warning : decoded.warnings) PrintWarning(Quoted(path) + warning);
        return std::move(decoded.image);
    } catch (const imageio::ImageError& error) {
        throw UnsupportedImage("cannot read " + Quoted(path) + ": " + error.what());
    } catch (const std::bad_alloc&) {
        throw HostError("cannot read " + Quoted(path) + ": out of memory");
    }
}

std::uint64_t PixelCount(const std::string& path) {
    // Thrown from the size check, which every codec calls before it decodes any pixel.
    struct SizeRead {
        std::uint64_t pixels;
    };
    try {
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        static_cast<void>(imageio::Decode({bytes.data(), bytes.size()},
                                          [](std::uint64_t width, std::uint64_t height) {
                                              throw SizeRead{width * height};
                                          }));
    } catch (const SizeRead& size) {
        return size.pixels;
    } catch (const std::exception&) {
    }
    return 0;
}

std::uint32_t PageCount(const std::string& path) {
    if (GetFileAttributesW(Utf8ToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    try {
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        return imageio::PageCount({bytes.data(), bytes.size()});
    } catch (const HostError&) {
        return 1;
    }
}

GreyImage ReadGreyImage(const std::string& path, std::uint32_t bytesPerPixel) {
    return GreyOf(ReadImage(path, bytesPerPixel));
}

void CheckWritable(const std::string& path, std::int32_t width, std::int32_t height) {
    const std::optional<imageio::Format> format = FormatOfPath(path);
    if (!format) {
        throw HostError("cannot write " + Quoted(path) +
                        ": the extension names no format (.png, .jpg, .tif, .bmp)");
    }
    const imageio::Codec& codec = imageio::CodecOf(*format);
    if (static_cast<std::uint32_t>(std::max(width, height)) > codec.maxSide) {
        throw HostError("cannot write " + Quoted(path) + ": a " + codec.title + " has at most " +
                        std::to_string(codec.maxSide) + " pixels a side");
    }
    if (const std::uint32_t pages = PageCount(path); pages > 1) {
        throw HostError("cannot write " + Quoted(path) + ": it has " + std::to_string(pages) +
                        " pages, and the result would keep only one");
    }
}

void WriteImage(const std::string& path, const RgbaImage& image, const WriteOptions& options) {
    CheckWritable(path, image.width, image.height);
    imageio::Encoded encoded;
    try {
        encoded = imageio::EncodeFor(*FormatOfPath(path), image, options);
    } catch (const imageio::ImageError& error) {
        throw HostError("cannot encode " + Quoted(path) + ": " + error.what());
    } catch (const std::bad_alloc&) {
        throw HostError("cannot encode " + Quoted(path) + ": out of memory");
    }
    for (const std::string& warning : encoded.warnings) PrintWarning(Quoted(path) + warning);
    OutputFile output(path);
    output.Write(encoded.bytes);
    output.Commit();
}
