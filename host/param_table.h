// The effect's six parameters: one table for parameter setup, the preview
// tool's options and the tests. Plain data, no host types, so that code
// without the host (the preview tool) can use it too.
#pragma once

#include <cstdint>

namespace quillmarch {

/// Parameter indices as the host numbers them; 0 is the input layer.
enum ParamIndex : std::int32_t {
  kParamInput = 0,
  kParamMode = 1,
  kParamCompletion = 2,
  kParamWidth = 3,
  kParamDirectionMode = 4,
  kParamDirection = 5,
  kParamDisplace = 6,
  kParamCount = 7,  ///< what the host is told, input layer included
};

enum class ParamKind { kPopup, kFixedSlider, kFloatSlider, kAngle, kCheckbox };

/// One user parameter. Ranges and defaults are in the parameter's own unit:
/// popups by 1-based choice, Completion in percent, Width in pixels at full
/// resolution, Direction in degrees, Displace as 0 or 1. A range of 0 to 0
/// means unbounded.
struct ParamSpec {
  ParamIndex index;
  const char* name;
  ParamKind kind;
  double valid_min;
  double valid_max;
  double slider_min;
  double slider_max;
  double default_value;
  std::int16_t precision;      ///< decimal places shown (sliders)
  std::int16_t display_flags;  ///< 1 = shown as a percentage
  const char* choices;         ///< popups: entries separated by '|'
  std::int16_t choice_count;   ///< popups
  float curve_tolerance;       ///< Width slider
};

inline constexpr ParamSpec kParamSpecs[] = {
    {kParamMode, "Mode", ParamKind::kPopup, 1, 2, 1, 2, 1, 0, 0, "Normal|Constant", 2, 0.0f},
    {kParamCompletion, "Completion", ParamKind::kFixedSlider, 0, 100, 0, 100, 0, 1, 1, nullptr, 0,
     0.0f},
    {kParamWidth, "Width", ParamKind::kFloatSlider, 4, 1000, 4, 100, 20, 2, 0, nullptr, 0, 0.05f},
    {kParamDirectionMode, "Direction Mode", ParamKind::kPopup, 1, 2, 1, 2, 1, 0, 0,
     "To Right|To Left", 2, 0.0f},
    {kParamDirection, "Direction", ParamKind::kAngle, 0, 0, 0, 0, 90, 0, 0, nullptr, 0, 0.0f},
    {kParamDisplace, "Displace", ParamKind::kCheckbox, 0, 1, 0, 1, 1, 0, 0, nullptr, 0, 0.0f},
};

/// The table row of a user parameter, by host index 1 to 6.
constexpr const ParamSpec& ParamSpecFor(ParamIndex index) { return kParamSpecs[index - 1]; }

}  // namespace quillmarch
