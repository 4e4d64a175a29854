#include <cstring>

#include "engine/wipe_engine.h"

namespace quillmarch {

WipeSettings DeriveWipeSettings(std::int32_t downsample_num, std::uint32_t downsample_den,
                                std::int32_t mode_value, Fixed completion_value, double width_value,
                                std::int32_t direction_mode_value, Fixed direction_value,
                                std::int32_t displace_value, double (*remainder)(double, double)) {
  WipeSettings settings;
  // Cleared as bytes, padding included: the record travels in a host handle.
  std::memset(&settings, 0, sizeof settings);

  settings.scale = static_cast<double>(downsample_num) / static_cast<double>(downsample_den);
  settings.mode = mode_value;
  // Divide first, then scale by the double 0.01: that order makes 100 percent
  // exactly 1.0, which the engine tests with equality.
  settings.completion = (static_cast<double>(completion_value) / 65536.0) * 0.01;
  settings.width = width_value * settings.scale;
  if (settings.width < 1.0) settings.width = 1.0;
  settings.direction_mode = direction_mode_value;

  double degrees = static_cast<double>(direction_value) / 65536.0;
  degrees = remainder(degrees, 360.0);
  // A negative zero (from -360 degrees) is not below zero and stays; it
  // compares equal to 0 everywhere below.
  if (degrees < 0.0) degrees = degrees + 360.0;

  if (degrees < 90.0) {
    settings.quadrant = 1;
  } else if (degrees < 180.0) {
    settings.quadrant = 2;
  } else if (degrees < 270.0) {
    settings.quadrant = 3;
  } else {
    settings.quadrant = 4;
  }
  settings.axis_aligned =
      (degrees == 0.0 || degrees == 90.0 || degrees == 180.0 || degrees == 270.0) ? 1 : 0;
  settings.angle = degrees * 0.017453292519943295;
  settings.displace = displace_value;
  return settings;
}

}  // namespace quillmarch
