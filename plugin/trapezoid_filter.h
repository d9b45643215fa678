// The Trapezoid filter: keystone correction of the selection, rows or columns rescaled about
// their centres.
#pragma once

#include "plugin/filter_base.h"

class TrapezoidFilter final : public FilterBase {
   public:
    TrapezoidFilter();

    void Execute(HWND parent, const Pixel32* source, Pixel32* destination, std::int32_t reservedA,
                 const SelectionRect* rect, std::int32_t reservedB, std::int32_t width,
                 std::int32_t height, ProgressRecord* progress) override;

    // Opens the setup dialog over the host's image; 1 when the user confirmed with OK, which
    // has saved the settings for the next run. A dialog that cannot be created is reported in an
    // error box.
    std::int32_t Setup(HWND parent, const Pixel32* pixels, std::int32_t width,
                       std::int32_t height) override;
};
