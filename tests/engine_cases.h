// A fixed table of transform cases over generated images, with a digest of each result: the
// native engine and the plug-in DLL must produce the same digests, bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "transform/edge_samplers.h"
#include "transform/pixel.h"
#include "transform/shape_profile.h"
#include "ui/preview_render.h"

namespace engine_cases {

constexpr Pixel32 kForeground = 0xC0123456u;  // what the test hosts answer for the colours
constexpr Pixel32 kBackground = 0x80FEDCBAu;

struct Case {
    std::string name;
    std::int32_t width;
    std::int32_t height;
    SelectionRect rect;
    std::int32_t shape;
    std::int32_t difference;
    std::int32_t mode;
    std::int32_t transparent;
    LineProfile profile;
    bool proportions;  // restored, with the lens of kFocal
};

// The lens of the cases that restore proportions.
constexpr std::int32_t kFocal = 28;

// The records of the case table: the pass's and the preview's digests, under each profile, and
// under the perspective profile with the proportions restored.
struct Record {
    const char* passFile;
    const char* previewFile;
    LineProfile profile;
    bool proportions;
};
constexpr Record kRecords[] = {
    {"pass_digests.txt", "preview_digests.txt", LineProfile::kClassic, false},
    {"pass_digests_reciprocal.txt", "preview_digests_reciprocal.txt", LineProfile::kPerspective,
     false},
    {"pass_digests_proportions.txt", "preview_digests_proportions.txt", LineProfile::kPerspective,
     true},
};

// Deterministic pixels with every channel, alpha included, varied.
inline std::vector<Pixel32> MakeImage(std::int32_t width, std::int32_t height) {
    std::vector<Pixel32> image(static_cast<std::size_t>(width) * height);
    std::uint64_t state =
        0x9E3779B97F4A7C15ull * (static_cast<std::uint64_t>(width) * 131 + height);
    for (Pixel32& p : image) {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        p = static_cast<Pixel32>(z ^ (z >> 31));
    }
    return image;
}

inline std::vector<Case> AllCases(LineProfile profile, bool proportions = false) {
    struct Frame {
        std::int32_t w, h;
        SelectionRect rect;
    };
    const Frame frames[] = {{29, 23, {0, 0, 29, 23}},
                            {29, 23, {3, 2, 26, 20}},
                            {12, 12, {0, 0, 12, 12}},
                            {5, 6, {0, 0, 5, 6}},
                            {3, 1, {0, 0, 3, 1}}};
    const std::int32_t differences[] = {-100, -63, -48, -30, -1, 1, 30, 37, 40, 63, 100};
    std::vector<Case> cases;
    for (const Frame& f : frames) {
        for (std::int32_t shape = 0; shape < 6; ++shape) {
            for (std::int32_t difference : differences) {
                for (std::int32_t mode = 0; mode < 6; ++mode) {
                    for (std::int32_t transparent = 0; transparent < 2; ++transparent) {
                        char name[96];
                        std::snprintf(name, sizeof name, "%dx%d@%d,%d,%d,%d/s%d/d%d/m%d/t%d", f.w,
                                      f.h, f.rect.left, f.rect.top, f.rect.right, f.rect.bottom,
                                      shape, difference, mode, transparent);
                        cases.push_back({name, f.w, f.h, f.rect, shape, difference, mode,
                                         transparent, profile, proportions});
                    }
                }
            }
        }
    }
    return cases;
}

// A fill with its colour resolved as the test hosts answer, over `rect`.
inline FillParams HostFill(std::int32_t mode, std::int32_t transparent,
                           const SelectionRect& rect = {0, 0, 0, 0}) {
    Pixel32 queried = 0xFF000000u;
    if (mode == 2) queried = kForeground;
    if (mode == 3) queried = kBackground;
    return {mode,        ResolveFillColour(mode, queried, transparent),
            transparent, rect.left,
            rect.top,    rect.right,
            rect.bottom};
}

// A selection mask with unselected pixels (255) scattered over the image and the other pixels
// at 0 or 254.
inline std::vector<std::uint8_t> MakeMask(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const bool out = (x * 3 + y * 5) % 11 == 0;
            mask[static_cast<std::size_t>(y) * width + x] = out ? 255 : (x % 2 == 0 ? 0 : 254);
        }
    }
    return mask;
}

// The canvas words of the case's preview, the whole image shown at the canvas origin with the
// scattered mask.
inline std::vector<Pixel32> PreviewWords(const Case& c) {
    const std::vector<Pixel32> source = MakeImage(c.width, c.height);
    const std::vector<std::uint8_t> mask = MakeMask(c.width, c.height);
    const FillParams fill = HostFill(c.mode, c.transparent, c.rect);
    CanvasPixels canvas;
    if (!canvas.Allocate(c.width, c.height, 0)) return {};
    MovedLines moved(kFocal);
    RenderTrapezoidPreview(canvas, {source.data(), c.width, c.height, mask.data()},
                           {{0, 0}, {0, 0}, {c.width, c.height}}, c.shape, c.difference, c.profile,
                           fill, c.proportions ? &moved : nullptr);
    return {canvas.Words(), canvas.Words() + static_cast<std::size_t>(c.width) * c.height};
}

inline std::uint64_t Digest(const std::vector<Pixel32>& pixels) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (Pixel32 p : pixels) {
        for (int i = 0; i < 4; ++i) h = (h ^ ((p >> (8 * i)) & 0xFFu)) * 0x100000001B3ull;
    }
    return h;
}

// The lines of a recorded digest file, without their line ends; none when it cannot be read.
inline std::vector<std::string> RecordLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::string DigestLine(const Case& c, std::uint64_t digest) {
    char text[32];
    std::snprintf(text, sizeof text, " %016llx", static_cast<unsigned long long>(digest));
    return c.name + text;
}

// Renders every case of the record's table and compares the digests with its file `path`, line
// for line. TRAPEZOID_UPDATE_DIGESTS=1 rewrites the record first.
inline void ExpectRecord(const std::string& path, const Record& record,
                         const std::function<std::vector<Pixel32>(const Case&)>& render) {
    std::vector<std::string> lines;
    for (const Case& c : AllCases(record.profile, record.proportions)) {
        lines.push_back(DigestLine(c, Digest(render(c))));
    }
    if (std::getenv("TRAPEZOID_UPDATE_DIGESTS") != nullptr) {
        std::ofstream out(path);
        for (const std::string& line : lines) out << line << '\n';
    }
    const std::vector<std::string> recorded = RecordLines(path);
    ASSERT_EQ(recorded.size(), lines.size()) << path;
    for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(recorded[i], lines[i]) << path;
}

}  // namespace engine_cases
