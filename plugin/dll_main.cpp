// The plug-in's entry point: process attach builds the filter list, or refuses the load.
#include "plugin/filter_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) return Module().Initialize(instance) != 0 ? TRUE : FALSE;
    return TRUE;  // thread notifications and detach: static destruction frees the filters
}
