// The built-in picture for runs without an input file.
#pragma once

#include <cstdint>

#include "tools/image_io.h"

namespace quillmarch::tool {

inline constexpr std::int32_t kTestCardWidth = 960;
inline constexpr std::int32_t kTestCardHeight = 540;

/// A colourful, text-free test card with soft edges: a hue sweep under a
/// grid of soft lines and a few soft discs, fading to fully transparent in
/// the top right corner. Computed in double and then stored at `depth`
/// (rounded to nearest for 8 and 16 bits), so every depth shows one picture.
Image MakeTestCard(PixelDepth depth, std::int32_t width = kTestCardWidth,
                   std::int32_t height = kTestCardHeight);

}  // namespace quillmarch::tool
