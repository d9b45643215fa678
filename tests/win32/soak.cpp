// Soak: the plug-in used for a long session in one process, as a host would use it: setup
// dialogs driven by a user, runs on a large image, and the DLL unloaded and reloaded, with the
// process's handles, windows, GDI objects and private bytes measured after a warm-up and at
// the end. Any growth fails the run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "plugin_interface/kv_interface.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/soak_counts.h"
#include "tests/win32/test_host.h"

namespace {

constexpr int kWarmUpCycles = 10;
// Private bytes move a little with the heaps' own bookkeeping (under 200 KiB over the long run
// here); a buffer of the image's size leaked once passes this bound many times over.
constexpr std::int64_t kPrivateBytesBound = 1024 * 1024;
constexpr int kWidth = 2000;
constexpr int kHeight = 1500;

struct Plan {
    int dialogs = 300;
    int runs = 300;
    int reloads = 200;
    std::string leak;
};

// The plug-in DLL, copied into a folder of its own so that its settings file is the soak's.
class Plugin {
   public:
    explicit Plugin(std::wstring dllPath) : path(std::move(dllPath)) { Load(); }
    ~Plugin() {
        if (module != nullptr) FreeLibrary(module);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    void Reload() {
        FreeLibrary(module);
        Load();
    }
    template <class Fn>
    Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    [[nodiscard]] bool Loaded() const { return module != nullptr; }

   private:
    void Load() { module = LoadLibraryW(path.c_str()); }
    std::wstring path;
    HMODULE module = nullptr;
};

std::wstring g_ini;

void WriteSetting(const wchar_t* key, int value) {
    WritePrivateProfileStringW(L"Trapezoid", key, std::to_wstring(value).c_str(), g_ini.c_str());
}

// A drag across the canvas from (x, y) by (dx, dy), in four steps, painting after each.
void DragCanvas(HWND canvas, int x, int y, int dx, int dy) {
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    for (int step = 1; step <= 4; ++step) {
        SendMessageW(canvas, WM_MOUSEMOVE, MK_LBUTTON,
                     MAKELPARAM(x + dx * step / 4, y + dy * step / 4));
        UpdateWindow(canvas);
    }
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y + dy));
}

// A key pressed and let go on the canvas.
void PressKey(HWND canvas, WPARAM key) {
    SendMessageW(canvas, WM_KEYDOWN, key, 1);
    UpdateWindow(canvas);
    SendMessageW(canvas, WM_KEYUP, key, 0xC0000001);
}

// The dialog grown, its guides drawn, one removed and drawn again, straightened along and seen
// before the correction, then shrunk back.
void ResizeAndGuides(HWND dialog, HWND canvas) {
    RECT frame{};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + 300,
                 frame.bottom - frame.top + 200, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(canvas);
    PressKey(canvas, 'D');
    DragCanvas(canvas, 40, 20, 10, 150);
    // The guide under the pointer removed with Delete, and drawn again.
    POINT middle{45, 95};
    ClientToScreen(canvas, &middle);
    SetCursorPos(middle.x, middle.y);
    PressKey(canvas, VK_DELETE);
    DragCanvas(canvas, 40, 20, 10, 150);
    DragCanvas(canvas, 300, 20, -10, 150);
    PressKey(canvas, 'A');
    PressKey(canvas, 'B');
    PressKey(canvas, 'D');
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(canvas);
}

// A user at the dialog: shape, difference, fill and transparency changed, preview on, the image
// dragged across the preview, the dialog resized with guides drawn, then OK or Cancel in turn.
void DriveDialog(HWND dialog, int cycle) {
    test_host::Click(dialog, 1065 + cycle % 6);
    test_host::SetText(dialog, 1059, std::to_string(cycle % 2 ? 45 - cycle % 90 : -60).c_str());
    test_host::SelectEntry(dialog, 1064, cycle % 6);
    test_host::Click(dialog, 1062);
    if (IsDlgButtonChecked(dialog, 1006) != BST_CHECKED) test_host::Click(dialog, 1006);
    const HWND canvas = GetDlgItem(dialog, 1005);
    DragCanvas(canvas, 60, 60, -60, -36);
    ResizeAndGuides(dialog, canvas);
    test_host::PumpMessages();
    test_host::Click(dialog, cycle % 2 ? IDOK : IDCANCEL);
}

void Dialog(const Plugin& plugin, const std::vector<Pixel32>& image, int cycle) {
    const auto setup = plugin.Export<SetupFn>("KVF_Setup");
    test_host::RunScripted([&] { return setup(0, nullptr, image.data(), kWidth, kHeight); },
                           [&](HWND dialog) { DriveDialog(dialog, cycle); });
}

