// A dialog made resizable after it is created from its template: a sizing border and a maximise
// box, the template's size as the least, every control following the size by its layout rule,
// and the size read and given in dialog units.
#pragma once

#include <vector>

#include "platform/win32.h"
#include "ui/dialog_layout.h"

class DialogResizer {
   public:
    // Records where `dialog`'s controls are (the template's layout) and gives the dialog its
    // sizing border and maximise box, keeping its client size. `previewId` is the control that
    // takes the new room.
    void Attach(HWND dialog, int previewId) noexcept;
    // Places every control for the dialog's client size now (WM_SIZE).
    void Layout() const noexcept;
    // The least tracking size: the size the dialog opened at (WM_GETMINMAXINFO).
    void LimitTracking(MINMAXINFO* info) const noexcept;
    // The client size in dialog units.
    [[nodiscard]] CanvasSize ClientUnits() const noexcept;
    // Gives the dialog a client of `units` dialog units when OpeningSize allows it within the
    // work area of the dialog's monitor, and keeps the dialog on that work area.
    void OpenAt(const CanvasSize& units) const noexcept;

   private:
    struct Placement {
        HWND control;
        LayoutRect opened;
        LayoutRule rule;
    };
    [[nodiscard]] CanvasSize ClientSize() const noexcept;
    [[nodiscard]] CanvasSize BaseUnits() const noexcept;
    // Sizes the window so that its client is `client`.
    void SetClientSize(const CanvasSize& client) const noexcept;

    HWND dialog = nullptr;
    std::vector<Placement> placements;
    CanvasSize openedClient{0, 0};
    CanvasSize leastWindow{0, 0};
};
