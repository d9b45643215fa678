// The host's image window: a plain top-level window that shows the image a filter is set up on,
// and owns the plug-in's setup dialog as the editor's main window does.
#include "host/image_window.h"

#include <algorithm>
#include <cmath>

#include "host/host_error.h"

namespace {

constexpr wchar_t kClassName[] = L"KvhostImageWindow";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
// A large image is scaled down to fit in this client area; a small one is shown 1:1.
constexpr SIZE kLargestShown = {640, 480};

class PaintDc {
   public:
    explicit PaintDc(HWND window) : hwnd(window) { hdc = BeginPaint(hwnd, &paint); }
    ~PaintDc() { EndPaint(hwnd, &paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    [[nodiscard]] HDC Handle() const noexcept { return hdc; }

   private:
    HWND hwnd;
    PAINTSTRUCT paint{};
    HDC hdc = nullptr;
};

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw HostError("cannot register the image window class");
    }
}

SIZE ShownSize(const RgbaImage& image) {
    const double scale = std::min({1.0, static_cast<double>(kLargestShown.cx) / image.width,
                                   static_cast<double>(kLargestShown.cy) / image.height});
    return SIZE{std::max(1L, std::lround(image.width * scale)),
                std::max(1L, std::lround(image.height * scale))};
}

}  // namespace

ImageWindow::ImageWindow(const std::wstring& title, const RgbaImage& shownImage)
    : image(shownImage), shown(ShownSize(shownImage)) {
    RegisterWindowClass(Procedure);
    RECT frame{0, 0, shown.cx, shown.cy};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    hwnd = CreateWindowExW(0, kClassName, title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), this);
    if (hwnd == nullptr) throw HostError("cannot create the image window");
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
}

ImageWindow::~ImageWindow() { DestroyWindow(hwnd); }

// Finds the window's object (handed over on creation) and forwards to it.
LRESULT CALLBACK ImageWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<ImageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<ImageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT ImageWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_PAINT:
            OnPaint();
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void ImageWindow::OnPaint() noexcept {
    const PaintDc paint(hwnd);
    Draw(paint.Handle());
}

// One blit of the whole image, scaled to its shown size; the class brush fills the rest.
void ImageWindow::Draw(HDC hdc) const noexcept {
    BITMAPINFO bitmap{};
    bitmap.bmiHeader.biSize = sizeof bitmap.bmiHeader;
    bitmap.bmiHeader.biWidth = image.width;
    bitmap.bmiHeader.biHeight = -image.height;  // top-down rows, as the pixels are stored
    bitmap.bmiHeader.biPlanes = 1;
    bitmap.bmiHeader.biBitCount = 32;  // blue, green, red, unused: the Pixel32 byte order
    bitmap.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(hdc, HALFTONE);
    SetBrushOrgEx(hdc, 0, 0, nullptr);  // required after choosing HALFTONE
    StretchDIBits(hdc, 0, 0, shown.cx, shown.cy, 0, 0, image.width, image.height,
                  image.pixels.data(), &bitmap, DIB_RGB_COLORS, SRCCOPY);
}
