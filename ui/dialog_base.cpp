// Dialog framework: one modal dialog from a template of the module, its messages routed to the
// virtual operations of one object.
#include "ui/dialog_base.h"

#include <commctrl.h>

namespace {

[[nodiscard]] bool ClassRegistered(const wchar_t* name) noexcept {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return GetClassInfoExW(nullptr, name, &info) != 0;
}

// The common controls library, loaded for as long as the object lives, and the registration of
// the up-down and trackbar classes the dialog templates use.
class CommonControls {
   public:
    CommonControls() noexcept : library(LoadLibraryW(L"comctl32.dll")) {}
    ~CommonControls() {
        if (library != nullptr) FreeLibrary(library);
    }
    CommonControls(const CommonControls&) = delete;
    CommonControls& operator=(const CommonControls&) = delete;

    // True when a class was missing and is registered now.
    [[nodiscard]] bool RegisteredMissingClasses() const noexcept {
        if (ClassRegistered(UPDOWN_CLASSW) && ClassRegistered(TRACKBAR_CLASSW)) return false;
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        const auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(
            library != nullptr ? GetProcAddress(library, "InitCommonControlsEx") : nullptr));
        if (init == nullptr) return false;
        const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
        return init(&classes) && ClassRegistered(UPDOWN_CLASSW) && ClassRegistered(TRACKBAR_CLASSW);
    }

   private:
    HMODULE library;
};

}  // namespace

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        // Recorded before WM_INITDIALOG is handled, which works on the dialog's controls.
        reinterpret_cast<DialogBase*>(lParam)->hwnd = window;
    }
    // The messages before WM_INITDIALOG (the font, the size) find no object yet.
    DialogBase* const dialog = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    return dialog->HandleMessage(window, message, wParam, lParam);
}

DialogBase* DialogBase::FromWindow(HWND window) noexcept {
    if (window == nullptr) return nullptr;
    const auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC));
    if (procedure != DialogProc) return nullptr;
    return reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
}

DialogBase::DialogBase(const DialogModule& dialogModule, std::int32_t dialogTemplateId) noexcept
    : module(dialogModule), templateId(dialogTemplateId) {}

INT_PTR DialogBase::RunModal(HWND parent) noexcept {
    INT_PTR result = CreateAndRun(parent);
    if (result == -1) {
        // Held until the dialog has ended: the classes live as long as the library.
        const CommonControls controls;
        if (controls.RegisteredMissingClasses()) result = CreateAndRun(parent);
    }
    return result;
}

INT_PTR DialogBase::CreateAndRun(HWND parent) noexcept {
    // A Unicode dialog: its controls show texts of any script, whatever the system code page.
    return DialogBoxParamW(module.Instance(),
                           MAKEINTRESOURCEW(static_cast<WORD>(templateId & 0xFFFF)), parent,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogBase::CheckRadioInRange(int firstId, int lastId, int checkedId) noexcept {
    if (checkedId < firstId || checkedId > lastId) checkedId = firstId;
    CheckRadioButton(hwnd, firstId, lastId, checkedId);
}

std::int32_t DialogBase::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(reinterpret_cast<HWND>(lParam), wParam, HIWORD(wParam));
        default:
            return 0;
    }
}

std::int32_t DialogBase::OnInitDialog() { return 1; }

std::int32_t DialogBase::OnCommand(HWND, WPARAM wParam, std::uint32_t) {
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOk();
            return 1;
        case IDCANCEL:  // also the Escape key and the close box
            OnCancel();
            return 1;
        default:
            return 0;
    }
}

bool DialogBase::OnApply() { return true; }

void DialogBase::OnOk() {
    if (OnApply()) EndDialog(hwnd, IDOK);
}

void DialogBase::OnCancel() { EndDialog(hwnd, IDCANCEL); }

bool DialogBase::RouteWheel(const MSG&) noexcept { return false; }
