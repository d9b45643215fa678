// Shape profiles: the inset of each line of the selection as a linear function of its position.
#include "transform/shape_profile.h"

#include <array>
#include <cstddef>

#include "transform/pixel.h"

namespace {

constexpr std::array<ShapeProfile, kShapeCount> kProfiles = {
    TopAndBottomProfile,  // TrapezoidShape::kTopAndBottom
    FirstEdgeProfile,     // TrapezoidShape::kTop
    SecondEdgeProfile,    // TrapezoidShape::kBottom
    TopAndBottomProfile,  // TrapezoidShape::kLeftAndRight
    FirstEdgeProfile,     // TrapezoidShape::kLeft
    SecondEdgeProfile,    // TrapezoidShape::kRight
};
static_assert(kProfiles.size() == kShapeCount);

}  // namespace

ShapeProfile ProfileForShape(std::int32_t shape) noexcept {
    if (shape < 0 || shape >= kShapeCount) shape = 0;
    return kProfiles[static_cast<std::size_t>(shape)];
}
