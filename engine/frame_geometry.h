// The geometry of one frame: the two direction vectors and the image's
// extent along each.
#pragma once

#include "engine/wipe_engine.h"

namespace quillmarch {

/// A pair of doubles; the direction vectors are unit vectors.
struct Vector {
  double x;
  double y;
};

/// A sample displacement in 16.16 fixed point.
struct FixedStep {
  Fixed x;
  Fixed y;
};

/// Computed once per frame from the settings and the input's size.
struct FrameGeometry {
  Vector along_axis;   ///< (sin, -cos): along the strips, the way the front runs
  Vector across_axis;  ///< (cos, sin): the way the strips are stacked
  double along_min, along_max, along_extent;
  double across_min, across_max, across_extent;
  double strip_count;       ///< ceil(across_extent / width), as a double
  FixedStep displace_step;  ///< along_axis in 16.16, negated for To Right
};

/// Projections of the four corner pixels of a `width` x `height` image.
FrameGeometry ComputeFrameGeometry(const WipeSettings& settings, std::int32_t width,
                                   std::int32_t height, WipeHost& host);

}  // namespace quillmarch
