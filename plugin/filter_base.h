// Filter base class: the operations the host reaches through the exports, with defaults.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/win32.h"
#include "transform/pixel.h"
#include "transform/progress.h"

class FilterBase {
   public:
    FilterBase(std::string filterName, std::string filterCategory)
        : name(std::move(filterName)), category(std::move(filterCategory)) {}
    virtual ~FilterBase() = default;
    FilterBase(const FilterBase&) = delete;
    FilterBase& operator=(const FilterBase&) = delete;

    // Transforms the rectangle of `source` into `destination`. Default: nothing.
    virtual void Execute(HWND /*parent*/, const Pixel32* /*source*/, Pixel32* /*destination*/,
                         std::int32_t /*reservedA*/, const SelectionRect* /*rect*/,
                         std::int32_t /*reservedB*/, std::int32_t /*width*/,
                         std::int32_t /*height*/, ProgressRecord* /*progress*/) {}

    // 1 when the user confirmed the setup, else 0. Default: whether CanSetup allows it.
    virtual std::int32_t Setup(HWND parent, const Pixel32* pixels, std::int32_t width,
                               std::int32_t height) {
        return CanSetup(parent, pixels, width, height) ? 1 : 0;
    }

    virtual bool CanSetup(HWND /*parent*/, const Pixel32* /*pixels*/, std::int32_t /*width*/,
                          std::int32_t /*height*/) {
        return true;
    }

    // Both texts carry English, a vertical bar, then Japanese in Shift-JIS.
    std::string name;
    std::string category;
};
