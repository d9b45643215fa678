// Progress bar of a filter run on stderr, fed by the plug-in's progress callback.
#pragma once

#include <cstdint>
#include <string>

#include "plugin_interface/kv_interface.h"

class ProgressBar {
   public:
    // An invisible bar takes the reports and draws nothing (--quiet, or stderr not a terminal).
    // LABEL, when given, is drawn before the bar ("[3/120] name.jpg").
    ProgressBar(bool visible, std::string label);
    ~ProgressBar();  // ends the bar's line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // True when stderr is a terminal (a console, or a tty under Wine).
    [[nodiscard]] static bool StderrIsTerminal();

    // The ProgressCallback to hand to the plug-in with UserData().
    static std::int32_t KV_STDCALL Report(std::int32_t current, std::int32_t total,
                                          std::intptr_t userData) noexcept;
    [[nodiscard]] std::intptr_t UserData() noexcept;

   private:
    void Show(int percent) noexcept;

    bool visible;
    std::string label;
    int shownPercent = -1;
};
