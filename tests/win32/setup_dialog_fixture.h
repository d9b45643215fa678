// The Trapezoid setup dialog on real windows, for its tests: a dialog that counts its renders,
// and a fixture with a fresh settings file and a small image.
#pragma once

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/filter_module.h"
#include "tests/win32/test_host.h"
#include "ui/trapezoid_dialog.h"

namespace setup_dialog_test {

// Counts the renders the canvas asks for.
class CountingDialog : public TrapezoidDialog {
   public:
    CountingDialog() : TrapezoidDialog(Module()) {}
    bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                       const CanvasPoint& sourceOrigin, const CanvasSize& size) override {
        ++renders;
        return TrapezoidDialog::RenderPreview(target, destOrigin, sourceOrigin, size);
    }
    int renders = 0;
};

inline int SliderPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, kDifferenceSliderId, TBM_GETPOS, 0, 0));
}

inline bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

class SetupDialog : public ::testing::Test {
   protected:
    void SetUp() override {
        test_host::Reset();
        path = test_host::FreshModuleSettings();
        ASSERT_FALSE(path.empty());
        image.assign(40 * 30, 0xFF336699u);
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    INT_PTR Run(CountingDialog& dialog, const test_host::DialogScript& script) {
        return test_host::RunScripted(
            [&] { return dialog.RunWithImage(nullptr, image.data(), width, height); }, script);
    }
    void Write(const char* key, const char* value) {
        WritePrivateProfileStringA("Trapezoid", key, value, path.c_str());
    }
    std::string File() const { return test_host::ReadWholeFile(path); }

    std::string path;
    std::vector<Pixel32> image;
    std::int32_t width = 40;
    std::int32_t height = 30;
};

}  // namespace setup_dialog_test
