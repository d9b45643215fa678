// Dialog framework: one modal dialog from a template of the module, its messages routed to the
// virtual operations of one object.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "ui/dialog_module.h"

class DialogBase {
   public:
    // The dialog of template `dialogTemplateId` among `module`'s resources.
    DialogBase(const DialogModule& module, std::int32_t dialogTemplateId) noexcept;
    virtual ~DialogBase() = default;
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog over `parent` until it ends: 1 for OK, 2 for Cancel, or the platform's
    // failure value (-1, or 0 for an invalid owner). A dialog that cannot be created because the
    // host never registered the up-down and trackbar classes is tried once more after
    // registering them.
    INT_PTR RunModal(HWND parent) noexcept;

    // Checks `checkedId` among firstId..lastId and clears the others; an id outside the range
    // checks the first.
    void CheckRadioInRange(int firstId, int lastId, int checkedId) noexcept;

    // Non-zero when handled; WM_INITDIALOG and WM_COMMAND reach the operations below.
    virtual std::int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual std::int32_t OnInitDialog();
    // OK and Cancel end the dialog; 0 for every other control.
    virtual std::int32_t OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode);
    // Applies the dialog's settings; false keeps the dialog open (OK does not end it).
    virtual bool OnApply();
    virtual void OnOk();
    virtual void OnCancel();

    // Hands a wheel message sent to one of the dialog's controls to the control that shows what
    // it turns; true when one took it. Default: none does.
    virtual bool RouteWheel(const MSG& message) noexcept;

    // The dialog object of a window this framework runs, else null.
    [[nodiscard]] static DialogBase* FromWindow(HWND window) noexcept;

    // The running dialog's window; null until WM_INITDIALOG.
    [[nodiscard]] HWND Window() const noexcept { return hwnd; }
    [[nodiscard]] std::int32_t TemplateId() const noexcept { return templateId; }
    [[nodiscard]] const DialogModule& OwningModule() const noexcept { return module; }

   protected:
    // One attempt at creating and running the dialog.
    INT_PTR CreateAndRun(HWND parent) noexcept;

    const DialogModule& module;
    HWND hwnd = nullptr;
    std::int32_t templateId;

   private:
    friend INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The one dialog procedure of the module: forwards every message from WM_INITDIALOG on to the
// dialog object that RunModal passed as the creation parameter, kept in the window's DWLP_USER.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
