// Dialog framework: one modal dialog from a template of the module, its messages routed to the
// virtual operations of one object.
#include "ui/dialog_base.h"

#include "plugin/filter_module.h"
#include "settings/settings_file.h"

namespace {

// The dialog whose modal loop runs; one at a time.
DialogBase* currentDialog = nullptr;

}  // namespace

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBase* dialog = currentDialog;
    if (dialog == nullptr) return FALSE;
    // Set on every message, so the handle is there before WM_INITDIALOG is handled.
    dialog->hwnd = window;
    return dialog->HandleMessage(window, message, wParam, lParam);
}

DialogBase::DialogBase(std::int32_t dialogTemplateId) noexcept : templateId(dialogTemplateId) {}

INT_PTR DialogBase::RunModal(HWND parent) noexcept {
    DialogBase* const previous = currentDialog;
    currentDialog = this;
    const INT_PTR result = DialogBoxParamA(Module().Instance(),
                                           MAKEINTRESOURCEA(static_cast<WORD>(templateId & 0xFFFF)),
                                           parent, DialogProc, 0);
    currentDialog = previous;
    return result;
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

void DialogBase::OnApply() {}

void DialogBase::OnOk() {
    OnApply();
    EndDialog(hwnd, IDOK);
}

void DialogBase::OnCancel() { EndDialog(hwnd, IDCANCEL); }

std::int32_t DialogBase::WriteEditInt(const char* section, const char* key, int controlId,
                                      const char* path) noexcept {
    return ::WriteEditInt(hwnd, section, key, controlId, path);
}

std::int32_t DialogBase::WriteRadioIndex(const char* section, const char* key, int firstId,
                                         int lastId, const char* path) noexcept {
    return ::WriteRadioIndex(hwnd, section, key, firstId, lastId, path);
}

std::int32_t DialogBase::WriteCheckState(const char* section, const char* key, int controlId,
                                         const char* path) noexcept {
    return ::WriteCheckState(hwnd, section, key, controlId, path);
}

std::int32_t DialogBase::WriteComboIndex(const char* section, const char* key, int controlId,
                                         const char* path) noexcept {
    return ::WriteComboIndex(hwnd, section, key, controlId, path);
}
