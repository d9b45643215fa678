// Settings file: reads the six settings and the setup dialog's layout from vxfilters.ini beside
// the plug-in, and writes what a dialog chose when the user confirms.
#include "settings/settings_file.h"

#include <cstdio>
#include <vector>

#include "platform/wide_text.h"

namespace {

// The value's text is parsed here rather than by the platform's integer read, whose handling of
// hexadecimal, garbage and overflow differs between implementations. The wide-character
// functions reach a file whose path has characters outside the system's code page; the file's
// content stays in that code page, as the keys and values are plain ASCII.
std::int32_t ReadKey(const char* key, const wchar_t* path) {
    wchar_t wide[64] = {};
    GetPrivateProfileStringW(WideFromShiftJis(kSettingsSection).c_str(),
                             WideFromShiftJis(key).c_str(), L"", wide, 64, path);
    char text[64];
    // Digits, signs and blanks are ASCII; anything else only has to stay "not a digit".
    for (int i = 0; i < 64; ++i) text[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    return ParseProfileInt(text);
}

bool WriteKey(const char* key, std::int32_t value, const wchar_t* path) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WritePrivateProfileStringW(WideFromShiftJis(kSettingsSection).c_str(),
                                      WideFromShiftJis(key).c_str(), WideFromShiftJis(text).c_str(),
                                      path) != FALSE;
}

// A value the dialog could not give leaves its key as it is.
bool WriteChosenKey(const char* key, const std::optional<std::int32_t>& value,
                    const wchar_t* path) {
    return !value || WriteKey(key, *value, path);
}

// Makes the platform write its cached copy of the file to disk. Some implementations answer
// FALSE here even when all is well, so only a failure with an error code counts.
bool Flush(const wchar_t* path) {
    SetLastError(ERROR_SUCCESS);
    return WritePrivateProfileStringW(nullptr, nullptr, nullptr, path) ||
           GetLastError() == ERROR_SUCCESS;
}

}  // namespace

std::wstring ProfilePath(const std::wstring& path) {
    if (path.size() < MAX_PATH) return path;
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    const std::wstring folder = ExtendedLengthPath(path.substr(0, slash));
    std::vector<wchar_t> shortName(32768);
    const DWORD length =
        GetShortPathNameW(folder.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (length == 0 || length >= shortName.size()) return {};
    std::wstring shortPath = std::wstring(shortName.data(), length) + path.substr(slash);
    if (shortPath.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        shortPath.replace(0, 8, L"\\\\");
    } else if (shortPath.rfind(L"\\\\?\\", 0) == 0) {
        shortPath.erase(0, 4);
    }
    return shortPath.size() < MAX_PATH ? shortPath : std::wstring();
}

bool SettingsFileReadable(const std::wstring& path) {
    if (path.empty()) return true;  // no path to be had: read as a missing file
    const HANDLE file = CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return !ProfilePath(path).empty();  // there, and within the profile functions' reach
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ReadSettings(const std::wstring& file, TrapezoidSettings* settings, bool validate) {
    RawSettings raw{};
    // No path reads as a missing file: all zero, and so does a file out of the profile
    // functions' reach (a run refuses that first: SettingsFileReadable).
    const std::wstring path = ProfilePath(file);
    if (!path.empty()) {
        raw.shape = ReadKey(kShapeKey, path.c_str());
        raw.difference = ReadKey(kDifferenceKey, path.c_str());
        raw.undefinedArea = ReadKey(kUndefinedAreaKey, path.c_str());
        raw.transparent = ReadKey(kTransparentKey, path.c_str());
        raw.preview = ReadKey(kPreviewKey, path.c_str());
        raw.perspective = ReadKey(kPerspectiveKey, path.c_str());
        raw.proportions = ReadKey(kProportionsKey, path.c_str());
        raw.focal = ReadKey(kFocalKey, path.c_str());
    }
    ApplyReadRules(raw, settings);
    return !validate || IsValidDifference(settings->difference);
}

bool WriteSettings(const ChosenSettings& chosen, const std::wstring& path) {
    const std::wstring reachable = ProfilePath(path);
    if (reachable.empty()) return false;
    const wchar_t* file = reachable.c_str();
    // A check box's indeterminate state, or any value but 1, counts as not checked.
    const auto box = [](std::int32_t state) { return state == 1 ? 1 : 0; };
    bool saved = WriteChosenKey(kShapeKey, chosen.shape, file);
    saved = WriteChosenKey(kDifferenceKey, chosen.difference, file) && saved;
    saved = WriteChosenKey(kUndefinedAreaKey, chosen.undefinedArea, file) && saved;
    saved = WriteKey(kTransparentKey, box(chosen.transparent), file) && saved;
    saved = WriteKey(kPreviewKey, box(chosen.preview), file) && saved;
    saved = WriteKey(kPerspectiveKey, box(chosen.perspective), file) && saved;
    saved = WriteKey(kProportionsKey, box(chosen.proportions), file) && saved;
    saved = WriteKey(kFocalKey, chosen.focal, file) && saved;
    if (chosen.layout) {
        saved = WriteKey(kDialogWidthKey, chosen.layout->width, file) && saved;
        saved = WriteKey(kDialogHeightKey, chosen.layout->height, file) && saved;
        saved = WriteKey(kPreviewFitKey, box(chosen.layout->previewFit), file) && saved;
    }
    return Flush(file) && saved;
}

DialogLayout ReadDialogLayout(const std::wstring& file) {
    const std::wstring path = ProfilePath(file);
    if (path.empty()) return {0, 0, 0};
    return {ReadKey(kDialogWidthKey, path.c_str()), ReadKey(kDialogHeightKey, path.c_str()),
            ReadKey(kPreviewFitKey, path.c_str())};
}

bool SaveShapeAndDifference(std::int32_t shape, std::int32_t difference, const std::wstring& path) {
    const std::wstring reachable = ProfilePath(path);
    if (reachable.empty()) return false;
    const wchar_t* file = reachable.c_str();
    const bool saved =
        WriteKey(kShapeKey, shape, file) && WriteKey(kDifferenceKey, difference, file);
    return Flush(file) && saved;
}
