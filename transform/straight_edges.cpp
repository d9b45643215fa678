// Straight edges of a picture: a reduced grey copy of the selection, and the straight edges in it
// that run near one direction, found by growing regions of pixels whose gradients agree.
#include "transform/straight_edges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

// A gradient weaker than this (grey levels per pixel) is noise: two levels of quantisation seen
// through the region's angle tolerance.
constexpr float kMinGradient = 5.2f;
// Pixels join a region when their gradient lies within 22.5 degrees of the region's.
constexpr double kJoinCos = 0.92387953251128674;  // cos 22.5
// Gradients more than 30 + 22.5 degrees away from the wanted one cannot be part of a wanted edge.
constexpr double kCandidateCos = 0.60876142900872066;  // cos 52.5
// Edges must lie within 30 degrees of the wanted direction.
constexpr double kEdgeCos = 0.86602540378443865;  // cos 30
// An edge is straight when its region is at most this thin for its length, or a blurred edge's
// width when that is more.
constexpr double kMaxWidthShare = 0.2;
constexpr double kBlurredWidth = 6;
// Regions of fewer pixels are never edges.
constexpr std::size_t kMinRegion = 8;

std::size_t Index(std::int32_t x, std::int32_t y, std::int32_t width) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
}

// Area averaging along one axis of n source pixels into m cells: source pixel k gives `share[k]`
// of itself to cell `cell[k]` and the rest to the next cell (a cell is at least one pixel long).
struct AxisShares {
    std::int32_t cells;
    std::vector<std::int32_t> cell;
    std::vector<float> share;
};

AxisShares SharesOf(std::int32_t n, std::int32_t m) {
    AxisShares shares{m, std::vector<std::int32_t>(static_cast<std::size_t>(n)),
                      std::vector<float>(static_cast<std::size_t>(n))};
    const double cellLength = static_cast<double>(n) / m;
    for (std::int32_t k = 0; k < n; ++k) {
        const auto j = std::min(static_cast<std::int32_t>(k / cellLength), m - 1);
        const double end = j + 1 < m ? (j + 1) * cellLength : n;
        shares.cell[static_cast<std::size_t>(k)] = j;
        shares.share[static_cast<std::size_t>(k)] = static_cast<float>(std::min(1.0, end - k));
    }
    return shares;
}

// Luma weighted by alpha, in units of 1 / (256 * 255) of a grey level.
float WeightedLuma(Pixel32 p) {
    const unsigned luma = 77 * ((p >> 16) & 0xFFu) + 150 * ((p >> 8) & 0xFFu) + 29 * (p & 0xFFu);
    return static_cast<float>(luma * (p >> 24));
}

float Selected(std::uint8_t maskByte) { return maskByte == 255 ? 0.0f : 1.0f; }

// Area-averages `value` of width x height items from `first` on, rows `stride` items apart, into
// `out` of cols x rows cells (sized (rows + 1) x cols on return: the last row only collects
// rounding) scaled by `factor`.
template <typename Item, typename Value>
void AreaAverage(const Item* first, std::int32_t stride, std::int32_t width, std::int32_t height,
                 const AxisShares& cols, const AxisShares& rows, float factor, Value value,
                 std::vector<float>& out) {
    const auto m = static_cast<std::size_t>(cols.cells);
    std::vector<float> line(m + 1);
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(line.begin(), line.end(), 0.0f);
        const Item* items = first + PixelIndex(0, y, stride);
        for (std::int32_t x = 0; x < width; ++x) {
            const float v = value(items[x]);
            const auto k = static_cast<std::size_t>(x);
            const auto j = static_cast<std::size_t>(cols.cell[k]);
            const float part = v * cols.share[k];
            line[j] += part;
            line[j + 1] += v - part;
        }
        const auto k = static_cast<std::size_t>(y);
        const std::size_t row = static_cast<std::size_t>(rows.cell[k]) * m;
        const float upper = rows.share[k] * factor;
        const float lower = factor - upper;
        for (std::size_t i = 0; i < m; ++i) {
            out[row + i] += line[i] * upper;
            out[row + m + i] += line[i] * lower;
        }
    }
    out.resize(out.size() - m);
}

// Per pixel of the reduced copy: the gradient's strength and its direction as a unit vector.
struct Gradients {
    std::vector<float> magnitude;
    std::vector<float> ux;
    std::vector<float> uy;
};

// Whether the 3 x 3 neighbourhood of (x, y) is wholly selected.
bool NeighbourhoodSelected(const ReducedGrey& reduced, std::int32_t x, std::int32_t y) {
    if (reduced.selected.empty()) return true;
    for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
            if (reduced.selected[Index(x + dx, y + dy, reduced.width)] < 0.999f) return false;
        }
    }
    return true;
}