void Execute(const Plugin& plugin, const std::vector<Pixel32>& image, std::vector<Pixel32>& out,
             int cycle) {
    WriteSetting(L"shape", cycle % 6);
    WriteSetting(L"difference", cycle % 3 ? 70 - cycle % 140 : 100);
    WriteSetting(L"undefarea", (cycle + cycle / 6) % 6);  // every fill within the warm-up
    WriteSetting(L"transparent", cycle % 2);
    const int inset = (cycle * 37) % 400;
    const SelectionRect rect{inset, inset / 2, kWidth - inset / 3, kHeight - inset};
    const auto execute = plugin.Export<ExecuteFn>("KVF_Execute");
    execute(0, nullptr, image.data(), out.data(), 0, &rect, 0, kWidth, kHeight, nullptr, 0);
}

// Unloads and reloads the DLL, then calls every export that needs no window.
void Reload(Plugin& plugin) {
    plugin.Reload();
    char text[256];
    plugin.Export<GetPluginInfoFn>("KV_GetPluginInfo")(text, sizeof text);
    char category[64];
    plugin.Export<GetNameFn>("KVF_GetName")(0, category, 64, text, 64);
    plugin.Export<FilterCountFn>("KVF_FilterCount")();
    std::vector<Pixel32> small(16 * 8, 0xFF445566u);
    std::vector<Pixel32> out = small;
    const SelectionRect rect{0, 0, 16, 8};
    plugin.Export<ExecuteFn>("KVF_Execute")(0, nullptr, small.data(), out.data(), 0, &rect, 0, 16,
                                            8, nullptr, 0);
}

std::vector<Pixel32> SoakImage() {
    std::vector<Pixel32> image(static_cast<std::size_t>(kWidth) * kHeight);
    for (std::size_t i = 0; i < image.size(); ++i) {
        const auto x = static_cast<std::uint32_t>(i % kWidth);
        const auto y = static_cast<std::uint32_t>(i / kWidth);
        image[i] = 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x ^ y) & 0xFF);
    }
    return image;
}

// Every dialog, run and reload in cycles; the counts after the warm-up and at the end.
int Soak(const Plan& plan, const std::wstring& dll) {
    Plugin plugin(dll);
    if (!plugin.Loaded()) {
        std::fprintf(stderr, "soak: cannot load the plug-in\n");
        return 2;
    }
    const std::vector<Pixel32> image = SoakImage();
    std::vector<Pixel32> out = image;
    const int cycles = std::max({plan.dialogs, plan.runs, plan.reloads});
    ResourceCounts before;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == kWarmUpCycles) before = MeasureResources();
        if (cycle < plan.dialogs) Dialog(plugin, image, cycle);
        if (cycle < plan.runs) Execute(plugin, image, out, cycle);
        if (cycle < plan.reloads) Reload(plugin);
        LeakOnPurpose(plan.leak);
    }
    test_host::PumpMessages();
    const ResourceCounts after = MeasureResources();
    const ResourceCounts grown{after.handles - before.handles, after.windows - before.windows,
                               after.gdi - before.gdi, after.privateBytes - before.privateBytes};
    std::printf(
        "soak: %d dialogs, %d runs, %d reloads; handles %+lld, windows %+lld, GDI %+lld, "
        "private bytes %+lld KiB\n",
        plan.dialogs, plan.runs, plan.reloads, static_cast<long long>(grown.handles),
        static_cast<long long>(grown.windows), static_cast<long long>(grown.gdi),
        static_cast<long long>(grown.privateBytes / 1024));
    const bool grew = grown.handles > 0 || grown.windows > 0 || grown.gdi > 0 ||
                      grown.privateBytes > kPrivateBytesBound;
    if (grew) std::fprintf(stderr, "soak: FAILED, something grew\n");
    return grew ? 1 : 0;
}

}  // namespace

// soak [--short] [--dialogs=N] [--runs=N] [--reloads=N] [--leak=KIND]: --short runs 30 of each;
// --leak makes the run leak one object of KIND a cycle (handle, window, gdi, memory), to prove
// that the soak notices.
int main(int argc, char** argv) {
    Plan plan;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--short") plan = Plan{30, 30, 30, plan.leak};
        if (arg.rfind("--leak=", 0) == 0) plan.leak = arg.substr(7);
        if (arg.rfind("--dialogs=", 0) == 0) plan.dialogs = std::atoi(arg.c_str() + 10);
        if (arg.rfind("--runs=", 0) == 0) plan.runs = std::atoi(arg.c_str() + 7);
        if (arg.rfind("--reloads=", 0) == 0) plan.reloads = std::atoi(arg.c_str() + 10);
    }
    test_host::WatchMessageBoxes();
    const std::string temp = test_host::MakeTempDirectory();
    const std::wstring folder(temp.begin(), temp.end());  // plain ASCII
    const std::wstring dll = folder + L"trapezoid.dll";
    g_ini = folder + L"vxfilters.ini";
    if (!CopyFileW((test_host::ProgramFolder() + L"trapezoid.dll").c_str(), dll.c_str(), FALSE)) {
        std::fprintf(stderr, "soak: cannot copy the plug-in\n");
        return 2;
    }
    const int result = Soak(plan, dll);
    DeleteFileW(dll.c_str());
    DeleteFileW(g_ini.c_str());
    RemoveDirectoryW(folder.c_str());
    return result;
}
