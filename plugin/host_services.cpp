// Host services: the host executable's KVF_QueryClientInfo for the colours and the selection
// mask, and the error box the plug-in shows after telling the host.
#include <cstdint>
#include <new>
#include <string>

#include "platform/wide_text.h"
#include "plugin/filter_module.h"
#include "selection/selection_scan.h"
#include "transform/edge_samplers.h"

namespace {

// A library reference to the host executable, released when it goes out of scope.
class HostLibrary {
   public:
    // By its wide-character name, so that a host in a folder named outside the system's code
    // page is found too.
    HostLibrary() {
        const std::wstring path = ModuleFileName(nullptr);
        if (!path.empty()) handle = LoadLibraryW(path.c_str());
    }
    ~HostLibrary() {
        if (handle != nullptr) FreeLibrary(handle);
    }
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    [[nodiscard]] QueryClientInfoFn Service() const noexcept {
        if (handle == nullptr) return nullptr;
        return reinterpret_cast<QueryClientInfoFn>(
            reinterpret_cast<void*>(GetProcAddress(handle, "KVF_QueryClientInfo")));
    }

   private:
    HMODULE handle = nullptr;
};

}  // namespace

std::int32_t FilterModule::QueryClientInfo(std::int32_t code, void* data) const noexcept {
    // Looked up afresh at every use: the plug-in keeps nothing of the host between calls.
    const HostLibrary host;
    const QueryClientInfoFn service = host.Service();
    return service != nullptr ? service(code, data) : 0;
}

std::int32_t FilterModule::SelectionBounds(const std::uint8_t** mask, SelectionRect* rect,
                                           std::int32_t width, std::int32_t height) const noexcept {
    const std::uint8_t* answer = nullptr;
    if (QueryClientInfo(ClientInfoSelectionMask, &answer) == 0) return 0;
    if (answer == nullptr) return 0;  // an answer without a mask is no mask
    if (mask != nullptr) *mask = answer;
    if (rect != nullptr) *rect = ScanSelectionBounds(answer, width, height);
    return 1;
}

Pixel32 FilterModule::FillColour(std::int32_t mode, std::int32_t transparent) const noexcept {
    Pixel32 queried = 0xFF000000u;
    if (mode == static_cast<std::int32_t>(UndefinedAreaMode::kForeground)) {
        QueryClientInfo(ClientInfoForeground, &queried);
    } else if (mode == static_cast<std::int32_t>(UndefinedAreaMode::kBackground)) {
        QueryClientInfo(ClientInfoBackground, &queried);
    }
    return ResolveFillColour(mode, queried, transparent);
}

void FilterModule::ShowError(HWND parent, const char* text, const char* caption,
                             const std::wstring& detail) const noexcept {
    QueryClientInfo(ClientInfoBeforeMessage, nullptr);
    if (text == nullptr) return;
    try {
        // Converted from Shift-JIS here, so Japanese texts show right on any system code page.
        std::wstring shown = WideFromShiftJis(text);
        if (!detail.empty()) shown += L"\n" + detail;
        MessageBoxW(UsableOwner(parent), shown.c_str(),
                    WideFromShiftJis(caption != nullptr ? caption : "error").c_str(), MB_ICONERROR);
    } catch (const std::bad_alloc&) {
        // No memory for the box's text: nothing can be shown.
    }
}
