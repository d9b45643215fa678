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
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "plugin/kv_interface.h"
#include "plugin/win32.h"

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

extern "C" std::int32_t KV_STDCALL KVF_Setup(std::int32_t, void*, const Pixel32*, std::int32_t,
                                             std::int32_t) {
    return 0;
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
