// The Trapezoid dialog's settings controls, and what they choose read into settings: the one
// reading both the live preview and OK use.
#pragma once

#include "platform/win32.h"
#include "settings/settings_file.h"

// Control ids of the settings in the Trapezoid dialog.
constexpr int kPreviewCheckId = 1006;
constexpr int kDifferenceEditId = 1059;
constexpr int kTransparentCheckId = 1062;
constexpr int kUndefinedAreaComboId = 1064;
constexpr int kPerspectiveCheckId = 1073;
constexpr int kProportionsCheckId = 1090;
constexpr int kFirstShapeRadioId = 1065;
constexpr int kLastShapeRadioId = 1070;

// The settings the controls of `dialog` choose: the first checked shape button, the edit's whole
// number, the listed fill, the four check boxes (1 checked, else 0). No layout,
// and the lens is the caller's.
[[nodiscard]] ChosenSettings SettingsFromControls(HWND dialog) noexcept;
