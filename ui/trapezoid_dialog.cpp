// Trapezoid setup dialog: shape buttons, the difference edit with its spin and slider kept in
// step, the undefined-area fill, the transparent, preview, perspective and proportions switches,
// and the live preview with its menu.
#include "ui/trapezoid_dialog.h"

#include <commctrl.h>

#include <string>

#include "platform/wide_text.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "transform/shape_profile.h"
#include "ui/difference_rules.h"

namespace {

// A popup menu for the length of one choice.
class PopupMenu {
   public:
    PopupMenu() noexcept : menu(CreatePopupMenu()) {}
    ~PopupMenu() {
        if (menu != nullptr) DestroyMenu(menu);
    }
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    [[nodiscard]] HMENU Get() const noexcept { return menu; }

   private:
    HMENU menu;
};

// The preview's menu in the user's language, the grid's and the guides' entries checked while
// they are on; an entry's command is its PreviewMenuEntry plus 1, so that 0 stays "nothing
// chosen".
bool FillPreviewMenu(HMENU menu, const LocalizedText& text, const PreviewCanvas& canvas) noexcept {
    const char* const* names = text.PreviewMenuNames();
    const auto zoom = static_cast<std::int32_t>(PreviewMenuEntry::kFitWholePicture);
    const auto grid = static_cast<std::int32_t>(PreviewMenuEntry::kShowGrid);
    const auto guides = static_cast<std::int32_t>(PreviewMenuEntry::kDrawGuides);
    for (std::int32_t entry = 0; entry < kPreviewMenuEntryCount; ++entry) {
        // The straightening, zoom, grid and guide entries apart from one another.
        if ((entry == zoom || entry == grid || entry == guides) &&
            !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr)) {
            return false;
        }
        const bool on =
            (entry == grid && canvas.GridShown()) || (entry == guides && canvas.DrawingGuides());
        const UINT checked = on ? MF_CHECKED : MF_UNCHECKED;
        const std::wstring name = WideFromShiftJis(names[entry]);
        if (!AppendMenuW(menu, MF_STRING | checked, static_cast<UINT_PTR>(entry + 1),
                         name.c_str())) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::int32_t DialogTemplateId() noexcept { return DialogTemplateIdFor(GetUserDefaultLangID()); }

TrapezoidDialog::TrapezoidDialog(const DialogModule& dialogModule) noexcept
    : PreviewDialog(dialogModule, DialogTemplateId()) {}

std::int32_t TrapezoidDialog::HandleMessage(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_HSCROLL &&
        GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kDifferenceSliderId) {
        return OnSliderScroll(wParam);
    }
    // The preview passes its right-click and menu keys on to the dialog as WM_CONTEXTMENU.
    if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == canvas.Control() &&
        canvas.Control() != nullptr) {
        OnPreviewContextMenu(lParam);
        return 1;
    }
    return PreviewDialog::HandleMessage(window, message, wParam, lParam);
}

void TrapezoidDialog::OnPreviewContextMenu(LPARAM position) {
    const HWND control = canvas.Control();
    const auto packed = static_cast<DWORD_PTR>(position);
    POINT at{static_cast<std::int16_t>(LOWORD(packed)), static_cast<std::int16_t>(HIWORD(packed))};
    if (at.x == -1 && at.y == -1) {
        RECT area{};
        GetWindowRect(control, &area);
        at = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    }
    const PopupMenu menu;
    if (menu.Get() == nullptr || !FillPreviewMenu(menu.Get(), module.Text(), canvas)) return;
    const BOOL chosen =
        TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    POINT anchor = at;
    ScreenToClient(control, &anchor);
    switch (static_cast<PreviewMenuEntry>(chosen - 1)) {
        case PreviewMenuEntry::kStraightenVerticals:
            Straighten(StraightenDirection::kVerticals);
            break;
        case PreviewMenuEntry::kStraightenHorizontals:
            Straighten(StraightenDirection::kHorizontals);
            break;
        case PreviewMenuEntry::kFitWholePicture:
            canvas.FitWholePicture();
            break;
        case PreviewMenuEntry::kActualPixels:
            canvas.ShowActualPixels({anchor.x, anchor.y});
            break;
        case PreviewMenuEntry::kShowGrid:
            canvas.ToggleGrid();
            break;
        case PreviewMenuEntry::kDrawGuides:
            canvas.ToggleGuideDrawing();
            break;
        case PreviewMenuEntry::kClearGuides:
            canvas.ClearGuides();
            break;
        case PreviewMenuEntry::kStraightenAlongGuides:
            StraightenAlongGuides();
            break;
        default:  // closed without a choice
            break;
    }
}

