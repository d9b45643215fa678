// DLL benchmark: the real plug-in, loaded as a host loads it, runs the pass on a 6000 x 4000
// image through KVF_Execute, timed against a plain copy of the same image in the same 32-bit
// process. Each figure is the minimum of several runs, taken in rounds of the copy and every
// pass, so that a busy neighbour does not decide.
// Usage: dll_bench PLUGIN.dll; prints one `ratio dll-<name>: <value>` line per pass.
#include "platform/win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_images.h"
#include "plugin_interface/kv_interface.h"
#include "transform/span_path.h"

namespace {

constexpr std::int32_t kWidth = 6000;
constexpr std::int32_t kHeight = 4000;
constexpr int kRounds = 5;
constexpr int kCopyRuns = 2;

struct Case {
    const char* name;
    int shape;
    int difference;
};
constexpr Case kCases[] = {
    {"squeeze", 1, 30},
    {"stretch", 1, -30},
    {"squeeze-columns", 4, 30},
    {"stretch-columns", 4, -30},
};

double Seconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The least time of `runs` calls of fn.
template <class Fn>
double Fastest(int runs, Fn&& fn) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = Seconds();
        fn();
        const double took = Seconds() - start;
        if (took < best) best = took;
    }
    return best;
}

// The settings file the plug-in reads beside itself.
void WriteSettings(const std::string& ini, const Case& c) {
    const std::string shape = std::to_string(c.shape);
    const std::string difference = std::to_string(c.difference);
    WritePrivateProfileStringA("Trapezoid", "shape", shape.c_str(), ini.c_str());
    WritePrivateProfileStringA("Trapezoid", "difference", difference.c_str(), ini.c_str());
    WritePrivateProfileStringA("Trapezoid", "undefarea", "0", ini.c_str());
    WritePrivateProfileStringA("Trapezoid", "transparent", "0", ini.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dll_bench PLUGIN.dll\n");
        return 2;
    }
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(argv[1], MAX_PATH, full, &name);
    const HMODULE plugin = LoadLibraryA(argv[1]);
    const auto execute =
        reinterpret_cast<ExecuteFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "KVF_Execute")));
    if (length == 0 || length >= MAX_PATH || name == nullptr || execute == nullptr) {
        std::fprintf(stderr, "dll_bench: cannot load %s\n", argv[1]);
        return 1;
    }
    const std::string ini = std::string(full, name) + "vxfilters.ini";

    const std::vector<Pixel32> source =
        RandomOpaquePixels(static_cast<std::size_t>(kWidth) * kHeight);
    std::vector<Pixel32> destination(source);
    const SelectionRect rect{0, 0, kWidth, kHeight};
    // Rounds of a copy and every pass, each keeping its least time: the copy and the passes meet
    // the same neighbours, whatever the machine does meanwhile.
    const auto copyImage = [&] {
        std::memcpy(destination.data(), source.data(), source.size() * sizeof(Pixel32));
    };
    const auto runPass = [&] {
        execute(0, nullptr, source.data(), destination.data(), 0, &rect, 0, kWidth, kHeight,
                nullptr, 0);
    };
    double copy = 1e30;
    double pass[std::size(kCases)];
    std::fill(std::begin(pass), std::end(pass), 1e30);
    for (int round = 0; round < kRounds; ++round) {
        copy = std::min(copy, Fastest(kCopyRuns, copyImage));
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            WriteSettings(ini, kCases[i]);
            pass[i] = std::min(pass[i], Fastest(1, runPass));
        }
    }
    std::printf("dll path: %s\n", LinePathName(ActiveLinePath()));
    std::printf("dll copy: %.3f ns per pixel\n", copy * 1e9 / static_cast<double>(source.size()));
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        std::printf("ratio dll-%s: %.2f\n", kCases[i].name, pass[i] / copy);
    }
    return FreeLibrary(plugin) ? 0 : 1;
}
