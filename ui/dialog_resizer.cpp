// A dialog made resizable after it is created from its template: a sizing border and a maximise
// box, the template's size as the least, every control following the size by its layout rule,
// and the size read and given in dialog units.
#include "ui/dialog_resizer.h"

#include <algorithm>

namespace {

LayoutRect ChildRect(HWND dialog, HWND control) noexcept {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

CanvasSize WindowSize(HWND window) noexcept {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

void DialogResizer::Attach(HWND window, int previewId) noexcept {
    dialog = window;
    placements.clear();
    const HWND preview = GetDlgItem(dialog, previewId);
    try {
        std::vector<HWND> children;
        std::vector<LayoutControl> controls;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(child);
            children.push_back(child);
            controls.push_back(
                {ChildRect(dialog, child), child == preview, id == IDOK || id == IDCANCEL});
        }
        const std::vector<LayoutRule> rules = RulesFor(controls);
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (rules[i] != LayoutRule::kStays) {
                placements.push_back({children[i], controls[i].rect, rules[i]});
            }
        }
    } catch (...) {
        placements.clear();  // no room to record them: the controls stay where they are
    }
    openedClient = ClientSize();
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    SetWindowLongW(dialog, GWL_STYLE, style | WS_THICKFRAME | WS_MAXIMIZEBOX);
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // The wider border took its room from the client: the template's client size comes back.
    SetClientSize(openedClient);
    leastWindow = WindowSize(dialog);
}

void DialogResizer::Layout() const noexcept {
    if (dialog == nullptr || IsIconic(dialog) || placements.empty()) return;
    const CanvasSize client = ClientSize();
    // Below the least size (a maximised dialog on a small screen) the controls stay put.
    const CanvasSize grown{std::max(client.width - openedClient.width, 0),
                           std::max(client.height - openedClient.height, 0)};
    HDWP batch = BeginDeferWindowPos(static_cast<int>(placements.size()));
    for (const Placement& p : placements) {
        if (batch == nullptr) return;
        const LayoutRect r = Placed(p.opened, p.rule, grown);
        batch = DeferWindowPos(batch, p.control, nullptr, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch == nullptr || !EndDeferWindowPos(batch)) return;
    // Drawn again where they are now: the dialog's background, painted over the room they left,
    // can come after their own paint. The preview draws itself when its size changes.
    for (const Placement& p : placements) {
        if (p.rule != LayoutRule::kGrows) InvalidateRect(p.control, nullptr, TRUE);
    }
}

void DialogResizer::LimitTracking(MINMAXINFO* info) const noexcept {
    if (dialog == nullptr || info == nullptr) return;
    info->ptMinTrackSize = {leastWindow.width, leastWindow.height};
}

CanvasSize DialogResizer::ClientSize() const noexcept {
    RECT r{};
    GetClientRect(dialog, &r);
    return {r.right, r.bottom};
}

CanvasSize DialogResizer::BaseUnits() const noexcept {
    RECT r{0, 0, 4, 8};  // 4 dialog units across and 8 down make one base unit each way
    MapDialogRect(dialog, &r);
    return {std::max<std::int32_t>(r.right, 1), std::max<std::int32_t>(r.bottom, 1)};
}

CanvasSize DialogResizer::ClientUnits() const noexcept {
    const CanvasSize base = BaseUnits();
    const CanvasSize client = ClientSize();
    return {MulDiv(client.width, 4, base.width), MulDiv(client.height, 8, base.height)};
}

void DialogResizer::OpenAt(const CanvasSize& units) const noexcept {
    if (dialog == nullptr) return;
    const CanvasSize base = BaseUnits();
    const CanvasSize stored{MulDiv(units.width, base.width, 4),
                            MulDiv(units.height, base.height, 8)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& work = monitor.rcWork;
    const CanvasSize chosen =
        OpeningSize(stored, openedClient, {work.right - work.left, work.bottom - work.top});
    if (chosen.width == openedClient.width && chosen.height == openedClient.height) return;
    SetClientSize(chosen);
    // Moved back onto the work area where it reaches past it, the top-left corner first.
    RECT r{};
    GetWindowRect(dialog, &r);
    const LONG left = std::max(std::min(r.left, work.right - (r.right - r.left)), work.left);
    const LONG top = std::max(std::min(r.top, work.bottom - (r.bottom - r.top)), work.top);
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogResizer::SetClientSize(const CanvasSize& client) const noexcept {
    const CanvasSize now = ClientSize();
    const CanvasSize window = WindowSize(dialog);
    SetWindowPos(dialog, nullptr, 0, 0, window.width + client.width - now.width,
                 window.height + client.height - now.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
