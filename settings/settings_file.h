// Settings file: reads the six settings and the setup dialog's layout from vxfilters.ini beside
// the plug-in, and writes what a dialog chose when the user confirms.
#pragma once

#include <cstdint>
#include <optional>
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

// What a dialog chose, in the order of the file's keys; a value a control could not give (no
// shape checked, no fill listed, an edit without a whole number) is left out, and its key stays
// as it is in the file.
struct ChosenSettings {
    std::optional<std::int32_t> shape;
    std::optional<std::int32_t> difference;
    std::optional<std::int32_t> undefinedArea;
    std::int32_t transparent = 0;
    std::int32_t preview = 0;
    std::int32_t perspective = 0;
    std::int32_t proportions = 0;
    std::int32_t focal = kDefaultFocal;  // the lens, kept as the dialog read it
    // The setup dialog's client size in dialog units and whether its preview was fitted.
    std::optional<DialogLayout> layout;
};

// Writes `chosen` into `path`, then flushes. False when a key's write or the flush failed: the
// settings on disk are then not the dialog's.
bool WriteSettings(const ChosenSettings& chosen, const std::wstring& path);

// The layout keys of `path`; a key that is missing or not a number reads as 0.
[[nodiscard]] DialogLayout ReadDialogLayout(const std::wstring& path);

// Writes only the shape and difference keys into `path`, then flushes; the other keys stay as
// they are in the file. False as for WriteSettings.
bool SaveShapeAndDifference(std::int32_t shape, std::int32_t difference, const std::wstring& path);
