// The wipe engine: erases an image strip by strip along a direction.
//
// The engine never talks to a host. It works on plain image views and takes
// every service it needs (sampling, progress, maths) from a `WipeHost`, so the
// same code runs inside the module, in the preview tool and in the tests.
#pragma once

#include <cstdint>

namespace quillmarch {

/// Signed 16.16 fixed point, 65536 = 1.0. The host's type for slider and
/// angle values, and the engine's type for sample positions: the pixel in
/// column x, row y sits at (x * 65536, y * 65536).
using Fixed = std::int32_t;

/// Selects the pixel record of an image.
enum class PixelDepth : std::int32_t { Depth8 = 0, Depth16 = 1, DepthFloat = 2 };

/// "Mode": how the completion is shared out between strips.
enum WipeMode : std::int32_t { kModeNormal = 1, kModeConstant = 2 };

/// "Direction Mode": from which end of a strip the erasing front starts.
enum DirectionMode : std::int32_t { kToRight = 1, kToLeft = 2 };

/// Engine status codes; they are the host's error codes.
enum : std::int32_t {
  kErrNone = 0,
  kErrOutOfMemory = 4,
  kErrBadParameter = 516,
};

/// One pixel: alpha first, then red, green, blue.
struct Pixel8 {
  std::uint8_t alpha, red, green, blue;
};
struct Pixel16 {
  std::uint16_t alpha, red, green, blue;
};
struct PixelFloat {
  float alpha, red, green, blue;
};

/// One image as the engine sees it. The engine never owns the pixels and
/// never touches the records between `width` and `stride` at a row's end.
struct WorldView {
  void* base = nullptr;  ///< pixel record of column 0, row 0
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;  ///< pixel records from one row to the next
  PixelDepth depth = PixelDepth::Depth8;
};

/// The per-frame settings, in the engine's units. Made by DeriveWipeSettings
/// and never changed afterwards. The field order is the record's layout.
struct WipeSettings {
  double scale;                 ///< horizontal downsample factor (not read by the engine)
  std::int32_t mode;            ///< WipeMode
  double completion;            ///< fraction done, 0.0 to 1.0
  double width;                 ///< strip width in rendered pixels, at least 1.0
  std::int32_t quadrant;        ///< 1 to 4: quarter of the circle holding the direction
  std::int32_t direction_mode;  ///< DirectionMode
  std::uint8_t axis_aligned;    ///< 1 at exactly 0, 90, 180 or 270 degrees
  double angle;                 ///< direction in radians, [0, 2 pi)
  std::int32_t displace;        ///< non-zero: content slides with the front
};

/// Derives the frame's settings from the raw parameter values, as the host
/// stores them. `remainder` is the C library's fmod or the host's own.
/// Never fails; values the host should never send are caught by RenderWipe.
WipeSettings DeriveWipeSettings(std::int32_t downsample_num, std::uint32_t downsample_den,
                                std::int32_t mode_value, Fixed completion_value, double width_value,
                                std::int32_t direction_mode_value, Fixed direction_value,
                                std::int32_t displace_value, double (*remainder)(double, double));

/// The services the engine takes from its caller. Sampling is always from
/// the frame's input image, at positions already folded inside it.
class WipeHost {
 public:
  /// Fills `pixel` with the input pixel nearest to (x, y); 0 on success.
  virtual std::int32_t SampleNearest(Fixed x, Fixed y, Pixel8& pixel) = 0;
  virtual std::int32_t SampleNearest(Fixed x, Fixed y, Pixel16& pixel) = 0;
  virtual std::int32_t SampleNearest(Fixed x, Fixed y, PixelFloat& pixel) = 0;
  /// Told after each finished row; the result is ignored.
  virtual std::int32_t ReportProgress(std::int32_t count, std::int32_t total) = 0;

  virtual double Sin(double radians) = 0;
  virtual double Cos(double radians) = 0;
  virtual double Tan(double radians) = 0;
  virtual double Ceil(double value) = 0;
  virtual double Floor(double value) = 0;
  virtual double Fmod(double x, double y) = 0;

  virtual ~WipeHost() = default;
};

/// Renders one frame of the wipe into `output`, which holds a copy of `input`
/// on entry and has its size and depth. Returns 0, the first failing sample's
/// code, kErrOutOfMemory when the strip table cannot be allocated, or
/// kErrBadParameter for settings or views no host can send (the output is
/// then left as the copy). Exceptions thrown by `host` pass through.
std::int32_t RenderWipe(const WipeSettings& settings, const WorldView& input,
                        const WorldView& output, WipeHost& host);

}  // namespace quillmarch
