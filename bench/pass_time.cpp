// The engine's pass as a C++ caller runs it on a picture it holds: the result allocated and
// copied from the source, then the pass (shape 1, difference -30, one thread). Prints the least
// time of RUNS runs in seconds, for python_bench.py to set trapezoid.correct against.
//   pass_time RAW_RGBA WIDTH HEIGHT RUNS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "transform/transform_pass.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: pass_time RAW_RGBA WIDTH HEIGHT RUNS\n", stderr);
        return 1;
    }
    const auto width = static_cast<std::int32_t>(std::atoi(argv[2]));
    const auto height = static_cast<std::int32_t>(std::atoi(argv[3]));
    const int runs = std::atoi(argv[4]);
    std::vector<Pixel32> source(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::ifstream raw(argv[1], std::ios::binary);
    raw.read(reinterpret_cast<char*>(source.data()),
             static_cast<std::streamsize>(source.size() * sizeof(Pixel32)));
    if (!raw) {
        std::fputs("pass_time: cannot read the picture\n", stderr);
        return 1;
    }
    const FillParams fill{0, 0xFF000000u, 0, 0, 0, 0, 0};
    double least = 1e30;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<Pixel32> result(source);
        RunTransform(source.data(), result.data(), width, height, {0, 0, width, height}, 1, -30,
                     LineProfile::kClassic, fill, nullptr);
        least = std::min(least, std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                              start).count());
    }
    std::printf("%.6f\n", least);
    return 0;
}