// Sobel gradients in grey levels per pixel; none on the border and next to unselected pixels.
Gradients GradientsOf(const ReducedGrey& reduced) {
    const std::int32_t w = reduced.width;
    const std::size_t count = reduced.grey.size();
    Gradients g{std::vector<float>(count), std::vector<float>(count), std::vector<float>(count)};
    for (std::int32_t y = 1; y + 1 < reduced.height; ++y) {
        for (std::int32_t x = 1; x + 1 < w; ++x) {
            const float* up = &reduced.grey[Index(x, y - 1, w)];
            const float* mid = &reduced.grey[Index(x, y, w)];
            const float* down = &reduced.grey[Index(x, y + 1, w)];
            const float gx = (up[1] - up[-1] + 2 * (mid[1] - mid[-1]) + down[1] - down[-1]) / 8;
            const float gy = (down[-1] - up[-1] + 2 * (down[0] - up[0]) + down[1] - up[1]) / 8;
            const float m = std::sqrt(gx * gx + gy * gy);
            if (m < kMinGradient || !NeighbourhoodSelected(reduced, x, y)) continue;
            const std::size_t i = Index(x, y, w);
            g.magnitude[i] = m;
            g.ux[i] = gx / m;
            g.uy[i] = gy / m;
        }
    }
    return g;
}

enum PixelState : std::uint8_t { kNone = 0, kFree = 1, kUsed = 2 };

// The pixels that may start or join a region, strongest gradient first (by whole grey levels).
std::vector<std::size_t> SeedOrder(const Gradients& g, bool nearVertical,
                                   std::vector<std::uint8_t>& state) {
    constexpr std::size_t kBins = 256;
    std::array<std::size_t, kBins + 1> start{};
    state.assign(g.magnitude.size(), kNone);
    for (std::size_t i = 0; i < g.magnitude.size(); ++i) {
        // An edge near vertical has its gradient near horizontal, and the reverse.
        const float across = nearVertical ? g.ux[i] : g.uy[i];
        if (g.magnitude[i] < kMinGradient || std::fabs(across) < kCandidateCos) continue;
        state[i] = kFree;
        ++start[kBins - std::min(kBins, static_cast<std::size_t>(g.magnitude[i]))];
    }
    for (std::size_t b = 0, sum = 0; b <= kBins; ++b) {
        const std::size_t n = start[b];
        start[b] = sum;
        sum += n;
    }
    std::vector<std::size_t> order(start[kBins]);
    for (std::size_t i = 0; i < state.size(); ++i) {
        if (state[i] != kFree) continue;
        order[start[kBins - std::min(kBins, static_cast<std::size_t>(g.magnitude[i]))]++] = i;
    }
    return order;
}

// Grows the region of `seed`: free 8-neighbours whose gradient lies near the region's mean
// direction join it, in turn.
void GrowRegion(const Gradients& g, std::int32_t width, std::int32_t height, std::size_t seed,
                std::vector<std::uint8_t>& state, std::vector<std::size_t>& region) {
    region.assign(1, seed);
    state[seed] = kUsed;
    double sumX = g.ux[seed];
    double sumY = g.uy[seed];
    for (std::size_t n = 0; n < region.size(); ++n) {
        const auto x = static_cast<std::int32_t>(region[n] % static_cast<std::size_t>(width));
        const auto y = static_cast<std::int32_t>(region[n] / static_cast<std::size_t>(width));
        const double norm = std::hypot(sumX, sumY);
        for (std::int32_t dy = -1; dy <= 1; ++dy) {
            for (std::int32_t dx = -1; dx <= 1; ++dx) {
                if (x + dx < 0 || x + dx >= width || y + dy < 0 || y + dy >= height) continue;
                const std::size_t i = Index(x + dx, y + dy, width);
                if (state[i] != kFree || g.ux[i] * sumX + g.uy[i] * sumY < kJoinCos * norm) {
                    continue;
                }
                state[i] = kUsed;
                region.push_back(i);
                sumX += g.ux[i];
                sumY += g.uy[i];
            }
        }
    }
}

