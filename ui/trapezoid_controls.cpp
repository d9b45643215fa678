// The Trapezoid dialog's settings controls, and what they choose read into settings: the one
// reading both the live preview and OK use.
#include "ui/trapezoid_controls.h"

namespace {

std::int32_t CheckState(HWND dialog, int id) noexcept {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
}

std::optional<std::int32_t> CheckedRadioIndex(HWND dialog) noexcept {
    for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id) {
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) return id - kFirstShapeRadioId;
    }
    return std::nullopt;
}

std::optional<std::int32_t> EditInt(HWND dialog, int id) noexcept {
    // Read as text and parsed strictly: the platform's integer read accepts "12x" as 12.
    char text[32] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    std::int32_t value = 0;
    if (!ParseEditInt(text, &value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> ListIndex(HWND dialog, int id) noexcept {
    const LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return std::nullopt;
    return static_cast<std::int32_t>(index);
}

}  // namespace

ChosenSettings SettingsFromControls(HWND dialog) noexcept {
    ChosenSettings chosen;
    chosen.shape = CheckedRadioIndex(dialog);
    chosen.difference = EditInt(dialog, kDifferenceEditId);
    chosen.undefinedArea = ListIndex(dialog, kUndefinedAreaComboId);
    chosen.transparent = CheckState(dialog, kTransparentCheckId);
    chosen.preview = CheckState(dialog, kPreviewCheckId);
    chosen.perspective = CheckState(dialog, kPerspectiveCheckId);
    chosen.proportions = CheckState(dialog, kProportionsCheckId);
    return chosen;
}
