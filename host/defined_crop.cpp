// run --crop: the settings read as the plug-in reads them, the rectangle from the engine.
#include "host/defined_crop.h"

#include <string>

#include "host/host_error.h"
#include "transform/defined_area.h"
#include "transform/proportions.h"

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

void CropToDefined(RgbaImage& image, const SelectionRect& rect, const TrapezoidGeometrySettings& s,
                   const std::string& input) {
    const LineProfile profile =
        s.perspective != 0 ? LineProfile::kPerspective : LineProfile::kClassic;
    const SelectionRect d = DefinedRectangle(image.width, image.height, rect, s.shape, s.difference,
                                             profile, s.proportions != 0, s.focal);
    if (d.right <= d.left || d.bottom <= d.top) {
        throw HostError(Quoted(input) + ": nothing of the result is defined to crop to");
    }
    const std::int32_t width = d.right - d.left;
    const std::int32_t height = d.bottom - d.top;
    if (width == image.width && height == image.height) return;
    for (std::int32_t y = 0; y < height; ++y) {
        const auto from = image.pixels.begin() + PixelIndex(d.left, d.top + y, image.width);
        std::copy(from, from + width, image.pixels.begin() + PixelIndex(0, y, width));
    }
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    image.width = width;
    image.height = height;
}
