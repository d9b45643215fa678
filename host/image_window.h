// The host's image window: a plain top-level window that shows the image a filter is set up on,
// and owns the plug-in's setup dialog as the editor's main window does.
#pragma once

#include <string>

#include "imageio/image.h"
#include "platform/win32.h"

class ImageWindow {
   public:
    // Creates and shows the window; the image must outlive it. Throws HostError.
    ImageWindow(const std::wstring& title, const RgbaImage& image);
    ~ImageWindow();
    ImageWindow(const ImageWindow&) = delete;
    ImageWindow& operator=(const ImageWindow&) = delete;

    [[nodiscard]] HWND Handle() const noexcept { return hwnd; }

   private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnPaint() noexcept;
    void Draw(HDC hdc) const noexcept;

    const RgbaImage& image;
    SIZE shown{};  // the image's size on screen
    HWND hwnd = nullptr;
};