bool TrapezoidDialog::Straighten(StraightenDirection direction) {
    const PreviewSource source = SourceWithMask();
    const std::int32_t shape = CheckedShape();
    // A large photograph takes a moment.
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const auto found =
        SuggestStraightening({source.pixels, source.width, source.height, source.mask},
                             selectionRect, direction, shape, CheckedProfile());
    SetCursor(previous);
    return ApplyStraightening(found, shape);
}

bool TrapezoidDialog::StraightenAlongGuides() {
    const UsableGuides usable = UsableGuidesOf(canvas.Guides());
    const LocalizedText& text = module.Text();
    if (usable.problem != GuideProblem::kNone) {
        canvas.ShowNotice(WideFromShiftJis(usable.problem == GuideProblem::kMixed
                                               ? text.MixedGuidesNotice()
                                               : text.TooFewGuidesNotice()));
        return false;
    }
    const std::int32_t shape = CheckedShape();
    return ApplyStraightening(StraighteningFromGuides(usable.edges, selectionRect, usable.direction,
                                                      shape, CheckedProfile()),
                              shape);
}

bool TrapezoidDialog::ApplyStraightening(const std::optional<Straightening>& found,
                                         std::int32_t shape) {
    if (!found) {
        canvas.ShowNotice(WideFromShiftJis(module.Text().NoStraightLinesNotice()));
        return false;
    }
    CheckRadioInRange(kFirstShapeRadioId, kLastShapeRadioId, kFirstShapeRadioId + found->shape);
    const bool sameDifference = found->difference == currentDifference;
    // The edit's validation takes the value, moves the slider and redraws, as for a typed one.
    SetDlgItemInt(hwnd, kDifferenceEditId, static_cast<UINT>(found->difference), TRUE);
    if (sameDifference && found->shape != shape) RefreshIfPreviewing();
    return true;
}

std::int32_t TrapezoidDialog::OnInitDialog() {
    PreviewDialog::OnInitDialog();
    LoadShapeIcons();
    FillUndefinedAreaList();
    TrapezoidSettings settings{};
    ReadSettings(module.SettingsFilePath(), &settings, /*validate=*/false);
    CheckRadioInRange(kFirstShapeRadioId, kLastShapeRadioId, kFirstShapeRadioId + settings.shape);
    SetUpDifferenceControls(settings.difference);
    SendDlgItemMessageA(hwnd, kUndefinedAreaComboId, CB_SETCURSEL,
                        static_cast<WPARAM>(settings.fill.mode), 0);
    CheckDlgButton(hwnd, kTransparentCheckId,
                   settings.fill.transparent != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, kPreviewCheckId, settings.preview != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, kPerspectiveCheckId,
                   settings.perspective != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, kProportionsCheckId,
                   settings.proportions != 0 ? BST_CHECKED : BST_UNCHECKED);
    EnableProportionsBox();
    focal = settings.focal;
    movedLines.SetFocal(focal);
    CheckDlgButton(hwnd, kSelectedRectangleCheckId, BST_CHECKED);
    // Without a mask from the host the whole image counts as selected.
    selectionRect = {0, 0, imageWidth, imageHeight};
    module.SelectionBounds(nullptr, &selectionRect, imageWidth, imageHeight);
    canvas.SetBeforeLabel(WideFromShiftJis(module.Text().BeforeLabel()));
    const DialogLayout layout = ReadDialogLayout(module.SettingsFilePath());
    resizer.OpenAt({layout.width, layout.height});
    if (layout.previewFit != 0) canvas.FitWholePicture();
    return 1;
}

void TrapezoidDialog::LoadShapeIcons() const noexcept {
    for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id) {
        const HICON icon = LoadIconA(module.Instance(), MAKEINTRESOURCEA(id));
        if (icon != nullptr) {
            SendDlgItemMessageA(hwnd, id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        }
    }
}

void TrapezoidDialog::FillUndefinedAreaList() const noexcept {
    // Unsorted, so an entry's index is its mode. Wide text, so Japanese names show right
    // whatever the system's code page.
    for (const char* const* name = module.Text().UndefinedAreaNames(); *name != nullptr; ++name) {
        SendDlgItemMessageW(hwnd, kUndefinedAreaComboId, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(WideFromShiftJis(*name).c_str()));
    }
}

