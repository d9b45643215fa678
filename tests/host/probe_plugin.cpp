// Probe plug-in for the kvhost tests: two filters whose output shows exactly what the host passed
// in and answered (pixels, rectangle, colours, mask), plus an error message box on demand.
//
// Filter 0 ("Probe|試験" / "Channel probe...|チャンネル検査..."), inside the rectangle:
//   first row      -> the host's foreground colour (code 1)
//   last row       -> the host's background colour (code 3)
//   other rows     -> source with channels rotated: red <- green, green <- blue, blue <- red;
//                     alpha <- 255 - mask byte when the host gives a mask (code 4), else kept.
//   A 1x1 rectangle instead announces (code 5) and shows an error message box, writing nothing.
// Filter 1 ("Probe" / "Invert"): source with red, green and blue inverted inside the rectangle.
//
// Setup shows a small modal dialog owned by the host's window (caption "Probe setup", for filter 1
// "プローブ設定"). Its edit 1001 starts as what the host passed and answers: image size, first
// pixel, foreground, background and first mask byte ("3x2 c8010203 fg ff000000 bg ffffffff mask
// none"); a slider, a combo box and a check box that the combo enables give a test every kind of
// control to drive. OK returns 1, Cancel 0; OK with the text "box" shows an error box instead.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "plugin_interface/kv_interface.h"
#include "transform/pixel.h"

#include <commctrl.h>

namespace {

constexpr std::int32_t kFilterCount = 2;
constexpr char kInformation[] = "kvhost probe plug-in 1.0";
// Shift-JIS texts: "Probe|試験", "Channel probe...|チャンネル検査...", "選択範囲が小さすぎます".
constexpr char kProbeCategory[] = "Probe|\x8e\x8e\x8c\xb1";
constexpr char kProbeName[] =
    "Channel probe...|\x83\x60\x83\x83\x83\x93\x83\x6c\x83\x8b\x8c\x9f\x8d\xb8...";
constexpr char kTooSmallMessage[] =
    "\x91\x49\x91\xf0\x94\xcd\x88\xcd\x82\xaa\x8f\xac\x82\xb3\x82\xb7\x82\xac\x82\xdc\x82\xb7";

// Bounded copy: the text and its terminator up to the length, zero-filled; no terminator when
// the text fills the buffer.
void BoundedCopy(char* buffer, std::int32_t length, const char* text) {
    if (buffer == nullptr || length <= 0) return;
    const std::size_t size = static_cast<std::size_t>(length);
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text, std::min(std::strlen(text) + 1, size));
}

// The host's service, found on the running executable as a plug-in finds it.
std::int32_t QueryHost(std::int32_t code, void* data) {
    char exePath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    const HMODULE host = LoadLibraryA(exePath);
    if (host == nullptr) return 0;
    const FARPROC address = GetProcAddress(host, "KVF_QueryClientInfo");
    std::int32_t result = 0;
    if (address != nullptr) {
        result = reinterpret_cast<QueryClientInfoFn>(reinterpret_cast<void*>(address))(code, data);
    }
    FreeLibrary(host);
    return result;
}

Pixel32 Rotated(Pixel32 source, Pixel32 alpha) {
    return Channel(source, 2) | Channel(source, 0) << 8 | Channel(source, 1) << 16 | alpha << 24;
}

void ShowTooSmall(HWND parent) {
    const std::int32_t notice = QueryHost(ClientInfoBeforeMessage, nullptr);
    char text[128];
    std::snprintf(text, sizeof text, "%s (notice %d)", kTooSmallMessage, static_cast<int>(notice));
    MessageBoxA(parent, text, "error", MB_ICONERROR);
}

// An in-memory dialog template: header, then controls, each aligned to a double word.
class DialogTemplate {
   public:
    DialogTemplate(const wchar_t* caption, short width, short height) {
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        Add(LOWORD(style), HIWORD(style), 0, 0, /*items=*/0, 0, 0, width, height);
        Add(0, 0);  // no menu, the standard dialog class
        AddText(caption);
        Add(8);  // font size in points, then its face
        AddText(L"MS Shell Dlg");
    }

