#include "engine/strip_table.h"

#include "engine/pixel_ops.h"

namespace quillmarch {
namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
constexpr double kThreeHalvesPi = 4.71238898038469;

enum class Edge { kLeft, kTop, kRight, kBottom };

// One side of the boundaries: the edge their points run along until they
// pass the side's corner, the edge after it, and which way the free
// coordinate of the first-edge point crosses the corner.
struct Side {
  Edge first;
  Edge second;
  bool passes_above;  ///< passed when beyond the far limit, else when below 0
};

struct Quadrant {
  Side start;
  Side end;
};

// Indexed by quadrant - 1.
constexpr Quadrant kQuadrants[] = {
    {{Edge::kLeft, Edge::kBottom, true}, {Edge::kTop, Edge::kRight, true}},
    {{Edge::kTop, Edge::kLeft, false}, {Edge::kRight, Edge::kBottom, true}},
    {{Edge::kRight, Edge::kTop, false}, {Edge::kBottom, Edge::kLeft, false}},
    {{Edge::kBottom, Edge::kRight, true}, {Edge::kLeft, Edge::kTop, false}},
};

// The boundary lines y = slope * x + c(k) and where they meet the image.
class Boundaries {
 public:
  Boundaries(const WipeSettings& settings, const FrameGeometry& geometry, double last_x,
             double last_y, WipeHost& host)
      : quadrant_(settings.quadrant),
        last_x_(last_x),
        last_y_(last_y),
        along_axis_(geometry.along_axis),
        along_min_(geometry.along_min) {
    const double a = settings.angle;
    const double w = settings.width;
    switch (quadrant_) {
      case 1:
        slope_ = -host.Tan(kHalfPi - a);
        spacing_ = w / host.Sin(a);
        break;
      case 2:
        slope_ = host.Tan(a - kHalfPi);
        spacing_ = w / host.Cos(a - kHalfPi);
        break;
      case 3:
        slope_ = -host.Tan(kThreeHalvesPi - a);
        spacing_ = w / host.Cos(kThreeHalvesPi - a);
        break;
      default:
        slope_ = host.Tan((a - kHalfPi) - kPi);
        spacing_ = w / host.Cos((a - kHalfPi) - kPi);
        break;
    }
  }

  /// Where boundary k meets the line x = 0.
  double Intercept(std::int32_t k) const {
    const double kd = static_cast<double>(k);
    switch (quadrant_) {
      case 1:
        return kd * spacing_;
      case 2:
        return (-slope_) * last_x_ + kd * spacing_;
      case 3:
        return (last_y_ - last_x_ * slope_) - kd * spacing_;
      default:
        return last_y_ - kd * spacing_;
    }
  }

  /// The point where the boundary with intercept c meets an edge.
  Vector PointOn(Edge edge, double c) const {
    switch (edge) {
      case Edge::kLeft:
        return {0.0, c};
      case Edge::kTop:
        return {-c / slope_, 0.0};
      case Edge::kRight:
        return {last_x_, slope_ * last_x_ + c};
      case Edge::kBottom:
        return {(last_y_ - c) / slope_, last_y_};
    }
    return {0.0, 0.0};
  }

  /// Whether a point on `side.first` lies past the side's corner.
  bool Passed(const Side& side, Vector point) const {
    const bool vertical_edge = side.first == Edge::kLeft || side.first == Edge::kRight;
    const double free = vertical_edge ? point.y : point.x;
    const double limit = vertical_edge ? last_y_ : last_x_;
    return side.passes_above ? free > limit : free < 0.0;
  }

  double AlongPosition(Vector point) const {
    return DotXY(point.x, point.y, along_axis_) - along_min_;
  }

 private:
  std::int32_t quadrant_;
  double last_x_, last_y_;
  Vector along_axis_;
  double along_min_;
  double slope_ = 0.0;
  double spacing_ = 0.0;
};

}  // namespace

StripTable BuildStripTable(const WipeSettings& settings, const FrameGeometry& geometry,
                           std::int32_t width, std::int32_t height, WipeHost& host) {
  const auto count = static_cast<std::int32_t>(geometry.strip_count);
  StripTable table;
  table.spans.assign(static_cast<std::size_t>(count), StripSpan{0.0, 0.0});
  if (count == 0) return table;

  const Boundaries lines(settings, geometry, static_cast<double>(width - 1),
                         static_cast<double>(height - 1), host);
  const Quadrant& quadrant = kQuadrants[settings.quadrant - 1];
  std::vector<StripSpan>& spans = table.spans;

  // A strip's least along position comes from its later boundary while the
  // points run along the first edge (falling towards the corner), and from
  // its earlier boundary once they have passed onto the second edge (rising
  // away from it). The end side is the mirror image.
  bool start_corner_passed = false;
  bool end_corner_passed = false;
  for (std::int32_t i = 0; i + 1 < count; ++i) {
    const double c = lines.Intercept(i + 1);
    auto advance = [&](const Side& side, bool& corner_passed, double StripSpan::*field,
                       double corner_value) {
      if (!corner_passed) {
        const Vector point = lines.PointOn(side.first, c);
        if (!lines.Passed(side, point)) {
          spans[i].*field = lines.AlongPosition(point);
          return;
        }
        corner_passed = true;
        spans[i].*field = corner_value;
      }
      spans[i + 1].*field = lines.AlongPosition(lines.PointOn(side.second, c));
    };
    advance(quadrant.start, start_corner_passed, &StripSpan::start, 0.0);
    advance(quadrant.end, end_corner_passed, &StripSpan::end, geometry.along_extent);
  }
  // A corner no boundary passed lies in the last strip.
  if (!start_corner_passed) spans[count - 1].start = 0.0;
  if (!end_corner_passed) spans[count - 1].end = geometry.along_extent;

  for (const StripSpan& span : spans) {
    table.total_length = (span.end - span.start) + table.total_length;
  }
  return table;
}

}  // namespace quillmarch
