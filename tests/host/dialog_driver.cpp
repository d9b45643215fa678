// Dialog driver of the host tests: plays the user against a dialog of another process. It waits
// for a visible top-level dialog with the given caption, then types into it, clicks, drags,
// presses keys, maximises it and checks its controls, one action after the other, printing one
// line per action.
//
//   dialog_driver --caption TEXT [--timeout SECONDS] ACTION...
//
// A click that opens a modal box is posted (post-click), and the box answered with box:TEXT.
//
// Exit code 0: every action done and every check held; 1: an action failed (the message says
// what was expected and what was found); 2: bad command line, or no such dialog in time.
#include <cstdio>
#include <cwchar>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/text_encoding.h"
#include "platform/win32.h"
#include "tests/host/screen_capture.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr DWORD kPollMs = 20;
// A check may wait this long for the control to reach the value: a dialog can update its
// controls from messages it posts itself.
constexpr DWORD kCheckGraceMs = 1000;

// A failed action: exit code 1.
class ActionFailure : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// No dialog to drive, or an unusable command line: exit code 2.
class DriverError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

int ParseNumber(const std::wstring& text) {
    wchar_t* end = nullptr;
    const long number = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0') throw DriverError("invalid number \"" + Utf8(text) + "\"");
    return static_cast<int>(number);
}

// The caption of a top-level window, which the system keeps: no message goes to its process.
std::wstring CaptionOf(HWND hwnd) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return text.data();
}

struct DialogSearch {
    const std::wstring& caption;
    HWND found;
    std::string seen;  // captions of the other visible dialogs, for the timeout message
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    if (!IsWindowVisible(hwnd) || std::wcscmp(className, kDialogClass) != 0) return TRUE;
    const std::wstring caption = CaptionOf(hwnd);
    if (caption == search->caption) {
        search->found = hwnd;
        return FALSE;
    }
    search->seen += " \"" + Utf8(caption) + "\"";
    return TRUE;
}

// A message box of the driven dialog: a visible dialog that it owns.
struct BoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    if (IsWindowVisible(hwnd) && std::wcscmp(className, kDialogClass) == 0 &&
        GetWindow(hwnd, GW_OWNER) == search->owner) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Wine decodes the Unix command line with the charset of LC_CTYPE; a locale that is not installed
// leaves plain ASCII, which turns each non-ASCII byte into some other character.
bool LooksUndecoded(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c < L' ') return true;
    }
    return false;
}

class Driver;

// One action of the command line, "verb:ID=VALUE", "verb:VALUE" or "verb", parsed.
// Its step performs it and returns a note to print after its text (mostly none).
struct Action {
    std::wstring text;  // as given, for the report
    std::string (Driver::*step)(const Action& action) const = nullptr;
    UINT query = 0;  // the message whose answer an expect- action compares
    int id = 0;
    std::wstring value;
    int number = 0;
};

// The dialog being driven, and each action on it.
class Driver {
   public:
    // Waits for the dialog. Throws DriverError when it does not come.
    Driver(const std::wstring& caption, DWORD timeoutMs);

