#include "tools/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

#include "host/param_table.h"

namespace quillmarch::tool {
namespace {

double Remainder(double x, double y) { return std::fmod(x, y); }

// Option names and choice words come from the parameter table, so that the
// tool cannot drift from what the host shows: "Direction Mode" becomes
// "direction-mode", the choice "To Right" becomes "to-right".
std::string Slug(std::string_view text) {
  std::string slug;
  for (const char c : text) {
    if (c == ' ') {
      slug += '-';
    } else if (c >= 'A' && c <= 'Z') {
      slug += static_cast<char>(c - 'A' + 'a');
    } else {
      slug += c;
    }
  }
  return slug;
}

std::string OptionName(ParamIndex index) { return "--" + Slug(ParamSpecFor(index).name); }

std::vector<std::string> ChoiceWords(ParamIndex index) {
  const std::string_view choices = ParamSpecFor(index).choices;
  std::vector<std::string> words;
  std::size_t begin = 0;
  while (begin <= choices.size()) {
    const std::size_t bar = std::min(choices.find('|', begin), choices.size());
    words.push_back(Slug(choices.substr(begin, bar - begin)));
    begin = bar + 1;
  }
  return words;
}

std::string Join(const std::vector<std::string>& words, std::string_view separator) {
  std::string joined;
  for (const auto& word : words) {
    if (!joined.empty()) joined += separator;
    joined += word;
  }
  return joined;
}

// Shortest text that reads back as the same double: "4", "1000", "0.5".
std::string FormatNumber(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string RangeText(double low, double high) {
  return FormatNumber(low) + " to " + FormatNumber(high);
}

double ParseNumber(const std::string& option, const std::string& text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
    throw ToolError(option + " " + text + " is not a number");
  }
  if (!std::isfinite(value)) throw ToolError(option + " " + text + " is not a finite number");
  return value;
}

double ParseInRange(const std::string& option, const std::string& text, double low, double high) {
  const double value = ParseNumber(option, text);
  if (value < low || value > high) {
    throw ToolError(option + " " + text + " is out of range (" + RangeText(low, high) + ")");
  }
  return value;
}

double ParseSliderValue(const std::string& option, const std::string& text, ParamIndex index) {
  const ParamSpec& spec = ParamSpecFor(index);
  return ParseInRange(option, text, spec.valid_min, spec.valid_max);
}

// A popup's 1-based choice, or the checkbox's 0 or 1 for "off" and "on".
std::int32_t ParseChoice(const std::string& option, const std::string& text,
                         const std::vector<std::string>& words, std::int32_t first_value) {
  const auto found = std::find(words.begin(), words.end(), text);
  if (found == words.end()) {
    throw ToolError(option + " " + text + " is not one of: " + Join(words, ", "));
  }
  return first_value + static_cast<std::int32_t>(found - words.begin());
}

void ParseDownsample(const std::string& text, RawParams& params) {
  const std::string message = "--downsample " + text +
                              " is not a downsample factor N/D with 1 <= N <= D (for "
                              "example 1/2 for half resolution)";
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) throw ToolError(message);
  std::uint32_t num = 0;
  std::uint32_t den = 0;
  const char* const begin = text.data();
  const char* const end = text.data() + text.size();
  const auto num_result = std::from_chars(begin, begin + slash, num);
  const auto den_result = std::from_chars(begin + slash + 1, end, den);
  if (num_result.ec != std::errc() || num_result.ptr != begin + slash ||
      den_result.ec != std::errc() || den_result.ptr != end || num < 1 || num > den ||
      num > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    throw ToolError(message);
  }
  params.downsample_num = static_cast<std::int32_t>(num);
  params.downsample_den = den;
}

std::int32_t ParseFrames(const std::string& text) {
  constexpr std::int32_t kMostFrames = 9999;  // four-digit frame numbers
  std::int32_t frames = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), frames);
  if (text.empty() || result.ec == std::errc::invalid_argument ||
      result.ptr != text.data() + text.size()) {
    throw ToolError("--frames " + text + " is not a whole number");
  }
  if (result.ec != std::errc() || frames < 1 || frames > kMostFrames) {
    throw ToolError("--frames " + text + " is out of range (1 to " + std::to_string(kMostFrames) +
                    ")");
  }
  return frames;
}

// The option texts as typed; empty means "not given", so the table's
// default applies.
struct OptionTexts {
  std::string mode, completion, width, direction_mode, direction, displace, downsample, depth,
      frames, from, to;
  std::vector<std::string> paths;
  bool quiet = false;
};

// CLI11 2.1 prints no default for an option kept as text, so the help says
// it in the description.
void ShowDefaults(CLI::App& command) {
  for (CLI::Option* option : command.get_options()) {
    if (!option->get_default_str().empty()) {
      option->description(option->get_description() + " (default " + option->get_default_str() +
                          ")");
    }
  }
}