void TrapezoidDialog::SetUpDifferenceControls(std::int32_t storedDifference) {
    // Some up-down implementations count the minus sign as a digit and write -100 as "-,100",
    // which the edit would refuse; no value of this range needs a thousands separator anyway.
    const HWND spin = GetDlgItem(hwnd, kDifferenceSpinId);
    SetWindowLongA(spin, GWL_STYLE, GetWindowLongA(spin, GWL_STYLE) | UDS_NOTHOUSANDS);
    SendDlgItemMessageA(hwnd, kDifferenceSpinId, UDM_SETRANGE32,
                        static_cast<WPARAM>(kMinDifference), kMaxDifference);
    SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_SETRANGEMIN, FALSE, kMinDifference);
    SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_SETRANGEMAX, TRUE, kMaxDifference);
    SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_SETTICFREQ, 10, 0);
    const std::int32_t shown =
        IsValidDifference(storedDifference) ? storedDifference : currentDifference;
    // Goes through the edit validation, which takes the value and moves the slider.
    SetDlgItemInt(hwnd, kDifferenceEditId, static_cast<UINT>(shown), TRUE);
    SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_SETPOS, TRUE, shown);
}

std::int32_t TrapezoidDialog::OnSliderScroll(WPARAM wParam) {
    std::int32_t value = 0;
    const auto thumb = static_cast<std::int16_t>(HIWORD(wParam));
    if (!SliderDifference(LOWORD(wParam), currentDifference, thumb, &value)) return 0;
    // Not flagged as the dialog's own write: the value goes through the edit validation, which
    // keeps the edit, the slider and the preview in step and refuses a step beyond the range.
    SetDlgItemInt(hwnd, kDifferenceEditId, static_cast<UINT>(value), TRUE);
    return 1;
}

std::int32_t TrapezoidDialog::OnCommand(HWND control, WPARAM wParam,
                                        std::uint32_t notificationCode) {
    const int id = LOWORD(wParam);
    switch (notificationCode & 0xFFFF) {
        case EN_UPDATE:
            if (id == kDifferenceEditId && !updatingEdit) ValidateDifferenceEdit();
            break;
        case BN_CLICKED:
            if (id == kPerspectiveCheckId) EnableProportionsBox();
            if (id == kTransparentCheckId || id == kPerspectiveCheckId ||
                id == kProportionsCheckId ||
                (id >= kFirstShapeRadioId && id <= kLastShapeRadioId)) {
                RefreshIfPreviewing();
            }
            break;
        case CBN_SELCHANGE:
            if (id == kUndefinedAreaComboId) RefreshIfPreviewing();
            break;
        case kStraightenAlongGuides:
            if (id == kPreviewCanvasId) StraightenAlongGuides();
            break;
        default:
            break;
    }
    return PreviewDialog::OnCommand(control, wParam, notificationCode);
}

void TrapezoidDialog::ValidateDifferenceEdit() {
    char text[kDifferenceTextSize] = {};
    GetDlgItemTextA(hwnd, kDifferenceEditId, text, sizeof text);
    std::int32_t value = 0;
    if (!ParseDifferenceText(text, &value)) {
        // The restore causes an EN_UPDATE of its own, which must not be judged again.
        updatingEdit = true;
        SetDlgItemInt(hwnd, kDifferenceEditId, static_cast<UINT>(currentDifference), TRUE);
        updatingEdit = false;
        return;
    }
    if (value == currentDifference) return;
    currentDifference = value;
    SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_SETPOS, TRUE, value);
    RefreshIfPreviewing();
}

void TrapezoidDialog::RefreshIfPreviewing() noexcept {
    if (IsPreviewChecked()) canvas.Refresh();
}

bool TrapezoidDialog::OnApply() {
    const std::wstring path = module.SettingsFilePath();
    ChosenSettings chosen = SettingsFromControls(hwnd);
    chosen.focal = focal;
    const CanvasSize units = resizer.ClientUnits();
    const bool fitted = canvas.Scale() > 1 && canvas.Scale() == canvas.FittingScale();
    chosen.layout = DialogLayout{units.width, units.height, fitted ? 1 : 0};
    if (WriteSettings(chosen, path)) return true;
    // Kept open: the user can fix the cause and press OK again, or cancel.
    module.ShowError(hwnd, module.Text().SaveFailedMessage(), nullptr, path);
    return false;
}

bool TrapezoidDialog::RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                    const CanvasPoint& sourceOrigin, const CanvasSize& size) {
    const std::int32_t difference = PreviewedDifference();
    if (difference == 0) {
        return PreviewDialog::RenderPreview(target, destOrigin, sourceOrigin, size);
    }
    const std::int32_t shape = CheckedShape();
    const LineProfile profile = CheckedProfile();
    const FillParams fill = FillFromControls();
    if (ShapeRebuildsRows(shape)) {
        RenderRows(target, destOrigin, sourceOrigin, size, shape, difference, profile, fill);
    } else {
        RenderColumns(target, destOrigin, sourceOrigin, size, shape, difference, profile, fill);
    }
    return true;
}

