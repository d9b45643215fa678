// The settings file read from its text, for programs that run the engine without the platform's
// profile functions: the Trapezoid section's six keys, each value read by the plug-in's own
// rules (ParseProfileInt, then ApplyReadRules).
#pragma once

#include <string_view>

#include "settings/settings_rules.h"

// The raw values of the section's keys as the profile functions find them: the first section of
// that name and the first line of each key, names in any case, blanks around names and values
// ignored; a key (or the section) that is missing reads as 0.
[[nodiscard]] RawSettings ReadSettingsText(std::string_view text);
