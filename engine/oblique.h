// The wipe at every direction that is not a multiple of 90 degrees.
#pragma once

#include "engine/pixel_ops.h"
#include "engine/strip_table.h"

namespace quillmarch {

/// Where the erasing front stands for the whole frame.
struct Front {
  std::int32_t current_strip;  ///< 0 ... n - 1
  double front_position;       ///< along position of the front in that strip
  std::int32_t front_offset;   ///< whole pixels travelled from the strip's starting end
};

/// Places the front for a completion strictly between 0 and 1 on a table of
/// at least one strip.
Front PlaceFront(const WipeSettings& settings, const FrameGeometry& geometry,
                 const StripTable& table, WipeHost& host);

/// The per-frame values the oblique rule reads.
struct ObliqueFrame {
  Front front;
  double width;
  bool to_left;
  Vector across_axis, along_axis;
  double across_min, along_min;
};

/// The rule for one pixel. Returns false for a pixel more than one strip
/// ahead of the front, which is left untouched.
bool ObliquePixel(const ObliqueFrame& frame, std::int32_t x, std::int32_t y, WipeHost& host,
                  PixelDecision& decision);

/// Walks the whole frame; returns the first failing sample's code or 0.
template <typename Pixel>
std::int32_t RenderOblique(WipeFrame<Pixel>& frame, const StripTable& table);

}  // namespace quillmarch
