// The plug-in's exported functions: the host enumerates, sets up and runs filters through them.
// They marshal arguments and forward to the module object; nothing escapes them.
#include <cstdint>

#include "plugin/filter_module.h"
#include "plugin/suggest_settings.h"
#include "plugin/text_copy.h"
#include "version.h"

namespace {

constexpr char kPluginInfo[] = "Trapezoid " TRAPEZOID_SHORT_VERSION
                               " - keystone correction filter. "
                               "Copyright (C) 2026 the Trapezoid developers.";

}  // namespace

extern "C" {

std::int16_t __stdcall KV_GetPluginInfo(char* buffer, std::int32_t length) {
    BoundedCopy(buffer, length, kPluginInfo);
    return 1;
}

std::int32_t __stdcall KVF_FilterCount() { return Module().FilterCount(); }

char* __stdcall KVF_GetName(std::int32_t index, char* category, std::int32_t categoryLength,
                            char* name, std::int32_t nameLength) {
    BoundedCopy(category, categoryLength, Module().FilterCategory(index));
    BoundedCopy(name, nameLength, Module().FilterName(index));
    return name;
}

std::int32_t __stdcall KVF_Setup(std::int32_t index, HWND parent, const Pixel32* pixels,
                                 std::int32_t width, std::int32_t height) {
    return Module().SetupFilter(index, parent, pixels, width, height);
}

// Reports 0 before and 100 after the filter, whatever it did; the last report's result is the
// export's result.
std::int32_t __stdcall KVF_Execute(std::int32_t index, HWND parent, const Pixel32* source,
                                   Pixel32* destination, std::int32_t reservedA,
                                   const SelectionRect* rect, std::int32_t reservedB,
                                   std::int32_t width, std::int32_t height,
                                   ProgressCallback progress, std::intptr_t userData) {
    ProgressRecord record{userData, progress, 0};
    if (progress != nullptr) progress(0, 100, userData);
    Module().ExecuteFilter(index, parent, source, destination, reservedA, rect, reservedB, width,
                           height, &record);
    if (record.callback == nullptr) return 0;
    return record.callback(100, 100, record.userData);
}

// Optional: only hosts that know of it call it; plugin_interface/kv_interface.h states its
// contract.
std::int32_t __stdcall KVF_SuggestSettings(const Pixel32* pixels, std::int32_t width,
                                           std::int32_t height, const SelectionRect* rect,
                                           const std::uint8_t* mask, std::int32_t direction,
                                           std::int32_t save, std::int32_t* shape,
                                           std::int32_t* difference) {
    return SuggestSettings(pixels, width, height, rect, mask, direction, save, shape, difference);
}

}  // extern "C"
