#include "engine/oblique.h"

namespace quillmarch {

Front PlaceFront(const WipeSettings& settings, const FrameGeometry& geometry,
                 const StripTable& table, WipeHost& host) {
  const std::vector<StripSpan>& spans = table.spans;
  const auto last = static_cast<std::int32_t>(spans.size()) - 1;
  const bool to_left = settings.direction_mode == kToLeft;
  Front front{0, 0.0, 0};
  double travelled = 0.0;

  if (settings.mode == kModeNormal) {
    // One speed through all strips: pass every strip the completion covers.
    // The walk is bounded by the last strip: rounding, and strips whose
    // length comes out a hair below zero, must never carry it off the table.
    double remaining = settings.completion * table.total_length;
    while (front.current_strip < last) {
      const StripSpan& span = spans[static_cast<std::size_t>(front.current_strip)];
      const double length = span.end - span.start;
      if (remaining < length) break;
      remaining = remaining - length;
      ++front.current_strip;
    }
    front.front_offset = static_cast<std::int32_t>(remaining);
    travelled = remaining;
  } else {
    // The same share for every strip; within it the front runs the whole
    // along extent, in whole pixels.
    const double share = 1.0 / geometry.strip_count;
    const double p = settings.completion / share;
    const double whole = host.Floor(p);
    double fraction = p - whole;
    if (whole > static_cast<double>(last)) {
      // A completion a hair below 1 can round p up to the strip count: the
      // front is then at the end of the last strip, not past the table.
      front.current_strip = last;
      fraction = p - static_cast<double>(last);
      if (fraction > 1.0) fraction = 1.0;
    } else {
      front.current_strip = static_cast<std::int32_t>(whole);
    }
    front.front_offset = static_cast<std::int32_t>(geometry.along_extent * fraction);
    travelled = static_cast<double>(front.front_offset);
  }

  const StripSpan& span = spans[static_cast<std::size_t>(front.current_strip)];
  front.front_position = to_left ? span.end - travelled : travelled + span.start;
  return front;
}

bool ObliquePixel(const ObliqueFrame& frame, std::int32_t x, std::int32_t y, WipeHost& host,
                  PixelDecision& decision) {
  const double w = frame.width;
  const std::int32_t current = frame.front.current_strip;
  const double front = frame.front.front_position;
  const double across = DotPixel(x, y, frame.across_axis) - frame.across_min;
  const auto strip = static_cast<std::int32_t>(host.Floor(across / w));
  if (strip > current + 1) return false;

  auto along_position = [&] { return DotPixel(x, y, frame.along_axis) - frame.along_min; };
  decision = PixelDecision{1.0, strip == current, frame.front.front_offset, 0.0};
  if (strip < current) {
    decision.coverage = 0.0;
  } else if (strip == current) {
    const double along = along_position();
    // A one-pixel ramp from 0 at the front to 1 a pixel ahead of it.
    if (frame.to_left) {
      if (front < along) {
        decision.coverage = 0.0;
      } else if (front - 1.0 < along) {
        decision.coverage = front - along;
      }
    } else {
      if (front > along) {
        decision.coverage = 0.0;
      } else if (front + 1.0 > along) {
        decision.coverage = along - front;
      }
    }
    // Soften the border with the erased strip before; strip 0 has none.
    decision.position = host.Fmod(across, w);
    if (decision.position < 1.0 && strip != 0) decision.coverage *= decision.position;
  } else {
    // The next strip's border row, where the strip beside it is erased.
    decision.position = host.Fmod(across, w);
    if (decision.position < 1.0) {
      const double along = along_position();
      if (frame.to_left ? front < along : front > along) decision.coverage *= decision.position;
    }
  }
  return true;
}

template <typename Pixel>
std::int32_t RenderOblique(WipeFrame<Pixel>& frame, const StripTable& table) {
  if (!table.spans.empty()) {
    const FrameGeometry& geometry = frame.geometry;
    const ObliqueFrame oblique{PlaceFront(frame.settings, geometry, table, frame.host),
                               frame.settings.width,
                               frame.settings.direction_mode == kToLeft,
                               geometry.across_axis,
                               geometry.along_axis,
                               geometry.across_min,
                               geometry.along_min};
    for (std::int32_t y = 0; y < frame.height; ++y) {
      for (std::int32_t x = 0; x < frame.width; ++x) {
        PixelDecision decision;
        if (ObliquePixel(oblique, x, y, frame.host, decision)) FinishPixel(frame, x, y, decision);
      }
      frame.host.ReportProgress(y, frame.height);
    }
    return frame.sample_error;
  }
  // A single pixel has no strip and so no front: it keeps the input copy.
  for (std::int32_t y = 0; y < frame.height; ++y) frame.host.ReportProgress(y, frame.height);
  return kErrNone;
}

template std::int32_t RenderOblique(WipeFrame<Pixel8>&, const StripTable&);
template std::int32_t RenderOblique(WipeFrame<Pixel16>&, const StripTable&);
template std::int32_t RenderOblique(WipeFrame<PixelFloat>&, const StripTable&);

}  // namespace quillmarch
