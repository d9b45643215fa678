// Line plan: how one line of a pass is rebuilt. A stretched line samples the source at its scaled
// positions; a squeezed line falls into parts (the undefined area before it, the partly covered
// first pixels, the area averages, the partly covered last pixels, the undefined area after it),
// each owning a range of output positions. The row pass, the column pass and the preview all walk
// these plans, so that the rule of a squeezed line lives here alone.
#pragma once

#include <cstdint>

#include "transform/line_geometry.h"

enum class PartKind : std::uint8_t {
    kBefore,  // the fill before the rebuilt line
    kStart,   // the first pixels, partly covered by the line: the fill blended with the source
    kRun,     // area averages of the source
    kEnd,     // the last pixels, partly covered
    kAfter,   // the fill after the rebuilt line
    kNone,    // no write reaches the position
};

// Output positions from..to-1 of a line, all of one kind.
struct LinePart {
    PartKind kind;
    std::int32_t from;
    std::int32_t to;
};

// A squeezed line: positions lo..hi-1, its inset t and the interval len that one output pixel
// stands for, and where its walk turns seen from its start: the fill [lo, fillEnd), the partly
// covered pixels [fillEnd, runFrom), the area averages [runFrom, runTo).
struct SqueezedLine {
    std::int32_t lo;
    std::int32_t hi;
    double t;
    double len;
    std::int32_t fillEnd;
    std::int32_t runFrom;
    std::int32_t runTo;

    // Where the source interval of output position p starts.
    [[nodiscard]] double Start(std::int32_t p) const noexcept { return lo + ((p - lo) - t) * len; }
    // The interval of a partly covered last pixel p mirrored from its partner among the first.
    [[nodiscard]] double MirroredStart(std::int32_t p) const noexcept {
        return (hi - (Start(hi - 1 - (p - lo)) - lo)) - len;
    }
    // The kind that owns position p when the line is written from both ends (WalkOrder).
    [[nodiscard]] PartKind OwnerFromBothEnds(std::int32_t p) const noexcept;
};

// Where the parts of a squeezed line meet when it is squeezed to a pixel or less, and so overlap.
// The pass writes each end's fill and then each end's partly covered pixels from both ends at once
// (position p, then its mirror), the averages last, and a position that several writes reach shows
// the last; the preview takes the parts in increasing order, each position from the first that
// reaches it. Elsewhere the parts do not overlap and both orders give the same ones.
enum class WalkOrder : std::uint8_t { kFromBothEnds, kIncreasing };

struct LinePlan {
    static constexpr int kMostParts = 8;

    std::int32_t line;
    bool squeezed;
    std::int32_t lo;
    std::int32_t hi;
    WalkOrder order;
    // Squeezed: the line, and its parts in increasing order of position, none of kNone.
    SqueezedLine squeeze;
    std::int32_t partCount;
    LinePart parts[kMostParts];
    // Stretched: where each output position samples the source.
    StretchMap map;

    [[nodiscard]] double Start(std::int32_t p) const noexcept { return squeeze.Start(p); }
    // Where the interval of a partly covered last pixel p starts: mirrored from its partner among
    // the first pixels when written from both ends, else as any position's.
    [[nodiscard]] double EndStart(std::int32_t p) const noexcept {
        return order == WalkOrder::kIncreasing ? squeeze.Start(p) : squeeze.MirroredStart(p);
    }
    [[nodiscard]] const LinePart* begin() const noexcept { return parts; }
    [[nodiscard]] const LinePart* end() const noexcept { return parts + partCount; }
    // The part that owns position p; null when none does.
    [[nodiscard]] const LinePart* PartAt(std::int32_t p) const noexcept {
        for (const LinePart& part : *this) {
            if (p >= part.from && p < part.to) return &part;
        }
        return nullptr;
    }
};

// The plan of line `line` of `g`, its parts meeting as `order` says.
[[nodiscard]] LinePlan PlanLine(const LineGeometry& g, std::int32_t line, WalkOrder order) noexcept;