void AddEffectOptions(CLI::App& command, OptionTexts& texts, bool with_completion) {
  auto choice_help = [](ParamIndex index) {
    const auto words = ChoiceWords(index);
    return std::pair{Join(words, "|"),
                     words[static_cast<std::size_t>(ParamSpecFor(index).default_value - 1)]};
  };
  const auto [mode_words, mode_default] = choice_help(kParamMode);
  command
      .add_option(OptionName(kParamMode), texts.mode,
                  "how the completion is shared out between strips")
      ->option_text(mode_words)
      ->default_str(mode_default);
  if (with_completion) {
    const ParamSpec& completion = ParamSpecFor(kParamCompletion);
    command
        .add_option(OptionName(kParamCompletion), texts.completion,
                    "how much of the transition is done, in percent, " +
                        RangeText(completion.valid_min, completion.valid_max))
        ->option_text("PERCENT")
        ->default_str(FormatNumber(completion.default_value));
  }
  const ParamSpec& width = ParamSpecFor(kParamWidth);
  command
      .add_option(
          OptionName(kParamWidth), texts.width,
          "strip width in full-resolution pixels, " + RangeText(width.valid_min, width.valid_max))
      ->option_text("PIXELS")
      ->default_str(FormatNumber(width.default_value));
  const auto [direction_mode_words, direction_mode_default] = choice_help(kParamDirectionMode);
  command
      .add_option(OptionName(kParamDirectionMode), texts.direction_mode,
                  "from which end of a strip the erasing front starts")
      ->option_text(direction_mode_words)
      ->default_str(direction_mode_default);
  command
      .add_option(OptionName(kParamDirection), texts.direction,
                  "direction of the wipe in degrees, any angle (0 is up, 90 right)")
      ->option_text("DEGREES")
      ->default_str(FormatNumber(ParamSpecFor(kParamDirection).default_value));
  command
      .add_option(OptionName(kParamDisplace), texts.displace,
                  "slide the rest of the strip in progress along with the front")
      ->option_text("on|off")
      ->default_str(ParamSpecFor(kParamDisplace).default_value != 0 ? "on" : "off");
  command
      .add_option("--downsample", texts.downsample,
                  "the host's horizontal downsample factor; the input is taken as already "
                  "downsampled")
      ->option_text("N/D")
      ->default_str("1/1");
  command
      .add_option("--depth", texts.depth,
                  "render at this depth instead of the input's (8-bit and 16-bit files render "
                  "at their depth, half and float at float; the built-in card at 8)")
      ->option_text("8|16|float");
  command.add_flag("-q,--quiet", texts.quiet, "no progress bar and no summary");
}

void ApplyEffectOptions(const OptionTexts& texts, ToolOptions& options) {
  RawParams& params = options.params;
  if (!texts.mode.empty()) {
    params.mode = ParseChoice(OptionName(kParamMode), texts.mode, ChoiceWords(kParamMode), 1);
  }
  if (!texts.width.empty()) {
    params.width = ParseSliderValue(OptionName(kParamWidth), texts.width, kParamWidth);
  }
  if (!texts.direction_mode.empty()) {
    params.direction_mode = ParseChoice(OptionName(kParamDirectionMode), texts.direction_mode,
                                        ChoiceWords(kParamDirectionMode), 1);
  }
  if (!texts.direction.empty()) {
    const std::string option = OptionName(kParamDirection);
    params.direction = ToFixed(ParseNumber(option, texts.direction), option, texts.direction);
  }
  if (!texts.displace.empty()) {
    params.displace = ParseChoice(OptionName(kParamDisplace), texts.displace, {"off", "on"}, 0);
  }
  if (!texts.downsample.empty()) ParseDownsample(texts.downsample, params);
  if (!texts.depth.empty()) {
    const std::int32_t depth = ParseChoice("--depth", texts.depth, {"8", "16", "float"}, 1);
    options.depth = depth == 1   ? DepthChoice::k8
                    : depth == 2 ? DepthChoice::k16
                                 : DepthChoice::kFloat;
  }
  options.quiet = texts.quiet;
}

void ApplyPaths(const std::vector<std::string>& paths, const std::string& usage,
                ToolOptions& options) {
  if (paths.empty() || paths.size() > 2) {
    throw ToolError("expected " + usage + ", got " + std::to_string(paths.size()) + " paths");
  }
  for (const auto& path : paths) {
    if (path.empty()) throw ToolError("an empty path was given; expected " + usage);
  }
  if (paths.size() == 2) options.input = paths[0];
  options.output = paths.back();
}

}  // namespace

std::string Quoted(const std::string& path) {
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
  // "'" + path + "'".
  std::string quoted;
  quoted.reserve(path.size() + 2);
  quoted += '\'';
  quoted += path;
  quoted += '\'';
  return quoted;
}

