// Screen capture of the host tests: the pixels that a rectangle of the screen shows.
#include "tests/host/screen_capture.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <type_traits>

#include "host/text_encoding.h"
#include "imageio/image_codec.h"
#include "ui/scoped_gdi.h"

namespace {

struct ScreenDcRelease {
    void operator()(HDC hdc) const noexcept { ReleaseDC(nullptr, hdc); }
};
struct DcDelete {
    void operator()(HDC hdc) const noexcept { DeleteDC(hdc); }
};
struct ObjectDelete {
    void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDelete>;

}  // namespace

RgbaImage CaptureScreen(const RECT& rect) {
    RgbaImage image{rect.right - rect.left, rect.bottom - rect.top, {}, {}};
    if (image.width <= 0 || image.height <= 0) throw std::runtime_error("empty rectangle");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down, the row order of RgbaImage
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;  // blue, green, red, unused: the Pixel32 byte order
    info.bmiHeader.biCompression = BI_RGB;

    const ScreenDc screen(GetDC(nullptr));
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap) throw std::runtime_error("cannot make a screen copy");
    {
        const SelectedObject selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, image.width, image.height, screen.get(), rect.left,
                    rect.top, SRCCOPY | CAPTUREBLT)) {
            throw std::runtime_error("cannot copy the screen");
        }
    }
    GdiFlush();
    image.pixels.resize(static_cast<std::size_t>(image.width) *
                        static_cast<std::size_t>(image.height));
    std::memcpy(image.pixels.data(), bits, image.pixels.size() * sizeof(Pixel32));
    for (Pixel32& pixel : image.pixels) pixel |= kAlphaMask;  // the unused byte is not alpha
    return image;
}

void WriteRgbaPng(const std::string& path, const RgbaImage& image) {
    const std::vector<std::uint8_t> png = imageio::EncodeFor(imageio::Format::kPng, image, {}).bytes;
    std::FILE* file = _wfopen(Utf8ToWide(path).c_str(), L"wb");
    if (file == nullptr) throw std::runtime_error("cannot open \"" + path + "\"");
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0 || !written) {
        _wremove(Utf8ToWide(path).c_str());
        throw std::runtime_error("cannot write \"" + path + "\"");
    }
}
