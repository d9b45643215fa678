// Progress bar of a filter run on stderr, fed by the plug-in's progress callback.
#include "host/progress_bar.h"

#include <io.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar(bool isVisible, std::string barLabel)
    : visible(isVisible), label(barLabel.empty() ? barLabel : barLabel + " ") {}

ProgressBar::~ProgressBar() {
    if (visible && shownPercent >= 0) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
    }
}

bool ProgressBar::StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::intptr_t ProgressBar::UserData() noexcept { return reinterpret_cast<std::intptr_t>(this); }

// The result is 0 (go on); the plug-in does not take it as a request to stop either way.
std::int32_t KV_STDCALL ProgressBar::Report(std::int32_t current, std::int32_t total,
                                            std::intptr_t userData) noexcept {
    auto* bar = reinterpret_cast<ProgressBar*>(userData);
    if (bar == nullptr || total <= 0) return 0;
    const std::int64_t clamped = current < 0 ? 0 : (current > total ? total : current);
    bar->Show(static_cast<int>(clamped * 100 / total));
    return 0;
}

void ProgressBar::Show(int percent) noexcept {
    if (!visible || percent == shownPercent) return;
    shownPercent = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\rkvhost: %s[%s] %3d%%", label.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
}
