#include "tests/engine/test_support.h"

#include <cmath>
#include <cstring>

namespace quillmarch {

bool operator==(const PixelFloat& a, const PixelFloat& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace quillmarch

namespace quillmarch::testing {

WipeSettings Settings(std::int32_t mode, double completion, double width,
                      std::int32_t direction_mode, double degrees, std::int32_t displace) {
  auto fixed = [](double value) { return static_cast<Fixed>(std::lround(value * 65536.0)); };
  WipeSettings settings =
      DeriveWipeSettings(1, 1, mode, 0, width, direction_mode, fixed(degrees), displace,
                         [](double x, double y) { return std::fmod(x, y); });
  settings.completion = completion;
  return settings;
}

}  // namespace quillmarch::testing
