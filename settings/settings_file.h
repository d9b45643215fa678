// Settings file: reads the five settings from vxfilters.ini beside the plug-in, and writes them
// from a dialog's controls when the user confirms.
#pragma once

#include <cstdint>

#include "plugin/win32.h"
#include "settings/settings_rules.h"

// Fills the five file fields of `settings` (missing values read as 0). With `validate`, false
// when the difference is outside -100..100; without, always true.
bool ReadSettings(TrapezoidSettings* settings, bool validate) noexcept;

// Writes the dialog's controls as the five keys, then flushes; the flush's result.
BOOL SaveSettings(HWND dialog) noexcept;

// Each writes one key from one control of `dialog`; 1 when written, 0 when the control gave no
// value (the key then stays as it was).
std::int32_t WriteEditInt(HWND dialog, const char* section, const char* key, int controlId,
                          const char* path) noexcept;
std::int32_t WriteRadioIndex(HWND dialog, const char* section, const char* key, int firstId,
                             int lastId, const char* path) noexcept;
std::int32_t WriteCheckState(HWND dialog, const char* section, const char* key, int controlId,
                             const char* path) noexcept;
std::int32_t WriteComboIndex(HWND dialog, const char* section, const char* key, int controlId,
                             const char* path) noexcept;

// Control ids of the settings in the Trapezoid dialog.
constexpr int kPreviewCheckId = 1006;
constexpr int kDifferenceEditId = 1059;
constexpr int kTransparentCheckId = 1062;
constexpr int kUndefinedAreaComboId = 1064;
constexpr int kFirstShapeRadioId = 1065;
constexpr int kLastShapeRadioId = 1070;