    void AddControl(const wchar_t* className, WORD id, DWORD style, short x, short y, short width,
                    short height, const wchar_t* text) {
        if (words.size() % 2 != 0) Add(0);
        style |= WS_CHILD | WS_VISIBLE;
        Add(LOWORD(style), HIWORD(style), 0, 0, x, y, width, height, id);
        AddText(className);
        AddText(text);
        Add(0);  // no creation data
        ++words[kItemCountIndex];
    }

    [[nodiscard]] const DLGTEMPLATE* Get() const {
        return reinterpret_cast<const DLGTEMPLATE*>(words.data());
    }

   private:
    static constexpr std::size_t kItemCountIndex = 4;

    template <typename... Words>
    void Add(Words... values) {
        (words.push_back(static_cast<WORD>(values)), ...);
    }
    void AddText(const wchar_t* text) {
        for (; *text != L'\0'; ++text) Add(*text);
        Add(0);
    }

    std::vector<WORD> words;
};

// Controls of the setup dialog.
constexpr WORD kLabelId = 0xFFFF;  // the id that message boxes give their text
constexpr WORD kEditId = 1001;
constexpr WORD kSliderId = 1003;  // 0..10, starts at 5
constexpr WORD kComboId = 1004;   // "one", "two", "three"; starts on "one"
constexpr WORD kCheckId = 1005;   // enabled while the combo is not on "one"

// What the host passed and answers, as one line of text.
std::string SetupText(const Pixel32* pixels, std::int32_t width, std::int32_t height) {
    Pixel32 foreground = 0x12345678u;
    Pixel32 background = 0x12345678u;
    const std::uint8_t* mask = nullptr;
    QueryHost(ClientInfoForeground, &foreground);
    QueryHost(ClientInfoBackground, &background);
    char maskText[8] = "none";
    if (QueryHost(ClientInfoSelectionMask, &mask) != 0 && mask != nullptr) {
        std::snprintf(maskText, sizeof maskText, "%02x", mask[0]);
    }
    const unsigned first = pixels != nullptr && width > 0 && height > 0 ? pixels[0] : 0u;
    char text[128];
    std::snprintf(text, sizeof text, "%dx%d %08x fg %08x bg %08x mask %s", static_cast<int>(width),
                  static_cast<int>(height), first, static_cast<unsigned>(foreground),
                  static_cast<unsigned>(background), maskText);
    return text;
}

