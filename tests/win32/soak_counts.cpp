// What a leak in the process would grow: its kernel handles, the windows alive on the thread,
// its GDI objects and its private bytes.
#include "tests/win32/soak_counts.h"

#include "platform/win32.h"

#include <cstring>

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<std::int64_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<std::int64_t*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

// An entry of Wine's GDI handle table, which the process environment block points to; an entry
// in use has a non-zero type.
struct GdiTableEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiTableEntry) == 24);
constexpr int kGdiTableEntries = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0x94;  // in the 32-bit process environment block

// Kernel handles are multiples of 4 handed out lowest first; a process of this size stays far
// below this many.
constexpr std::uintptr_t kHandleValuesAsked = 0x10000;

// Every value a kernel handle of the process can have, asked for its flags: GetProcessHandleCount
// does not move under Wine.
std::int64_t KernelHandleCount() {
    std::int64_t count = 0;
    for (std::uintptr_t value = 4; value < kHandleValuesAsked; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

// The committed private memory of the process, region by region: Wine's process memory
// counters report no private usage.
std::int64_t PrivateBytes() {
    std::int64_t bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (auto* address = static_cast<const char*>(nullptr);
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            bytes += static_cast<std::int64_t>(region.RegionSize);
        }
        if (region.RegionSize == 0) break;
    }
    return bytes;
}

}  // namespace

std::int64_t GdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    const std::uint8_t* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));  // the 32-bit thread block's pointer to it
    const GdiTableEntry* table = nullptr;
    std::memcpy(&table, peb + kPebGdiTableOffset, sizeof table);
    if (table == nullptr) return -1;
    std::int64_t count = 0;
    for (int i = 0; i < kGdiTableEntries; ++i) count += table[i].type != 0 ? 1 : 0;
    return count;
}

ResourceCounts MeasureResources() {
    ResourceCounts counts;
    counts.handles = KernelHandleCount();
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel,
                      reinterpret_cast<LPARAM>(&counts.windows));
    counts.gdi = GdiObjectCount();
    counts.privateBytes = PrivateBytes();
    return counts;
}

void LeakOnPurpose(const std::string& kind) {
    if (kind == "handle") {
        CreateEventW(nullptr, FALSE, FALSE, nullptr);
    } else if (kind == "window") {
        CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    } else if (kind == "gdi") {
        CreateSolidBrush(RGB(1, 2, 3));
    } else if (kind == "memory") {
        // Committed and touched, as a forgotten pixel buffer would be.
        auto* block =
            static_cast<char*>(VirtualAlloc(nullptr, 256 * 1024, MEM_COMMIT, PAGE_READWRITE));
        if (block != nullptr) std::memset(block, 1, 256 * 1024);
    }
}
