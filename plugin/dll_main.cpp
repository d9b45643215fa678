// The plug-in's entry point: process attach builds the filter list, or refuses the load.
#include "plugin/filter_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;  // static destruction frees the filters
    // The statically linked C++ runtime creates synchronisation objects at every load that no
    // unload gives back; pinned, the module loads once per process however often the host
    // unloads and reloads it.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(instance), &pinned);
    return Module().Initialize(instance) != 0 ? TRUE : FALSE;
}
