// The plug-in's module object: its instance handle and its filters.
#include "plugin/filter_module.h"

#include <cstdio>
#include <exception>
#include <new>

#include "platform/wide_text.h"
#include "plugin/trapezoid_filter.h"
#include "settings/settings_rules.h"

namespace {

// The text set is picked once at load; constants of the module, so it can never be missing.
const LocalizedText& LoadTimeText() noexcept {
    static const LocalizedText& text = TextForLanguage(GetUserDefaultLangID());
    return text;
}
// Built during static initialization, before process attach.
const LocalizedText& g_textAtLoad = LoadTimeText();

constexpr std::size_t kExceptionTextSize = 512;

}  // namespace

FilterModule& Module() noexcept {
    static FilterModule module;
    return module;
}

std::int32_t FilterModule::Initialize(HINSTANCE moduleInstance) noexcept {
    instance = moduleInstance;
    DeleteFilters();  // a repeated attach starts from an empty list
    if (CreateFilters() == 0) return 0;
    for (FilterBase* filter : filters) {
        if (filter == nullptr) {
            DeleteFilters();
            return 0;
        }
    }
    return 1;
}

void FilterModule::DeleteFilters() noexcept {
    for (FilterBase* filter : filters) delete filter;
    filters.clear();
}

std::int32_t FilterModule::CreateFilters() noexcept {
    try {
        filters.push_back(new (std::nothrow) TrapezoidFilter());
    } catch (const std::exception&) {
        return 0;  // the list itself could not grow
    }
    return 1;
}

std::int32_t FilterModule::FilterCount() const noexcept {
    return static_cast<std::int32_t>(filters.size());
}

FilterBase* FilterModule::At(std::int32_t index) const noexcept {
    // Compared unsigned, so every negative index is out of range.
    if (static_cast<std::uint32_t>(index) >= filters.size()) return nullptr;
    return filters[static_cast<std::size_t>(index)];
}

const char* FilterModule::FilterName(std::int32_t index) const noexcept {
    const FilterBase* filter = At(index);
    return filter != nullptr ? filter->name.c_str() : "";
}

const char* FilterModule::FilterCategory(std::int32_t index) const noexcept {
    const FilterBase* filter = At(index);
    return filter != nullptr ? filter->category.c_str() : "";
}

void FilterModule::ExecuteFilter(std::int32_t index, HWND parent, const Pixel32* source,
                                 Pixel32* destination, std::int32_t reservedA,
                                 const SelectionRect* rect, std::int32_t reservedB,
                                 std::int32_t width, std::int32_t height,
                                 ProgressRecord* progress) noexcept {
    FilterBase* filter = At(index);
    if (filter == nullptr) return;
    parent = UsableOwner(parent);
    try {
        filter->Execute(parent, source, destination, reservedA, rect, reservedB, width, height,
                        progress);
    } catch (...) {
        // Nothing may cross the export boundary; the destination keeps what was written.
    }
}

std::int32_t FilterModule::SetupFilter(std::int32_t index, HWND parent, const Pixel32* pixels,
                                       std::int32_t width, std::int32_t height) noexcept {
    FilterBase* filter = At(index);
    if (filter == nullptr) return 0;
    parent = UsableOwner(parent);
    try {
        return filter->Setup(parent, pixels, width, height);
    } catch (const std::exception& e) {
        char text[kExceptionTextSize];
        std::snprintf(text, sizeof text, "%s", e.what());  // cut to fit the buffer
        ShowError(parent, text, "exception");
    } catch (...) {
    }
    return 0;
}

// The text set of the user's language, chosen at load.
const LocalizedText& FilterModule::Text() const noexcept { return g_textAtLoad; }

std::wstring FilterModule::SettingsFilePath() const {
    // The wide-character name: a folder named outside the system's code page stays reachable.
    return SettingsPathBeside(ModuleFileName(instance));
}

HWND UsableOwner(HWND parent) noexcept {
    return parent != nullptr && IsWindow(parent) ? parent : nullptr;
}
