// A copy of trapezoid.dll in a folder of the test program's own, whose settings file each test
// starts without.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "plugin_interface/kv_interface.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/test_host.h"

class PluginDll : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;
    // The name of the folder the copy lies in, inside the program's temporary directory; "" for
    // the directory itself.
    virtual std::wstring Folder() const { return L""; }

    template <class Fn>
    Fn Export(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    std::wstring Dll() const { return dir + L"trapezoid.dll"; }
    std::wstring Ini() const { return dir + L"vxfilters.ini"; }
    void Write(const char* key, const char* value);
    void Settings(int shape, int difference, int mode, int transparent);
    // Opens filter 0's setup dialog through KVF_Setup over `image` and plays `script` on it.
    INT_PTR Setup(const std::vector<Pixel32>& image, int w, int h, HWND parent,
                  const test_host::DialogScript& script);
    INT_PTR Setup(const std::vector<Pixel32>& image, int w, int h,
                  const test_host::DialogScript& script) {
        return Setup(image, w, h, nullptr, script);
    }
    // Runs filter 0 over the whole of `source`; the destination starts as a copy.
    std::vector<Pixel32> Run(const std::vector<Pixel32>& source, int w, int h, SelectionRect rect,
                             ProgressCallback progress = nullptr, std::intptr_t user = 0,
                             std::int32_t* result = nullptr);

    std::wstring dir;  // the DLL's folder, with a trailing backslash
    HMODULE module = nullptr;
    ExecuteFn execute = nullptr;
    GetNameFn getName = nullptr;
};