    std::string Set(const Action& action) const {  // the edit then notifies its dialog itself
        Send(Control(action.id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(action.value.c_str()));
        return {};
    }
    std::string Click(const Action& action) const {
        Send(Control(action.id), BM_CLICK, 0, 0);
        return {};
    }
    std::string PostClick(const Action& action) const {  // a click that opens a modal box
        PostMessageW(Control(action.id), BM_CLICK, 0, 0);
        return {};
    }
    std::string AnswerBox(const Action& action) const;
    std::string DoubleClick(const Action& action) const {  // in the middle of the control
        const HWND control = Control(action.id);
        RECT client{};
        GetClientRect(control, &client);
        const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
        Send(control, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
        Send(control, WM_LBUTTONUP, 0, middle);
        return {};
    }
    std::string Select(const Action& action) const;
    std::string Drag(const Action& action) const;
    std::string Maximise(const Action&) const {
        Send(dialog, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        Settle();

        return {};
    }
    std::string Key(const Action& action) const {
        PostKey(Control(action.id), static_cast<WPARAM>(action.number));
        Settle();
        return {};
    }
    std::string ExpectText(const Action& action) const {
        return Expect(action.value, [&] { return TextOf(Control(action.id)); });
    }
    std::string ExpectAnswer(
        const Action& action) const {  // check state, position, selection, count
        return Expect(action.value, [&] {
            return std::to_wstring(Send(Control(action.id), action.query, 0, 0));
        });
    }
    std::string ExpectEnabled(const Action& action) const {
        return Expect(action.value,
                      [&] { return std::to_wstring(IsWindowEnabled(Control(action.id))); });
    }
    std::string ExpectOwner(const Action& action) const;
    std::string Pause(const Action& action) const {
        Sleep(static_cast<DWORD>(action.number));
        return {};
    }
    std::string Shot(const Action& action) const;
    std::string Ok(const Action&) const { return PressAndWait(IDOK); }
    std::string Cancel(const Action&) const { return PressAndWait(IDCANCEL); }
    std::string Escape(const Action&) const {  // the dialog manager turns it into Cancel
        PostKey(FocusedControl(), VK_ESCAPE);
        return WaitUntilClosed();
    }
    std::string Close(const Action&) const {  // what the close box sends
        Send(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return WaitUntilClosed();
    }

   private:
    [[nodiscard]] HWND Control(int id) const;
    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;
    void Settle() const;
    static void PostKey(HWND target, WPARAM key);
    [[nodiscard]] HWND FocusedControl() const;
    [[nodiscard]] std::wstring TextOf(HWND control) const;
    template <typename Read>
    std::string Expect(const std::wstring& expected, Read read) const;
    std::string PressAndWait(int buttonId) const {
        Send(Control(buttonId), BM_CLICK, 0, 0);
        return WaitUntilClosed();
    }
    std::string WaitUntilClosed() const;

    DWORD timeoutMs;
    HWND dialog = nullptr;
};

// What follows an action's colon: nothing, "ID", "ID=TEXT", "ID=N", "TEXT" or "N".
enum class Form { kNone, kId, kIdText, kIdNumber, kText, kNumber };

struct Verb {
    const wchar_t* name;
    Form form;
    std::string (Driver::*step)(const Action& action) const;
    UINT query;
};

constexpr Verb kVerbs[] = {
    {L"set", Form::kIdText, &Driver::Set, 0},
    {L"click", Form::kId, &Driver::Click, 0},
    {L"post-click", Form::kId, &Driver::PostClick, 0},
    {L"box", Form::kText, &Driver::AnswerBox, 0},  // a message box's text begins so; then OK
    {L"double-click", Form::kId, &Driver::DoubleClick, 0},
    {L"select", Form::kIdNumber, &Driver::Select, 0},
    {L"key", Form::kIdNumber, &Driver::Key, 0},  // a virtual-key code
    {L"drag", Form::kIdText, &Driver::Drag, 0},  // X1,Y1,X2,Y2 from the control's centre
    {L"maximise", Form::kNone, &Driver::Maximise, 0},
    {L"expect-text", Form::kIdText, &Driver::ExpectText, 0},
    {L"expect-checked", Form::kIdNumber, &Driver::ExpectAnswer, BM_GETCHECK},
    {L"expect-enabled", Form::kIdNumber, &Driver::ExpectEnabled, 0},
    {L"expect-pos", Form::kIdNumber, &Driver::ExpectAnswer, TBM_GETPOS},
    {L"expect-sel", Form::kIdNumber, &Driver::ExpectAnswer, CB_GETCURSEL},
    {L"expect-items", Form::kIdNumber, &Driver::ExpectAnswer, CB_GETCOUNT},
    {L"expect-owner", Form::kText, &Driver::ExpectOwner, 0},  // the owner window's caption
    {L"sleep", Form::kNumber, &Driver::Pause, 0},             // milliseconds
    {L"shot", Form::kText, &Driver::Shot, 0},                 // PNG file of the dialog's pixels
    {L"ok", Form::kNone, &Driver::Ok, 0},
    {L"cancel", Form::kNone, &Driver::Cancel, 0},
    {L"escape", Form::kNone, &Driver::Escape, 0},
    {L"close", Form::kNone, &Driver::Close, 0},
};

const Verb& FindVerb(const std::wstring& text) {
    const std::wstring name = text.substr(0, text.find(L':'));
    for (const Verb& verb : kVerbs) {
        if (name == verb.name) return verb;
    }
    throw DriverError("unknown action \"" + Utf8(text) + "\"");
}

Action ParseAction(const std::wstring& text) {
    const Verb& verb = FindVerb(text);
    const std::size_t colon = text.find(L':');
    const std::wstring argument = colon == std::wstring::npos ? L"" : text.substr(colon + 1);
    const std::size_t equals = argument.find(L'=');
    const bool hasId = verb.form == Form::kIdText || verb.form == Form::kIdNumber;
    if ((verb.form == Form::kNone) != (colon == std::wstring::npos) ||
        (hasId && equals == std::wstring::npos)) {
        throw DriverError("malformed action \"" + Utf8(text) + "\"");
    }
    Action action;
    action.text = text;
    action.step = verb.step;
    action.query = verb.query;
    action.value = hasId ? argument.substr(equals + 1) : argument;
    if (hasId) action.id = ParseNumber(argument.substr(0, equals));
    if (verb.form == Form::kId) action.id = ParseNumber(argument);
    if (verb.form == Form::kIdNumber || verb.form == Form::kNumber) {
        action.number = ParseNumber(action.value);
    }
    return action;
}

Driver::Driver(const std::wstring& caption, DWORD timeout) : timeoutMs(timeout) {
    DialogSearch search{caption, nullptr, {}};
    for (const DWORD start = GetTickCount(); search.found == nullptr; Sleep(kPollMs)) {
        if (GetTickCount() - start > timeoutMs) {
            throw DriverError(
                "no visible dialog \"" + Utf8(caption) + "\" after " +
                std::to_string(timeoutMs / 1000) +
                " s (visible dialogs:" + (search.seen.empty() ? " none" : search.seen) + ")" +
                (LooksUndecoded(caption) ? "; the caption was not decoded: set LC_CTYPE=C.UTF-8"
                                         : ""));
        }
        search.seen.clear();
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    }
    dialog = search.found;
}

HWND Driver::Control(int id) const {
    const HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) throw ActionFailure("the dialog has no control " + std::to_string(id));
    return control;
}

// Sends a message and waits for its answer; a dialog busy for the whole timeout fails.
LRESULT Driver::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result)) {
        throw ActionFailure("no answer to message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

// Gives the dialog's thread the time to handle what was posted to it: each answered message
// means one more pass of its message loop.
void Driver::Settle() const {
    for (int round = 0; round < 3; ++round) {
        Send(dialog, WM_NULL, 0, 0);
        Sleep(kPollMs);
    }
}

// Posts a key press as the keyboard delivers it, through the dialog's message loop, where the
// dialog manager sees it first (Escape, Enter, Tab) and the control gets the rest.
void Driver::PostKey(HWND target, WPARAM key) {
    const auto scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
    PostMessageW(target, WM_KEYDOWN, key, 1 | scan << 16);
    PostMessageW(target, WM_KEYUP, key, 1 | scan << 16 | LPARAM{3} << 30);
}

// The control that has the keyboard focus in the dialog's thread; the dialog when none has.
HWND Driver::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
        info.hwndFocus != nullptr && IsChild(dialog, info.hwndFocus)) {
        return info.hwndFocus;
    }
    return dialog;
}

// A control's text asks the control itself: an edit keeps its text apart from the window's.
std::wstring Driver::TextOf(HWND control) const {
    const auto length = static_cast<std::size_t>(Send(control, WM_GETTEXTLENGTH, 0, 0));
    std::vector<wchar_t> text(length + 1, L'\0');
    Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

template <typename Read>
std::string Driver::Expect(const std::wstring& expected, Read read) const {
    std::wstring got = read();
    for (const DWORD start = GetTickCount();
         got != expected && GetTickCount() - start < kCheckGraceMs; got = read()) {
        Sleep(kPollMs);
    }
    if (got != expected) {
        throw ActionFailure("expected \"" + Utf8(expected) + "\", got \"" + Utf8(got) + "\"");
    }
    return {};
}

std::string Driver::WaitUntilClosed() const {
    for (const DWORD start = GetTickCount(); IsWindow(dialog); Sleep(kPollMs)) {
        if (GetTickCount() - start > timeoutMs) throw ActionFailure("the dialog is still open");
    }
    return {};
}

// A message box over the dialog (owned by it): its text must begin with the action's, and the
// user presses its default button. Prints the box's caption.
std::string Driver::AnswerBox(const Action& action) const {
    BoxSearch search{dialog, nullptr};
    for (const DWORD start = GetTickCount(); search.found == nullptr; Sleep(kPollMs)) {
        if (GetTickCount() - start > timeoutMs) throw ActionFailure("no message box came");
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    }
    constexpr int kBoxTextId = 0xFFFF;  // the static control of a message box's text
    const HWND text = GetDlgItem(search.found, kBoxTextId);
    const std::wstring shown = text != nullptr ? TextOf(text) : L"(no text)";
    if (shown.compare(0, action.value.size(), action.value) != 0) {
        throw ActionFailure("expected a box saying \"" + Utf8(action.value) + "\", got \"" +
                            Utf8(shown) + "\"");
    }
    const std::string caption = Utf8(CaptionOf(search.found));
    const auto defaultId = static_cast<int>(LOWORD(Send(search.found, DM_GETDEFID, 0, 0)));
    const HWND button = GetDlgItem(search.found, defaultId != 0 ? defaultId : IDOK);
    if (button == nullptr) throw ActionFailure("the box has no button to press");
    PostMessageW(button, BM_CLICK, 0, 0);
    for (const DWORD start = GetTickCount(); IsWindow(search.found); Sleep(kPollMs)) {
        if (GetTickCount() - start > timeoutMs) throw ActionFailure("the box is still open");
    }
    Settle();
    return "\"" + caption + "\"";
}

// As a choice in the list: the selection changes, then the dialog hears of it.
std::string Driver::Select(const Action& action) const {
    const HWND combo = Control(action.id);
    Send(combo, CB_SETCURSEL, static_cast<WPARAM>(action.number), 0);
    Send(dialog, WM_COMMAND, MAKEWPARAM(action.id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return {};
}

// The window that owns the dialog, which must be shown.
std::string Driver::ExpectOwner(const Action& action) const {
    return Expect(action.value, [&] {
        const HWND owner = GetWindow(dialog, GW_OWNER);
        if (owner == nullptr) return std::wstring(L"(no owner)");
        return IsWindowVisible(owner) ? CaptionOf(owner) : L"(hidden) " + CaptionOf(owner);
    });
}

// The dialog as the screen shows it, into a PNG file (a relative path or a Unix one, which
// Wine resolves on the current drive, the Unix root's when started from a Unix directory).
// A left drag across a control, in four moves, as the mouse sends it to the control under it.
std::string Driver::Drag(const Action& action) const {
    int at[4] = {};
    if (std::swscanf(action.value.c_str(), L"%d,%d,%d,%d", &at[0], &at[1], &at[2], &at[3]) != 4) {
        throw DriverError("a drag wants X1,Y1,X2,Y2, not \"" + Utf8(action.value) + "\"");
    }
    const HWND control = Control(action.id);
    RECT client{};
    GetClientRect(control, &client);
    const auto point = [&](int x, int y) {
        return MAKELPARAM(client.right / 2 + x, client.bottom / 2 + y);
    };
    Send(control, WM_LBUTTONDOWN, MK_LBUTTON, point(at[0], at[1]));
    for (int step = 1; step <= 4; ++step) {
        Send(control, WM_MOUSEMOVE, MK_LBUTTON,
             point(at[0] + (at[2] - at[0]) * step / 4, at[1] + (at[3] - at[1]) * step / 4));
    }
    Send(control, WM_LBUTTONUP, 0, point(at[2], at[3]));
    Settle();
    return {};
}

std::string Driver::Shot(const Action& action) const {
    Settle();
    RECT window{};
    GetWindowRect(dialog, &window);
    // A maximised dialog's border lies beyond the screen: only what the screen shows.
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT rect{};
    IntersectRect(&rect, &window, &screen);
    try {
        const RgbaImage image = CaptureScreen(rect);
        WriteRgbaPng(Utf8(action.value), image);
        return std::to_string(image.width) + "x" + std::to_string(image.height);
    } catch (const std::runtime_error& error) {
        throw ActionFailure(error.what());
    }
}

struct Options {
    std::wstring caption;
    DWORD timeoutMs = 20000;
    std::vector<Action> actions;
};

// Options and actions come from the UTF-16 command line, so a caption in any script survives.
Options ParseOptions() {
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!argv) throw DriverError("cannot read the command line");
    Options options;
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = argv.get()[i];
        if (argument == L"--caption" && i + 1 < count) {
            options.caption = argv.get()[++i];
        } else if (argument == L"--timeout" && i + 1 < count) {
            options.timeoutMs = static_cast<DWORD>(ParseNumber(argv.get()[++i])) * 1000;
        } else {
            options.actions.push_back(ParseAction(argument));
        }
    }
    if (options.caption.empty()) {
        throw DriverError("usage: dialog_driver --caption TEXT [--timeout SECONDS] ACTION...");
    }
    return options;
}

}  // namespace

int main() {
    BinaryStandardStreams();
    std::wstring current;
    try {
        const Options options = ParseOptions();
        const Driver driver(options.caption, options.timeoutMs);
        for (const Action& action : options.actions) {
            current = action.text;
            const std::string detail = (driver.*action.step)(action);
            WriteUtf8(stdout, Utf8(action.text) + (detail.empty() ? "" : " " + detail) + "\n");
            std::fflush(stdout);
        }
        return 0;
    } catch (const ActionFailure& failure) {
        WriteUtf8(stderr, "dialog_driver: " + Utf8(current) + ": " + failure.what() + "\n");
        return 1;
    } catch (const std::exception& error) {
        WriteUtf8(stderr, std::string("dialog_driver: ") + error.what() + "\n");
        return 2;
    }
}
