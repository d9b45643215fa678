// The Trapezoid filter: keystone correction of the selection, rows or columns rescaled about
// their centres.
#include "plugin/trapezoid_filter.h"

#include <cstdio>

#include "platform/wide_text.h"
#include "plugin/filter_module.h"
#include "settings/settings_file.h"
#include "transform/transform_pass.h"
#include "ui/trapezoid_dialog.h"

namespace {

// "Trapezoid...|台形..." and "Transform|変形", the Japanese halves in Shift-JIS.
constexpr char kName[] = "Trapezoid...|\x91\xE4\x8C\x60...";
constexpr char kCategory[] = "Transform|\x95\xCF\x8C\x60";

}  // namespace

TrapezoidFilter::TrapezoidFilter() : FilterBase(kName, kCategory) {}

void TrapezoidFilter::Execute(HWND parent, const Pixel32* source, Pixel32* destination,
                              std::int32_t, const SelectionRect* rect, std::int32_t,
                              std::int32_t width, std::int32_t height, ProgressRecord* progress) {
    FilterModule& module = Module();
    // A file that is there but cannot be read would run on defaults the user never chose.
    const std::wstring path = module.SettingsFilePath();
    if (!SettingsFileReadable(path)) {
        module.ShowError(parent, module.Text().ReadFailedMessage(), nullptr, path);
        return;
    }
    TrapezoidSettings settings{};
    if (!ReadSettings(path, &settings, /*validate=*/true)) {
        // A second line names the file, the key and the value, so that the user can find it.
        char detail[256];
        std::snprintf(detail, sizeof detail, module.Text().OutOfRangeFormat(), "vxfilters.ini",
                      kDifferenceKey, static_cast<int>(settings.difference),
                      static_cast<int>(kMinDifference), static_cast<int>(kMaxDifference));
        module.ShowError(parent, module.Text().InvalidSettingsMessage(), nullptr,
                         WideFromShiftJis(detail));
        return;
    }
    if (settings.difference == 0 || rect == nullptr) return;

    settings.fill.colour = module.FillColour(settings.fill.mode, settings.fill.transparent);
    if (RestoresProportions(settings)) {
        if (!RunTransformInProportion(source, destination, width, height, *rect, settings.shape,
                                      settings.difference, settings.focal, settings.fill,
                                      progress)) {
            module.ShowError(parent, module.Text().NoMemoryForProportionsMessage(), nullptr);
        }
        return;
    }
    RunTransform(source, destination, width, height, *rect, settings.shape, settings.difference,
                 ProfileOfSetting(settings.perspective), settings.fill, progress);
}

std::int32_t TrapezoidFilter::Setup(HWND parent, const Pixel32* pixels, std::int32_t width,
                                    std::int32_t height) {
    if (!CanSetup(parent, pixels, width, height)) return 0;
    const FilterModule& module = Module();
    TrapezoidDialog dialog(module);
    // OK ends the dialog only once the settings are saved; Cancel ends it with 2.
    const INT_PTR result = dialog.RunWithImage(parent, pixels, width, height);
    if (result == -1) module.ShowError(parent, module.Text().DialogFailedMessage(), nullptr);
    return result == IDOK ? 1 : 0;
}
