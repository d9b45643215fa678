// A copy of trapezoid.dll in a folder of the test program's own, whose settings file each test
// starts without.
#include "tests/win32/plugin_dll.h"

#include "settings/settings_file.h"
#include "settings/settings_rules.h"

namespace {

// The plug-in keeps itself loaded once loaded, so each folder gets one copy per process; the
// copies are removed by the next test process (test_host::RemoveStaleTempDirectories). Paths of
// any length: a folder's name may take them past MAX_PATH.
std::wstring SharedFolder(const std::wstring& name) {
    static const std::string temp = test_host::MakeTempDirectory();
    const std::wstring base(temp.begin(), temp.end());  // plain ASCII
    const std::wstring dir = name.empty() ? base : base + name + L"\\";
    CreateDirectoryW(ExtendedLengthPath(dir).c_str(), nullptr);
    CopyFileW((test_host::ProgramFolder() + L"trapezoid.dll").c_str(),
              ExtendedLengthPath(dir + L"trapezoid.dll").c_str(), /*failIfExists=*/TRUE);
    return dir;
}

void RemoveSettingsFile(const std::wstring& path) {
    const std::wstring file = ExtendedLengthPath(path);
    if (!DeleteFileW(file.c_str())) RemoveDirectoryW(file.c_str());
}

}  // namespace

void PluginDll::SetUp() {
    test_host::Reset();
    dir = SharedFolder(Folder());
    RemoveSettingsFile(Ini());
    module = LoadLibraryW(Dll().c_str());
    ASSERT_NE(module, nullptr) << test_host::Utf8(Dll());
    execute = Export<ExecuteFn>("KVF_Execute");
    getName = Export<GetNameFn>("KVF_GetName");
}

void PluginDll::TearDown() {
    if (module != nullptr) FreeLibrary(module);
    RemoveSettingsFile(Ini());
}

void PluginDll::Write(const char* key, const char* value) {
    const std::string narrow[] = {key, value};
    WritePrivateProfileStringW(
        L"Trapezoid", std::wstring(narrow[0].begin(), narrow[0].end()).c_str(),
        std::wstring(narrow[1].begin(), narrow[1].end()).c_str(), ProfilePath(Ini()).c_str());
}

void PluginDll::Settings(int shape, int difference, int mode, int transparent) {
    Write("shape", std::to_string(shape).c_str());
    Write("difference", std::to_string(difference).c_str());
    Write("undefarea", std::to_string(mode).c_str());
    Write("transparent", std::to_string(transparent).c_str());
}

INT_PTR PluginDll::Setup(const std::vector<Pixel32>& image, int w, int h, HWND parent,
                         const test_host::DialogScript& script) {
    const auto setup = Export<SetupFn>("KVF_Setup");
    return test_host::RunScripted([&] { return setup(0, parent, image.data(), w, h); }, script);
}

std::vector<Pixel32> PluginDll::Run(const std::vector<Pixel32>& source, int w, int h,
                                    SelectionRect rect, ProgressCallback progress,
                                    std::intptr_t user, std::int32_t* result) {
    std::vector<Pixel32> dest = source;
    const std::int32_t r =
        execute(0, nullptr, source.data(), dest.data(), 0, &rect, 0, w, h, progress, user);
    if (result != nullptr) *result = r;
    return dest;
}
