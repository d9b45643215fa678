// Wide-character text for the window and file functions: the module's own texts, which are
// Shift-JIS (code page 932, ASCII included), and file names of any script.
#include "platform/wide_text.h"

#include <vector>

namespace {

// The longest path the wide-character file functions accept.
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::wstring WideFromShiftJis(const char* text) {
    if (text == nullptr || text[0] == '\0') return {};
    const int length = MultiByteToWideChar(kShiftJisCodePage, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::vector<wchar_t> wide(static_cast<std::size_t>(length));
    MultiByteToWideChar(kShiftJisCodePage, 0, text, -1, wide.data(), length);
    return wide.data();
}

std::wstring ModuleFileName(HMODULE module) {
    // A name that fills the buffer may have been cut: try again with a larger one.
    for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
        std::vector<wchar_t> name(size);
        const DWORD length = GetModuleFileNameW(module, name.data(), size);
        if (length == 0) return {};
        if (length < size) return std::wstring(name.data(), length);
    }
    return {};
}
