// The wipe at exactly 0, 90, 180 and 270 degrees: strips are bands of whole
// columns or rows, each taking the same share of the completion.
#pragma once

#include "engine/pixel_ops.h"

namespace quillmarch {

/// The per-frame values the axis-aligned rule reads.
struct AxisAlignedFrame {
  double completion;
  double width;
  double share;  ///< 1 / strip_count; +inf when there is no strip
  bool to_left;
  Vector across_axis, along_axis;
  double across_min, along_min, along_extent;
};

AxisAlignedFrame MakeAxisAlignedFrame(const WipeSettings& settings, const FrameGeometry& geometry);

/// The rule for one pixel; `host` provides floor and fmod.
PixelDecision AxisAlignedPixel(const AxisAlignedFrame& frame, std::int32_t x, std::int32_t y,
                               WipeHost& host);

/// Walks the whole frame; returns the first failing sample's code or 0.
template <typename Pixel>
std::int32_t RenderAxisAligned(WipeFrame<Pixel>& frame);

}  // namespace quillmarch
