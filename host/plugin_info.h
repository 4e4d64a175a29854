// What the effect tells the host about itself at run time. The description
// resource carries the same version and flag words; a test holds them equal.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

namespace quillmarch {

/// Version 1.0, fix level 0, stage release (3), build 1, in the host's
/// encoding: version << 19 | sub-version << 15 | fix << 11 | stage << 9 | build.
inline constexpr std::uint32_t kPluginVersion =
    (1u << 19) | (0u << 15) | (0u << 11) | (3u << 9) | 1u;
static_assert(kPluginVersion == 0x80601);

inline constexpr std::int32_t kGlobalOutFlags =
    PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DEEP_COLOR_AWARE;
inline constexpr std::int32_t kGlobalOutFlags2 =
    PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;

inline constexpr const char* kPluginName = "Quillmarch";
inline constexpr const char* kPluginDescription = "Zezuzoreduz!";
inline constexpr const char* kRegistrationName = "Error!";

/// The plug-in's own code for images whose sizes do not fit together.
inline constexpr PF_Err kErrImageSizes = 255;

/// Contents of the global data handle; the host keeps it, nobody reads it.
struct GlobalData {
  std::uint8_t initialized;
  std::int32_t plugin_id;
};

/// Contents of the sequence data handle.
struct SequenceData {
  std::uint8_t value;
};

}  // namespace quillmarch