bool TrapezoidDialog::RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                          const CanvasPoint& blockOrigin, const CanvasSize& size,
                                          std::int32_t scale) {
    const std::int32_t difference = PreviewedDifference();
    if (difference == 0) {
        return PreviewDialog::RenderZoomedPreview(target, destOrigin, blockOrigin, size, scale);
    }
    const PreviewSource source = SourceWithMask();
    if (source.mask != nullptr && !maskSpans.Describe(source.mask, source.width, source.height)) {
        maskSpans.Build(source.mask, source.width, source.height);  // unused if it fails
    }
    RenderZoomedTrapezoidPreview(target.Buffer(), source, {destOrigin, blockOrigin, size}, scale,
                                 CheckedShape(), difference, CheckedProfile(), FillFromControls(),
                                 &maskSpans, CheckedMove());
    return true;
}

ImagePoint TrapezoidDialog::ShownPoint(const ImagePoint& at) const noexcept {
    const std::int32_t difference = PreviewedDifference();
    if (difference == 0) return at;
    return CorrectedPoint(at, selectionRect, CheckedShape(), difference, CheckedProfile());
}

ImagePoint TrapezoidDialog::SourcePoint(const ImagePoint& shown) const noexcept {
    const std::int32_t difference = PreviewedDifference();
    if (difference == 0) return shown;
    return UncorrectedPoint(shown, selectionRect, CheckedShape(), difference, CheckedProfile());
}

std::int32_t TrapezoidDialog::PreviewedDifference() const noexcept {
    if (!IsPreviewChecked() || canvas.ShowingBefore()) return 0;
    // The edit only ever keeps an accepted text; anything else reads as 0.
    char text[kDifferenceTextSize] = {};
    GetDlgItemTextA(hwnd, kDifferenceEditId, text, sizeof text);
    std::int32_t accepted = 0;
    return ParseDifferenceText(text, &accepted) ? accepted : 0;
}

bool TrapezoidDialog::RenderRows(CanvasBase& target, const CanvasPoint& destOrigin,
                                 const CanvasPoint& sourceOrigin, const CanvasSize& size,
                                 std::int32_t shape, std::int32_t difference, LineProfile profile,
                                 const FillParams& fill) {
    RenderPreviewRows(target.Buffer(), SourceWithMask(), {destOrigin, sourceOrigin, size}, shape,
                      difference, profile, fill, CheckedMove());
    return true;
}

bool TrapezoidDialog::RenderColumns(CanvasBase& target, const CanvasPoint& destOrigin,
                                    const CanvasPoint& sourceOrigin, const CanvasSize& size,
                                    std::int32_t shape, std::int32_t difference,
                                    LineProfile profile, const FillParams& fill) {
    RenderPreviewColumns(target.Buffer(), SourceWithMask(), {destOrigin, sourceOrigin, size}, shape,
                         difference, profile, fill, CheckedMove());
    return true;
}

std::int32_t TrapezoidDialog::CheckedShape() const noexcept {
    return SettingsFromControls(hwnd).shape.value_or(0);
}

LineProfile TrapezoidDialog::CheckedProfile() const noexcept {
    return ProfileOfSetting(SettingsFromControls(hwnd).perspective);
}

MovedLines* TrapezoidDialog::CheckedMove() noexcept {
    const ChosenSettings chosen = SettingsFromControls(hwnd);
    return chosen.perspective != 0 && chosen.proportions != 0 ? &movedLines : nullptr;
}

void TrapezoidDialog::EnableProportionsBox() const noexcept {
    EnableWindow(GetDlgItem(hwnd, kProportionsCheckId),
                 IsDlgButtonChecked(hwnd, kPerspectiveCheckId) == BST_CHECKED);
}

FillParams TrapezoidDialog::FillFromControls() const noexcept {
    const ChosenSettings chosen = SettingsFromControls(hwnd);
    const std::int32_t listed = chosen.undefinedArea.value_or(0);
    const std::int32_t mode = listed >= 0 && listed < kModeCount ? listed : 0;
    const std::int32_t transparent = chosen.transparent;
    const SelectionRect& r = selectionRect;
    return {mode,    module.FillColour(mode, transparent), transparent, r.left, r.top, r.right,
            r.bottom};
}

PreviewSource TrapezoidDialog::SourceWithMask() const noexcept {
    const std::uint8_t* mask = nullptr;
    if (module.SelectionBounds(&mask, nullptr, imageWidth, imageHeight) == 0) mask = nullptr;
    return {sourcePixels, imageWidth, imageHeight, mask};
}