void OnSetupInit(HWND dialog, const char* text) {
    SetDlgItemTextA(dialog, kEditId, text);
    SendDlgItemMessageA(dialog, kSliderId, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    SendDlgItemMessageA(dialog, kSliderId, TBM_SETPOS, TRUE, 5);
    for (const char* item : {"one", "two", "three"}) {
        SendDlgItemMessageA(dialog, kComboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendDlgItemMessageA(dialog, kComboId, CB_SETCURSEL, 0, 0);
}

void OnSetupOk(HWND dialog) {
    char text[16] = {};
    GetDlgItemTextA(dialog, kEditId, text, static_cast<int>(sizeof text));
    if (std::strcmp(text, "box") != 0) {
        EndDialog(dialog, 1);
        return;
    }
    QueryHost(ClientInfoBeforeMessage, nullptr);
    MessageBoxA(dialog, "probe setup refused \"box\"", "error", MB_ICONERROR);
}

void OnSetupCommand(HWND dialog, WORD id, WORD code) {
    if (id == IDOK) OnSetupOk(dialog);
    if (id == IDCANCEL) EndDialog(dialog, 0);
    if (id == kComboId && code == CBN_SELCHANGE) {
        const LRESULT selection = SendDlgItemMessageA(dialog, kComboId, CB_GETCURSEL, 0, 0);
        EnableWindow(GetDlgItem(dialog, kCheckId), selection != 0);
    }
}

INT_PTR CALLBACK SetupProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnSetupInit(dialog, reinterpret_cast<const char*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnSetupCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

std::int32_t ShowSetupDialog(std::int32_t index, HWND parent, const std::string& text) {
    DialogTemplate dialog(index == 0 ? L"Probe setup" : L"プローブ設定", 200, 84);
    dialog.AddControl(L"STATIC", kLabelId, SS_LEFT, 7, 9, 40, 10, L"Image:");
    dialog.AddControl(L"EDIT", kEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 50, 7, 143, 14,
                      L"");
    dialog.AddControl(TRACKBAR_CLASSW, kSliderId, TBS_HORZ | TBS_AUTOTICKS | WS_TABSTOP, 7, 26, 90,
                      16, L"");
    dialog.AddControl(L"COMBOBOX", kComboId, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 103, 27,
                      50, 60, L"");
    dialog.AddControl(L"BUTTON", kCheckId, BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED, 159, 28, 34,
                      10, L"Option");
    dialog.AddControl(L"BUTTON", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 62, 50, 14, L"OK");
    dialog.AddControl(L"BUTTON", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 143, 62, 50, 14, L"Cancel");
    HINSTANCE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const char*>(&SetupProcedure), &module);
    const INT_PTR result = DialogBoxIndirectParamA(module, dialog.Get(), parent, SetupProcedure,
                                                   reinterpret_cast<LPARAM>(text.c_str()));
    return static_cast<std::int32_t>(result);
}

void ProbeRow(const Pixel32* source, Pixel32* destination, const SelectionRect& rect,
              std::int32_t y, std::int32_t width, const std::uint8_t* mask) {
    Pixel32 foreground = 0x12345678u;
    Pixel32 background = 0x12345678u;
    QueryHost(ClientInfoForeground, &foreground);
    QueryHost(ClientInfoBackground, &background);
    for (std::int32_t x = rect.left; x < rect.right; ++x) {
        const std::ptrdiff_t i = PixelIndex(x, y, width);
        const Pixel32 alpha = mask != nullptr ? 255u - mask[i] : Channel(source[i], 3);
        destination[i] = y == rect.top          ? foreground
                         : y == rect.bottom - 1 ? background
                                                : Rotated(source[i], alpha);
    }
}

void InvertRow(const Pixel32* source, Pixel32* destination, const SelectionRect& rect,
               std::int32_t y, std::int32_t width) {
    for (std::int32_t x = rect.left; x < rect.right; ++x) {
        const std::ptrdiff_t i = PixelIndex(x, y, width);
        destination[i] = source[i] ^ 0x00FFFFFFu;
    }
}

}  // namespace

extern "C" std::int16_t KV_STDCALL KV_GetPluginInfo(char* buffer, std::int32_t length) {
    BoundedCopy(buffer, length, kInformation);
    return 1;
}

extern "C" std::int32_t KV_STDCALL KVF_FilterCount() { return kFilterCount; }

extern "C" char* KV_STDCALL KVF_GetName(std::int32_t index, char* category,
                                        std::int32_t categoryLength, char* name,
                                        std::int32_t nameLength) {
    BoundedCopy(category, categoryLength, index == 0 ? kProbeCategory : "Probe");
    BoundedCopy(name, nameLength, index == 0 ? kProbeName : "Invert");
    return name;
}

extern "C" std::int32_t KV_STDCALL KVF_Setup(std::int32_t index, void* parent,
                                             const Pixel32* pixels, std::int32_t width,
                                             std::int32_t height) {
    if (index < 0 || index >= kFilterCount) return 0;
    return ShowSetupDialog(index, static_cast<HWND>(parent), SetupText(pixels, width, height));
}

extern "C" std::int32_t KV_STDCALL KVF_Execute(std::int32_t index, void* parent,
                                               const Pixel32* source, Pixel32* destination,
                                               std::int32_t, const SelectionRect* rect,
                                               std::int32_t, std::int32_t width, std::int32_t,
                                               ProgressCallback progress, std::intptr_t userData) {
    if (progress != nullptr) progress(0, 100, userData);
    if (rect->right - rect->left == 1 && rect->bottom - rect->top == 1) {
        ShowTooSmall(static_cast<HWND>(parent));
        return progress != nullptr ? progress(100, 100, userData) : 0;
    }
    const std::uint8_t* mask = nullptr;
    if (QueryHost(ClientInfoSelectionMask, &mask) == 0) mask = nullptr;
    const std::int32_t rows = rect->bottom - rect->top;
    for (std::int32_t y = rect->top; y < rect->bottom; ++y) {
        if (index == 0) ProbeRow(source, destination, *rect, y, width, mask);
        if (index == 1) InvertRow(source, destination, *rect, y, width);
        if (progress != nullptr) progress((y - rect->top) * 100 / rows, 100, userData);
    }
    return progress != nullptr ? progress(100, 100, userData) : 0;
}
