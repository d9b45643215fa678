// The native command on a 6000 x 4000 photograph in JPEG (read, the pass, written at quality 92)
// against libjpeg-turbo's own decode and encode of the same file in one process (tjDecompress2,
// tjCompress2 at 4:2:0); and a batch of 16 such files with --jobs 2 against --jobs 1. Prints the
// least time of each over interleaved runs, `ratio trapezoid-jpeg-vs-codec: R` and
// `ratio batch-jobs2-vs-jobs1: R`, with the same ratio for plain arithmetic on two threads (the
// batch's best on this machine at that time) and the load average.
//   native_jpeg_bench TRAPEZOID WORKDIR [RUNS]
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "imageio/image_codec.h"

namespace {

using Clock = std::chrono::steady_clock;

// Smooth shapes under sensor noise: compresses about as a camera picture does.
RgbaImage Photograph(std::int32_t width, std::int32_t height) {
    RgbaImage image{
        width, height, std::vector<Pixel32>(std::size_t(width) * std::size_t(height)), {}};
    std::uint32_t noise = 1;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            std::uint8_t channels[3];
            for (int c = 0; c < 3; ++c) {
                const double value =
                    128 + 60 * std::sin(x / (300.0 + 50 * c)) * std::cos(y / (200.0 + 30 * c)) +
                    30 * std::sin((x + y) / 37.0) + static_cast<double>(noise >> (8 * c) & 7) - 3.5;
                channels[c] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
            }
            image.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                PackPixel(channels[0], channels[1], channels[2], 255);
        }
    }
    return image;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(file);
}

double CodecSeconds(const std::vector<std::uint8_t>& jpeg) {
    const Clock::time_point start = Clock::now();
    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colours = 0;
    tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colours);
    std::vector<unsigned char> pixels(std::size_t(width) * std::size_t(height) * 4);
    tjDecompress2(decoder, jpeg.data(), jpeg.size(), pixels.data(), width, 0, height, TJPF_BGRA, 0);
    tjDestroy(decoder);
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long outBytes = 0;
    tjCompress2(encoder, pixels.data(), width, 0, height, TJPF_BGRA, &out, &outBytes, TJSAMP_420,
                92, 0);
    tjFree(out);
    tjDestroy(encoder);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds of a fixed amount of arithmetic on each of THREADS threads: the same time for one and
// for two threads when a second processor is free, twice the time when none is.
double SpinSeconds(int threads) {
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> spinners;
    for (int i = 0; i < threads; ++i) {
        spinners.emplace_back([] {
            volatile double sum = 0;
            for (int k = 0; k < 50'000'000; ++k) sum = sum + 1e-9 * k;
        });
    }
    for (std::thread& spinner : spinners) spinner.join();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CommandSeconds(const std::string& command) {
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "native_jpeg_bench: %s failed\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: native_jpeg_bench TRAPEZOID WORKDIR [RUNS]\n", stderr);
        return 1;
    }
    const std::string trapezoid = argv[1];
    const std::string work = argv[2];
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::vector<std::uint8_t> jpeg =
        imageio::EncodeFor(imageio::Format::kJpeg, Photograph(6000, 4000), {}).bytes;
    WriteFile(work + "/photo.jpg", jpeg);
    const std::string run = "'" + trapezoid + "' run '" + work + "/photo.jpg' '" + work +
                            "/out.jpg' --shape 1 --difference -30 --quiet";
    std::string batch = "'" + trapezoid + "' run";
    for (int i = 0; i < 16; ++i) {
        const std::string name = work + "/batch" + std::to_string(i) + ".jpg";
        WriteFile(name, jpeg);
        batch += " '" + name + "'";
    }
    batch += " --out-dir '" + work + "/out' --shape 1 --difference -30 --quiet >/dev/null --jobs ";
    double codec = 1e9, command = 1e9, oneJob = 1e9, twoJobs = 1e9;
    for (int i = 0; i < runs; ++i) {
        codec = std::min(codec, CodecSeconds(jpeg));
        command = std::min(command, CommandSeconds(run));
    }
    double oneSpinner = 1e9, twoSpinners = 1e9;
    for (int i = 0; i < (runs + 1) / 2; ++i) {
        oneJob = std::min(oneJob, CommandSeconds(batch + "1"));
        twoJobs = std::min(twoJobs, CommandSeconds(batch + "2"));
        oneSpinner = std::min(oneSpinner, SpinSeconds(1));
        twoSpinners = std::min(twoSpinners, SpinSeconds(2));
    }
    std::printf("codec decode+encode: %.3f s\ntrapezoid run: %.3f s\n", codec, command);
    std::printf("ratio trapezoid-jpeg-vs-codec: %.2f\n", command / codec);
    std::printf("batch of 16, --jobs 1: %.3f s, --jobs 2: %.3f s\n", oneJob, twoJobs);
    std::printf("ratio batch-jobs2-vs-jobs1: %.2f\n", twoJobs / oneJob);
    // What the machine's neighbours left: the best that the batch's ratio could be meanwhile.
    std::printf("two threads of plain arithmetic over twice the work on one: %.2f\n",
                twoSpinners / (2 * oneSpinner));
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return 0;
}
