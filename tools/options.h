// The preview tool's command line: the two commands and their options, turned
// into the raw parameter values that the host would hand the effect.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/wipe_engine.h"

namespace quillmarch::tool {

/// Bad input of any kind (command line, files, formats). The message says
/// what and where; main() prints it and exits with status 2.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A path in quotes, for messages.
std::string Quoted(const std::string& path);

/// The six parameters and the downsample factor exactly as the host stores
/// them: popups as 1-based choices, Completion and Direction as Fixed,
/// Width as a double in full-resolution pixels, Displace as 0 or 1.
struct RawParams {
  std::int32_t downsample_num = 1;
  std::uint32_t downsample_den = 1;
  std::int32_t mode = kModeNormal;
  Fixed completion = 0;
  double width = 20.0;
  std::int32_t direction_mode = kToRight;
  Fixed direction = 90 * 65536;
  std::int32_t displace = 1;
};

/// The settings the module would derive from `params`, with the C library's
/// fmod as the remainder.
WipeSettings DeriveSettings(const RawParams& params);

/// A depth asked for with --depth; without it the input file decides.
enum class DepthChoice { kFromInput, k8, k16, kFloat };

enum class Command { kRender, kSequence };

struct ToolOptions {
  Command command = Command::kRender;
  std::optional<std::string> input;  ///< empty: the built-in test card
  std::string output;                ///< OUT for render, OUTDIR for sequence
  RawParams params;                  ///< render: completion from --completion
  DepthChoice depth = DepthChoice::kFromInput;
  std::int32_t frames = 12;
  double from_percent = 0.0;  ///< sequence: completion of the first frame
  double to_percent = 100.0;  ///< sequence: completion of the last frame
  bool quiet = false;
};

/// What the command line asks for: either options to run, or a help text to
/// print (with status 0).
struct ParsedCommandLine {
  std::optional<ToolOptions> options;
  std::string help;
};

/// Parses the arguments after the program name. Throws ToolError with a
/// message naming the option, the value and the accepted range or choices.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

/// A slider or angle value as the host stores it: value × 65536, rounded to
/// nearest, halves away from zero. Throws ToolError naming `option` and
/// `text` (the value as typed) when the result does not fit 32 bits.
Fixed ToFixed(double value, const std::string& option, const std::string& text);

/// Completion of frame `index` of `count`, evenly from `from` to `to` percent,
/// both ends exact.
double SequencePercent(double from, double to, std::int32_t index, std::int32_t count);

}  // namespace quillmarch::tool
