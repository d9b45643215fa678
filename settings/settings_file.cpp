// Settings file: reads the five settings from vxfilters.ini beside the plug-in, and writes them
// from a dialog's controls when the user confirms.
#include "settings/settings_file.h"

#include <cstdio>
#include <utility>

#include "plugin/filter_module.h"

namespace {

constexpr std::size_t kPathSize = MAX_PATH;

// The value's text is parsed here rather than by the platform's integer read, whose handling of
// hexadecimal, garbage and overflow differs between implementations.
std::int32_t ReadKey(const char* key, const char* path) noexcept {
    char text[64];
    GetPrivateProfileStringA(kSettingsSection, key, "", text, sizeof text, path);
    return ParseProfileInt(text);
}

BOOL WriteKey(const char* section, const char* key, std::int32_t value, const char* path) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WritePrivateProfileStringA(section, key, text, path);
}

}  // namespace

bool ReadSettings(TrapezoidSettings* settings, bool validate) noexcept {
    char path[kPathSize];
    RawSettings raw{};
    // A plug-in path too long for the settings file reads as a missing file: all zero.
    if (Module().SettingsFilePath(path, sizeof path)) {
        raw.shape = ReadKey(kShapeKey, path);
        raw.difference = ReadKey(kDifferenceKey, path);
        raw.undefinedArea = ReadKey(kUndefinedAreaKey, path);
        raw.transparent = ReadKey(kTransparentKey, path);
        raw.preview = ReadKey(kPreviewKey, path);
    }
    ApplyReadRules(raw, settings);
    return !validate || IsValidDifference(settings->difference);
}

BOOL SaveSettings(HWND dialog) noexcept {
    char path[kPathSize];
    if (!Module().SettingsFilePath(path, sizeof path)) return FALSE;
    WriteRadioIndex(dialog, kSettingsSection, kShapeKey, kFirstShapeRadioId, kLastShapeRadioId,
                    path);
    WriteEditInt(dialog, kSettingsSection, kDifferenceKey, kDifferenceEditId, path);
    WriteComboIndex(dialog, kSettingsSection, kUndefinedAreaKey, kUndefinedAreaComboId, path);
    WriteCheckState(dialog, kSettingsSection, kTransparentKey, kTransparentCheckId, path);
    WriteCheckState(dialog, kSettingsSection, kPreviewKey, kPreviewCheckId, path);
    // Makes the platform write its cached copy of the file to disk.
    return WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
}

std::int32_t WriteEditInt(HWND dialog, const char* section, const char* key, int controlId,
                          const char* path) noexcept {
    // Read as text and parsed strictly: the platform's integer read accepts "12x" as 12.
    char text[32] = {};
    GetDlgItemTextA(dialog, controlId, text, sizeof text);
    std::int32_t value = 0;
    if (!ParseEditInt(text, &value)) return 0;
    WriteKey(section, key, value, path);
    return 1;
}

std::int32_t WriteRadioIndex(HWND dialog, const char* section, const char* key, int firstId,
                             int lastId, const char* path) noexcept {
    if (firstId > lastId) std::swap(firstId, lastId);
    for (int id = firstId; id <= lastId; ++id) {
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
            WriteKey(section, key, id - firstId, path);
            return 1;
        }
    }
    return 0;
}

std::int32_t WriteCheckState(HWND dialog, const char* section, const char* key, int controlId,
                             const char* path) noexcept {
    // The indeterminate state counts as not checked.
    const bool checked = IsDlgButtonChecked(dialog, controlId) == BST_CHECKED;
    WritePrivateProfileStringA(section, key, checked ? "1" : "0", path);
    return 1;
}

std::int32_t WriteComboIndex(HWND dialog, const char* section, const char* key, int controlId,
                             const char* path) noexcept {
    const LRESULT index = SendMessageA(GetDlgItem(dialog, controlId), CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    WriteKey(section, key, static_cast<std::int32_t>(index), path);
    return 1;
}