// The segment a region stands for when it is a long, thin, straight edge near the wanted
// direction: its principal axis (weights: gradient strength) between its extreme projections.
bool FitSegment(const Gradients& g, const ReducedGrey& reduced,
                const std::vector<std::size_t>& region, bool nearVertical, double minLength,
                EdgeSegment& segment) {
    const auto w = static_cast<std::size_t>(reduced.width);
    double sum = 0, cx = 0, cy = 0;
    for (const std::size_t i : region) {
        sum += g.magnitude[i];
        cx += g.magnitude[i] * (static_cast<double>(i % w) + 0.5);
        cy += g.magnitude[i] * (static_cast<double>(i / w) + 0.5);
    }
    cx /= sum;
    cy /= sum;
    double sxx = 0, syy = 0, sxy = 0;
    for (const std::size_t i : region) {
        const double dx = static_cast<double>(i % w) + 0.5 - cx;
        const double dy = static_cast<double>(i / w) + 0.5 - cy;
        sxx += g.magnitude[i] * dx * dx;
        syy += g.magnitude[i] * dy * dy;
        sxy += g.magnitude[i] * dx * dy;
    }
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    const double ax = std::cos(angle), ay = std::sin(angle);
    if (std::fabs(nearVertical ? ay : ax) < kEdgeCos) return false;
    double lo = 0, hi = 0, near = 0, far = 0;
    for (const std::size_t i : region) {
        const double dx = static_cast<double>(i % w) + 0.5 - cx;
        const double dy = static_cast<double>(i / w) + 0.5 - cy;
        lo = std::min(lo, dx * ax + dy * ay);
        hi = std::max(hi, dx * ax + dy * ay);
        near = std::min(near, dy * ax - dx * ay);
        far = std::max(far, dy * ax - dx * ay);
    }
    const double length = hi - lo + 1;
    if (length < minLength || far - near + 1 > std::max(kBlurredWidth, kMaxWidthShare * length))
        return false;
    segment = {reduced.left + (cx + lo * ax) * reduced.scaleX,
               reduced.top + (cy + lo * ay) * reduced.scaleY,
               reduced.left + (cx + hi * ax) * reduced.scaleX,
               reduced.top + (cy + hi * ay) * reduced.scaleY, length};
    return true;
}

}  // namespace

ReducedGrey ReduceToGrey(const PictureView& picture, const SelectionRect& rect,
                         std::int32_t longestSide) {
    ReducedGrey reduced;
    const std::int32_t w = rect.right - rect.left;
    const std::int32_t h = rect.bottom - rect.top;
    if (picture.pixels == nullptr || w <= 0 || h <= 0 || longestSide <= 0) return reduced;
    const double factor = std::max(1.0, static_cast<double>(std::max(w, h)) / longestSide);
    reduced.width = std::max(1, static_cast<std::int32_t>(std::lround(w / factor)));
    reduced.height = std::max(1, static_cast<std::int32_t>(std::lround(h / factor)));
    reduced.left = rect.left;
    reduced.top = rect.top;
    reduced.scaleX = static_cast<double>(w) / reduced.width;
    reduced.scaleY = static_cast<double>(h) / reduced.height;
    const AxisShares cols = SharesOf(w, reduced.width);
    const AxisShares rows = SharesOf(h, reduced.height);
    const std::size_t size = Index(0, reduced.height + 1, reduced.width);
    const auto area = static_cast<float>(reduced.scaleX * reduced.scaleY);
    reduced.grey.assign(size, 0.0f);
    const std::ptrdiff_t corner = PixelIndex(rect.left, rect.top, picture.width);
    AreaAverage(picture.pixels + corner, picture.width, w, h, cols, rows, 1.0f / (area * 256 * 255),
                WeightedLuma, reduced.grey);
    if (picture.mask == nullptr) return reduced;
    reduced.selected.assign(size, 0.0f);
    AreaAverage(picture.mask + corner, picture.width, w, h, cols, rows, 1.0f / area, Selected,
                reduced.selected);
    return reduced;
}

std::vector<EdgeSegment> FindStraightEdges(const ReducedGrey& reduced, bool nearVertical) {
    std::vector<EdgeSegment> segments;
    if (reduced.width < 3 || reduced.height < 3) return segments;
    const Gradients g = GradientsOf(reduced);
    std::vector<std::uint8_t> state;
    const std::vector<std::size_t> order = SeedOrder(g, nearVertical, state);
    const double minLength = std::max(10.0, std::max(reduced.width, reduced.height) / 40.0);
    std::vector<std::size_t> region;
    for (const std::size_t seed : order) {
        if (state[seed] != kFree) continue;
        GrowRegion(g, reduced.width, reduced.height, seed, state, region);
        EdgeSegment segment{};
        if (region.size() >= kMinRegion &&
            FitSegment(g, reduced, region, nearVertical, minLength, segment)) {
            segments.push_back(segment);
        }
    }
    return segments;
}
