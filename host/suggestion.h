// Suggested settings: the shape and difference that the plug-in finds to straighten a picture's
// converging lines, asked through its optional export KVF_SuggestSettings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/plugin_module.h"
#include "host/selection.h"
#include "plugin_interface/kv_interface.h"

struct Suggestion {
    std::int32_t shape = 0;
    std::int32_t difference = 0;
};

// What kvhost says when the plug-in finds no straight lines that agree.
constexpr char kNoStraightLines[] = "no straight lines found";

// The plug-in's suggestion for the selected image's lines of that direction, or nothing when it
// finds none. With save the plug-in also writes it into its settings file, as its OK button
// would. Throws HostError when the plug-in has no such export or could not save.
[[nodiscard]] std::optional<Suggestion> AskSuggestion(const PluginModule& plugin,
                                                      const SelectedImage& selected,
                                                      SuggestDirection direction, bool save);

// "shape=N difference=D"
[[nodiscard]] std::string SuggestionText(const Suggestion& suggestion);
