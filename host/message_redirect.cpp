// The plug-in's message boxes answered in-process: its imports of the message-box functions are
// pointed at kvhost's own, which print the box and answer it without creating a window, so that
// an unattended run needs no display and cannot lose a box.
#include "host/message_redirect.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "host/text_encoding.h"

namespace {

int& ReportCounter() noexcept {
    static int count = 0;
    return count;
}

// The button that Enter would press: the default one of the box's button set.
int DefaultButton(UINT type) {
    static constexpr int kButtons[][3] = {
        {IDOK, IDOK, IDOK},                 // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},         // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},       // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},            // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},                // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},      // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}  // MB_CANCELTRYCONTINUE
    };
    const UINT set = type & MB_TYPEMASK;
    const UINT position = std::min<UINT>((type & MB_DEFMASK) >> 8, 2);
    return set < std::size(kButtons) ? kButtons[set][position] : IDOK;
}

// A null caption is shown by the system as "Error".
std::string Ansi(const char* text, const char* fallback) {
    return PluginTextToUtf8(text != nullptr ? text : fallback);
}

std::string Wide(const wchar_t* text, const char* fallback) {
    return text != nullptr ? WideToUtf8(text) : fallback;
}

int WINAPI AnswerA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    ReportMessageBox(Ansi(caption, "Error"), Ansi(text, ""));
    return DefaultButton(type);
}

int WINAPI AnswerW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    ReportMessageBox(Wide(caption, "Error"), Wide(text, ""));
    return DefaultButton(type);
}

int WINAPI AnswerExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    return AnswerA(owner, text, caption, type);
}

int WINAPI AnswerExW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type, WORD) {
    return AnswerW(owner, text, caption, type);
}

struct Replacement {
    const char* name;
    void* function;
};

const Replacement kReplacements[] = {
    {"MessageBoxA", reinterpret_cast<void*>(AnswerA)},
    {"MessageBoxW", reinterpret_cast<void*>(AnswerW)},
    {"MessageBoxExA", reinterpret_cast<void*>(AnswerExA)},
    {"MessageBoxExW", reinterpret_cast<void*>(AnswerExW)},
};

// The replacement for the function a slot holds, or null.
void* ReplacementFor(void* current) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    for (const Replacement& replacement : kReplacements) {
        const FARPROC original = user32 ? GetProcAddress(user32, replacement.name) : nullptr;
        if (original != nullptr && current == reinterpret_cast<void*>(original)) {
            return replacement.function;
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, previous, &previous);
}

}  // namespace

void ReportMessageBox(const std::string& caption, const std::string& text) {
    WriteUtf8(stderr, "kvhost: message box \"" + OneLine(caption) + "\": " + OneLine(text) + "\n");
    std::fflush(stderr);
    ++ReportCounter();
}

int ReportedMessageBoxCount() noexcept { return ReportCounter(); }

// Every import of the module, whoever it names, is bound in its import address table; a slot that
// holds one of user32's message-box functions gets kvhost's answer instead.
MessageBoxRedirect::MessageBoxRedirect(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (module == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        for (auto** slot = reinterpret_cast<void**>(base + entry->FirstThunk); *slot != nullptr;
             ++slot) {
            if (void* replacement = ReplacementFor(*slot)) {
                patched.emplace_back(slot, *slot);
                WriteSlot(slot, replacement);
            }
        }
    }
}

MessageBoxRedirect::~MessageBoxRedirect() {
    for (const auto& [slot, original] : patched) WriteSlot(slot, original);
}
