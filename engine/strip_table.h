// Per strip of an oblique frame: where the image's part of it begins and
// ends along the strips.
#pragma once

#include <vector>

#include "engine/frame_geometry.h"

namespace quillmarch {

/// Least and greatest along position that a strip's part of the image reaches.
struct StripSpan {
  double start;
  double end;
};

struct StripTable {
  std::vector<StripSpan> spans;  ///< one per strip, in strip order
  double total_length = 0.0;     ///< sum of end - start over all strips
};

/// Builds the table of an oblique frame (the angle is never a multiple of 90
/// degrees here) of a `width` x `height` image. Throws std::bad_alloc when
/// the table cannot be allocated.
StripTable BuildStripTable(const WipeSettings& settings, const FrameGeometry& geometry,
                           std::int32_t width, std::int32_t height, WipeHost& host);

}  // namespace quillmarch
