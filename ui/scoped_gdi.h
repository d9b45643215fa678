// Scoped GDI objects of the preview's painting: each acquire is released once, at the end of
// the scope that made it.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// A bitmap like the target's, selected into a memory context for the length of one paint.
class OffscreenDc {
   public:
    OffscreenDc(HDC target, std::int32_t width, std::int32_t height) noexcept
        : dc(CreateCompatibleDC(target)), bitmap(CreateCompatibleBitmap(target, width, height)) {
        if (dc != nullptr && bitmap != nullptr) previous = SelectObject(dc, bitmap);
    }
    ~OffscreenDc() {
        if (previous != nullptr) SelectObject(dc, previous);
        if (bitmap != nullptr) DeleteObject(bitmap);
        if (dc != nullptr) DeleteDC(dc);
    }
    OffscreenDc(const OffscreenDc&) = delete;
    OffscreenDc& operator=(const OffscreenDc&) = delete;
    // Null unless the bitmap is selected and ready to draw on.
    [[nodiscard]] HDC Get() const noexcept { return previous != nullptr ? dc : nullptr; }

   private:
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous = nullptr;
};

// An object selected into a device context for the length of a scope.
class SelectedObject {
   public:
    SelectedObject(HDC target, HGDIOBJ object) noexcept
        : hdc(target), previous(SelectObject(target, object)) {}
    ~SelectedObject() { SelectObject(hdc, previous); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

   private:
    HDC hdc;
    HGDIOBJ previous;
};

// A device context of a window for the length of one refresh.
class WindowDc {
   public:
    explicit WindowDc(HWND window) noexcept : owner(window), hdc(GetDC(window)) {}
    ~WindowDc() {
        if (hdc != nullptr) ReleaseDC(owner, hdc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return hdc; }

   private:
    HWND owner;
    HDC hdc;
};

// The paint protocol of one WM_PAINT.
class PaintDc {
   public:
    explicit PaintDc(HWND window) noexcept : owner(window) { BeginPaint(window, &paint); }
    ~PaintDc() { EndPaint(owner, &paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return paint.hdc; }

   private:
    HWND owner;
    PAINTSTRUCT paint{};
};
