// run --crop in kvhost: the settings read as the plug-in reads them.
#include "host/defined_crop.h"

#include <string>

#include "transform/proportions.h"
#include "transform/shape_profile.h"

TrapezoidGeometrySettings ReadGeometrySettings(HMODULE plugin) {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(plugin, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"vxfilters.ini";
    const auto key = [&](const wchar_t* name) {
        return static_cast<std::int32_t>(
            GetPrivateProfileIntW(L"Trapezoid", name, 0, path.c_str()));
    };
    const std::int32_t shape = key(L"shape");
    return {shape >= 0 && shape < kShapeCount ? shape : 0, key(L"difference"), key(L"perspective"),
            key(L"proportions"), FocalOfSetting(key(L"focal"))};
}
