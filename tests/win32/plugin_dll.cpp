// A private copy of trapezoid.dll in a fresh folder, so that its settings file is the test's.
#include "tests/win32/plugin_dll.h"

void PluginDll::SetUp() {
    test_host::Reset();
    const std::string temp = test_host::MakeTempDirectory();
    base = std::wstring(temp.begin(), temp.end());  // plain ASCII
    dir = Folder().empty() ? base : base + Folder() + L"\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileW((test_host::ProgramFolder() + L"trapezoid.dll").c_str(), Dll().c_str(), FALSE))
        << test_host::Utf8(Dll());
    module = LoadLibraryW(Dll().c_str());
    ASSERT_NE(module, nullptr);
    execute = Export<ExecuteFn>("KVF_Execute");
    getName = Export<GetNameFn>("KVF_GetName");
}

void PluginDll::TearDown() {
    if (module != nullptr) FreeLibrary(module);
    if (!DeleteFileW(Ini().c_str())) RemoveDirectoryW(Ini().c_str());
    DeleteFileW(Dll().c_str());
    RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(base.c_str());
}

void PluginDll::Write(const char* key, const char* value) {
    const std::string narrow[] = {key, value};
    WritePrivateProfileStringW(
        L"Trapezoid", std::wstring(narrow[0].begin(), narrow[0].end()).c_str(),
        std::wstring(narrow[1].begin(), narrow[1].end()).c_str(), Ini().c_str());
}

void PluginDll::Settings(int shape, int difference, int mode, int transparent) {
    Write("shape", std::to_string(shape).c_str());
    Write("difference", std::to_string(difference).c_str());
    Write("undefarea", std::to_string(mode).c_str());
    Write("transparent", std::to_string(transparent).c_str());
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
