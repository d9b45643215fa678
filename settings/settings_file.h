// Settings file: reads the six settings from vxfilters.ini beside the plug-in, and writes them
// from a dialog's controls when the user confirms.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "settings/settings_rules.h"

// The form of `path` that the profile functions reach: the path itself below MAX_PATH, where
// they stop whatever form a path takes; beyond, its folder's short name with the file's name.
// "" when even that is too long, or the folder is not there.
[[nodiscard]] std::wstring ProfilePath(const std::wstring& path);

// Whether the settings file at `path` can be read, or is not there (every key then reads as 0):
// false when it is there but cannot be opened (a folder in its place, no permission).
[[nodiscard]] bool SettingsFileReadable(const std::wstring& path);

// Fills the eight file fields of `settings` from the settings file at `path` (missing values, and
// every value when `path` is "", read as 0). With `validate`, false when the difference is
// outside -100..100; without, always true.
bool ReadSettings(const std::wstring& path, TrapezoidSettings* settings, bool validate);

// Writes the dialog's controls as seven keys into `path`, and `focal` (the lens, which the dialog
// keeps as it read it) as the eighth, then flushes. False when a key's write or the flush failed:
// the settings on disk are then not the dialog's.
bool SaveSettings(HWND dialog, const std::wstring& path, std::int32_t focal = kDefaultFocal);

// Writes only the shape and difference keys into `path`, then flushes; the other keys stay as
// they are in the file. False as for SaveSettings.
bool SaveShapeAndDifference(std::int32_t shape, std::int32_t difference, const std::wstring& path);

// What writing one key from one control gave.
enum WriteResult : std::int32_t {
    kWriteFailed = -1,  // the file could not be written
    kNoValue = 0,       // the control gave no value; the key stays as it was
    kWritten = 1,
};

// Each writes one key from one control of `dialog` into the settings file at `path`.
WriteResult WriteEditInt(HWND dialog, const char* section, const char* key, int controlId,
                         const wchar_t* path);
WriteResult WriteRadioIndex(HWND dialog, const char* section, const char* key, int firstId,
                            int lastId, const wchar_t* path);
WriteResult WriteCheckState(HWND dialog, const char* section, const char* key, int controlId,
                            const wchar_t* path);
WriteResult WriteComboIndex(HWND dialog, const char* section, const char* key, int controlId,
                            const wchar_t* path);

// Control ids of the settings in the Trapezoid dialog.
constexpr int kPreviewCheckId = 1006;
constexpr int kDifferenceEditId = 1059;
constexpr int kTransparentCheckId = 1062;
constexpr int kUndefinedAreaComboId = 1064;
constexpr int kPerspectiveCheckId = 1073;
constexpr int kProportionsCheckId = 1090;
constexpr int kFirstShapeRadioId = 1065;
constexpr int kLastShapeRadioId = 1070;
