// The two commands: one frame, or the whole transition with its previews.
#pragma once

#include <cstdio>
#include <functional>

#include "tools/image_io.h"
#include "tools/options.h"

namespace quillmarch::tool {

/// The input image, or the built-in card when there is none (8-bit unless
/// --depth says otherwise).
Image LoadInput(const ToolOptions& options);

/// One frame as the module renders it: the input copied into `output`
/// (whose storage is reused when it has the input's size), then RenderWipe
/// with the settings derived from `params`. `row_done` is told after every
/// row and may be empty.
void RenderFrame(const Image& input, const RawParams& params,
                 const std::function<void(std::int32_t row, std::int32_t rows)>& row_done,
                 Image& output);

/// Runs a parsed command. Throws ToolError; on success prints the summary
/// line to `summary` unless quiet, and a progress bar to `progress` when it
/// is a terminal.
void RunCommand(const ToolOptions& options, std::FILE* summary, std::FILE* progress);

}  // namespace quillmarch::tool