WipeSettings DeriveSettings(const RawParams& params) {
  return DeriveWipeSettings(params.downsample_num, params.downsample_den, params.mode,
                            params.completion, params.width, params.direction_mode,
                            params.direction, params.displace, &Remainder);
}

Fixed ToFixed(double value, const std::string& option, const std::string& text) {
  constexpr double kLeast = static_cast<double>(std::numeric_limits<Fixed>::min());
  constexpr double kMost = static_cast<double>(std::numeric_limits<Fixed>::max());
  const double scaled = std::round(value * 65536.0);
  if (!(scaled >= kLeast && scaled <= kMost)) {
    throw ToolError(option + " " + text + " does not fit the host's 16.16 fixed point (" +
                    RangeText(kLeast / 65536.0, kMost / 65536.0) + ")");
  }
  return static_cast<Fixed>(scaled);
}

double SequencePercent(double from, double to, std::int32_t index, std::int32_t count) {
  if (count <= 1) return from;
  // lerp is exact at both ends, so the last frame is --to and not a hair off.
  return std::lerp(from, to, static_cast<double>(index) / static_cast<double>(count - 1));
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CLI::App app{
      "Renders the Quillmarch strip wipe over an image, exactly as the module does, at 8 "
      "bits, 16 bits or float. Without IN a built-in 960 x 540 test card is used.",
      "quillmarch"};
  app.set_version_flag("--version", "quillmarch 1.0");
  app.require_subcommand(1);
  app.footer(
      "Pixel values pass through as stored: RGBA in files, no premultiplication or colour "
      "conversion. An input without alpha gets an opaque one.");

  OptionTexts texts;
  CLI::App* render = app.add_subcommand("render", "render one frame: quillmarch render [IN] OUT");
  render->add_option("files", texts.paths, "input image (optional) and output image")
      ->option_text("[IN] OUT");
  AddEffectOptions(*render, texts, true);
  render->footer(
      "OUT's extension picks the format: .png (8 or 16 bits), .tif (8, 16 or float) or .exr "
      "(always written as 32-bit float).");

  CLI::App* sequence = app.add_subcommand(
      "sequence", "render the transition as numbered frames with a contact sheet and a GIF");
  sequence->add_option("files", texts.paths, "input image (optional) and output folder")
      ->option_text("[IN] OUTDIR");
  AddEffectOptions(*sequence, texts, false);
  sequence->add_option("--frames", texts.frames, "number of frames, 1 to 9999")
      ->option_text("N")
      ->default_str("12");
  sequence->add_option("--from", texts.from, "completion of the first frame, in percent")
      ->option_text("PERCENT")
      ->default_str("0");
  sequence->add_option("--to", texts.to, "completion of the last frame, in percent")
      ->option_text("PERCENT")
      ->default_str("100");
  sequence->footer(
      "Writes OUTDIR/frame-0001.png ... (.exr at float depth), OUTDIR/contact-sheet.png and "
      "OUTDIR/preview.gif; the previews are 8-bit at every depth.");

  ShowDefaults(*render);
  ShowDefaults(*sequence);

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return {std::nullopt, app.help()};
  } catch (const CLI::CallForAllHelp&) {
    return {std::nullopt, app.help("", CLI::AppFormatMode::All)};
  } catch (const CLI::CallForVersion& version) {
    return {std::nullopt, std::string(version.what()) + "\n"};
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    if (message == "A subcommand is required") {
      // CLI11 says the same for a mistyped command and for none at all.
      message = !args.empty() && !args.front().empty() && args.front().front() != '-'
                    ? "unknown command " + Quoted(args.front()) + ", expected render or sequence"
                    : "a command is required: render or sequence";
    }
    throw ToolError(message + " (see quillmarch --help)");
  }

  ToolOptions options;
  ApplyEffectOptions(texts, options);
  if (render->parsed()) {
    options.command = Command::kRender;
    ApplyPaths(texts.paths, "[IN] OUT", options);
    if (!texts.completion.empty()) {
      const std::string option = OptionName(kParamCompletion);
      options.params.completion = ToFixed(
          ParseSliderValue(option, texts.completion, kParamCompletion), option, texts.completion);
    }
  } else {
    options.command = Command::kSequence;
    ApplyPaths(texts.paths, "[IN] OUTDIR", options);
    if (!texts.frames.empty()) options.frames = ParseFrames(texts.frames);
    if (!texts.from.empty()) {
      options.from_percent = ParseSliderValue("--from", texts.from, kParamCompletion);
    }
    if (!texts.to.empty())
      options.to_percent = ParseSliderValue("--to", texts.to, kParamCompletion);
  }
  return {options, {}};
}

}  // namespace quillmarch::tool
