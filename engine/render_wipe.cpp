#include <cmath>
#include <new>

#include "engine/axis_aligned.h"
#include "engine/frame_geometry.h"
#include "engine/oblique.h"
#include "engine/pixel_ops.h"
#include "engine/strip_table.h"
#include "engine/wipe_engine.h"

namespace quillmarch {
namespace {

// The nearest 16.16 value, halves away from zero.
Fixed ToFixedStep(double component) {
  const double scaled = component * 65536.0;
  return static_cast<Fixed>(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
}

bool IsMode(std::int32_t value) { return value == 1 || value == 2; }

// Settings and views that no host sends, caught before any of them can reach
// a float-to-integer conversion or an index.
bool IsRenderable(const WipeSettings& settings, const WorldView& input, const WorldView& output) {
  const bool settings_ok = IsMode(settings.mode) && IsMode(settings.direction_mode) &&
                           settings.quadrant >= 1 && settings.quadrant <= 4 &&
                           std::isfinite(settings.scale) && settings.scale > 0.0 &&
                           std::isfinite(settings.width) && settings.width >= 1.0 &&
                           std::isfinite(settings.angle) && !std::isnan(settings.completion);
  auto view_ok = [](const WorldView& view) {
    return view.base != nullptr && view.width >= 0 && view.height >= 0 && view.stride >= view.width;
  };
  return settings_ok && view_ok(input) && view_ok(output) && input.depth == output.depth &&
         input.width == output.width && input.height == output.height;
}

bool IsFinite(const FrameGeometry& g) {
  return std::isfinite(g.along_min) && std::isfinite(g.along_extent) &&
         std::isfinite(g.across_min) && std::isfinite(g.across_extent) &&
         std::isfinite(g.strip_count);
}

template <typename Pixel>
void EraseAll(WipeFrame<Pixel>& frame) {
  for (std::int32_t y = 0; y < frame.height; ++y) {
    for (std::int32_t x = 0; x < frame.width; ++x) frame.At(x, y).alpha = 0;
  }
}

template <typename Pixel>
std::int32_t Render(const WipeSettings& settings, const FrameGeometry& geometry,
                    const WorldView& input, const WorldView& output, WipeHost& host) {
  WipeFrame<Pixel> frame{settings,      geometry,    static_cast<Pixel*>(output.base),
                         output.stride, input.width, input.height,
                         host};
  if (settings.axis_aligned != 0) return RenderAxisAligned(frame);
  if (settings.completion == 0.0) return kErrNone;
  if (settings.completion == 1.0) {
    EraseAll(frame);
    return kErrNone;
  }
  // The strip count bounds the table; a host whose maths went astray must
  // not turn it into a huge or negative allocation.
  if (!(geometry.strip_count <= 2147483647.0)) return kErrBadParameter;
  StripTable table;
  try {
    table = BuildStripTable(settings, geometry, input.width, input.height, host);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return RenderOblique(frame, table);
}

}  // namespace

FrameGeometry ComputeFrameGeometry(const WipeSettings& settings, std::int32_t width,
                                   std::int32_t height, WipeHost& host) {
  FrameGeometry g{};
  const double s = host.Sin(settings.angle);
  const double c = host.Cos(settings.angle);
  g.along_axis = {s, -c};
  g.across_axis = {c, s};

  const double last_x = static_cast<double>(width - 1);
  const double last_y = static_cast<double>(height - 1);
  const Vector corners[4] = {{0.0, 0.0}, {last_x, 0.0}, {last_x, last_y}, {0.0, last_y}};
  auto extremes = [&](Vector axis, double& least, double& greatest) {
    least = greatest = Dot(corners[0], axis);
    for (int i = 1; i < 4; ++i) {
      const double p = Dot(corners[i], axis);
      if (p < least) least = p;
      if (p > greatest) greatest = p;
    }
  };
  extremes(g.along_axis, g.along_min, g.along_max);
  extremes(g.across_axis, g.across_min, g.across_max);
  g.along_extent = g.along_max - g.along_min;
  g.across_extent = g.across_max - g.across_min;
  g.strip_count = host.Ceil(g.across_extent / settings.width);

  g.displace_step = {ToFixedStep(g.along_axis.x), ToFixedStep(g.along_axis.y)};
  if (settings.direction_mode == kToRight) {
    g.displace_step = {-g.displace_step.x, -g.displace_step.y};
  }
  return g;
}

std::int32_t RenderWipe(const WipeSettings& settings, const WorldView& input,
                        const WorldView& output, WipeHost& host) {
  if (!IsRenderable(settings, input, output)) return kErrBadParameter;
  if (input.width == 0 || input.height == 0) return kErrNone;

  // A completion outside [0, 1] only comes from a raw value beyond 0 to 100
  // percent; it means "not started" or "done".
  WipeSettings clamped = settings;
  if (clamped.completion < 0.0) clamped.completion = 0.0;
  if (clamped.completion > 1.0) clamped.completion = 1.0;

  const FrameGeometry geometry = ComputeFrameGeometry(clamped, input.width, input.height, host);
  if (!IsFinite(geometry)) return kErrBadParameter;

  switch (input.depth) {
    case PixelDepth::Depth8:
      return Render<Pixel8>(clamped, geometry, input, output, host);
    case PixelDepth::Depth16:
      return Render<Pixel16>(clamped, geometry, input, output, host);
    case PixelDepth::DepthFloat:
      return Render<PixelFloat>(clamped, geometry, input, output, host);
  }
  return kErrBadParameter;
}

}  // namespace quillmarch
