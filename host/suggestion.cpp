// Suggested settings: the shape and difference that the plug-in finds to straighten a picture's
// converging lines, asked through its optional export KVF_SuggestSettings.
#include "host/suggestion.h"

#include "host/host_error.h"

std::optional<Suggestion> AskSuggestion(const PluginModule& plugin, const SelectedImage& selected,
                                        SuggestDirection direction, bool save) {
    const SuggestSettingsFn suggest = plugin.RequireSuggest();
    Suggestion suggestion;
    const std::int32_t result =
        suggest(selected.image.pixels.data(), selected.image.width, selected.image.height,
                &selected.rect, selected.mask.empty() ? nullptr : selected.mask.data(), direction,
                save ? 1 : 0, &suggestion.shape, &suggestion.difference);
    switch (result) {
        case SuggestFound:
            return suggestion;
        case SuggestNotFound:
            return std::nullopt;
        case SuggestSaveFailed:
            throw HostError("the plug-in found " + SuggestionText(suggestion) +
                            " but could not save it into its settings file");
        default:
            throw HostError("KVF_SuggestSettings returned the unknown result " +
                            std::to_string(result));
    }
}

std::string SuggestionText(const Suggestion& suggestion) {
    return "shape=" + std::to_string(suggestion.shape) +
           " difference=" + std::to_string(suggestion.difference);
}
