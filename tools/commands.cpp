#include "tools/commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/standalone_host.h"
#include "tools/previews.h"
#include "tools/progress.h"
#include "tools/test_card.h"

namespace quillmarch::tool {
namespace fs = std::filesystem;

namespace {

// A single frame this large earns a progress bar; smaller ones finish in
// the blink of an eye.
constexpr std::int64_t kLargeFramePixels = 1'000'000;

std::string PercentText(Fixed completion) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g%%", static_cast<double>(completion) / 65536.0);
  return text;
}

std::string FramePath(const std::string& folder, std::int32_t index, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%04d%s", static_cast<int>(index), extension);
  return (fs::path(folder) / name).string();
}

// Makes OUTDIR if need be; on failure it undoes what this run wrote, so that
// a broken run leaves no half sequence behind.
class SequenceFolder {
 public:
  explicit SequenceFolder(const std::string& folder) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) {
        throw ToolError("cannot write the sequence into " + Quoted(folder) +
                        ": it exists and is not a folder");
      }
    } else {
      for (fs::path missing = fs::absolute(folder, error).lexically_normal();
           !missing.empty() && !fs::exists(missing, error); missing = missing.parent_path()) {
        if (missing.filename().empty()) {
          missing = missing.parent_path();
          if (fs::exists(missing, error)) break;
        }
        created_.push_back(missing);
      }
      if (!fs::create_directories(folder, error) && error) {
        created_.clear();
        throw ToolError("cannot create folder " + Quoted(folder) + ": " + error.message());
      }
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
      const std::string reason = std::strerror(errno);
      Undo();
      throw ToolError("cannot write into folder " + Quoted(folder) + ": " + reason);
    }
  }
  ~SequenceFolder() {
    if (!kept_) Undo();
  }
  SequenceFolder(const SequenceFolder&) = delete;
  SequenceFolder& operator=(const SequenceFolder&) = delete;

  void Wrote(const std::string& path) { written_.push_back(path); }
  void Keep() { kept_ = true; }

 private:
  void Undo() {
    std::error_code ignored;
    for (const auto& path : written_) fs::remove(path, ignored);
    written_.clear();
    // Innermost first; fs::remove leaves a folder that is not empty.
    for (const auto& folder : created_) fs::remove(folder, ignored);
    created_.clear();
  }

  std::vector<std::string> written_;
  std::vector<fs::path> created_;
  bool kept_ = false;
};

void RunRender(const ToolOptions& options, std::FILE* summary, std::FILE* progress_stream) {
  const Stopwatch stopwatch;
  const Image input = LoadInput(options);
  CheckWritable(options.output, input.Depth());

  const std::int64_t pixels = static_cast<std::int64_t>(input.width) * input.height;
  ProgressBar bar(progress_stream,
                  WantsProgressBar(progress_stream, options.quiet) && pixels >= kLargeFramePixels,
                  input.height + 1);
  Image output;
  RenderFrame(
      input, options.params,
      [&](std::int32_t row, std::int32_t) { bar.Update(row + 1, "rendering"); }, output);
  bar.Update(input.height, "writing");
  WriteImage(output, options.output);
  bar.Clear();

  if (!options.quiet) {
    std::fprintf(summary, "quillmarch: wrote %s (%d x %d, %s, completion %s) in %.2f s\n",
                 options.output.c_str(), static_cast<int>(output.width),
                 static_cast<int>(output.height), DepthName(output.Depth()),
                 PercentText(options.params.completion).c_str(), stopwatch.Seconds());
  }
}

void RunSequence(const ToolOptions& options, std::FILE* summary, std::FILE* progress_stream) {
  const Stopwatch stopwatch;
  const Image input = LoadInput(options);
  // PNG holds 8 and 16 bits exactly; float frames need EXR.
  const char* extension = input.Depth() == PixelDepth::DepthFloat ? ".exr" : ".png";

  SequenceFolder folder(options.output);
  PreviewWriter previews(options.output, input.width, input.height, options.frames);
  ProgressBar bar(progress_stream, WantsProgressBar(progress_stream, options.quiet),
                  static_cast<std::int64_t>(options.frames) * (input.height + 1));

  RawParams params = options.params;
  Image frame;  // one buffer for all frames
  for (std::int32_t index = 0; index < options.frames; ++index) {
    const double percent =
        SequencePercent(options.from_percent, options.to_percent, index, options.frames);
    params.completion = ToFixed(percent, "--from/--to", std::to_string(percent));
    const std::string note =
        "frame " + std::to_string(index + 1) + "/" + std::to_string(options.frames);
    const std::int64_t before = static_cast<std::int64_t>(index) * (input.height + 1);
    RenderFrame(
        input, params, [&](std::int32_t row, std::int32_t) { bar.Update(before + row + 1, note); },
        frame);
    const std::string path = FramePath(options.output, index + 1, extension);
    WriteImage(frame, path);
    folder.Wrote(path);
    previews.AddFrame(frame);
    bar.Update(before + input.height + 1, note);
  }
  bar.Update(static_cast<std::int64_t>(options.frames) * (input.height + 1), "previews");
  previews.Finish();
  folder.Keep();
  bar.Clear();

  if (!options.quiet) {
    std::fprintf(summary,
                 "quillmarch: wrote %d frames (%d x %d, %s, completion %s to %s) to %s in "
                 "%.2f s; contact sheet: %s\n",
                 static_cast<int>(options.frames), static_cast<int>(input.width),
                 static_cast<int>(input.height), DepthName(input.Depth()),
                 PercentText(ToFixed(options.from_percent, "--from", "")).c_str(),
                 PercentText(ToFixed(options.to_percent, "--to", "")).c_str(),
                 options.output.c_str(), stopwatch.Seconds(), previews.ContactSheetPath().c_str());
  }
}

}  // namespace

Image LoadInput(const ToolOptions& options) {
  if (options.input) return ReadImage(*options.input, options.depth);
  switch (options.depth) {
    case DepthChoice::k16:
      return MakeTestCard(PixelDepth::Depth16);
    case DepthChoice::kFloat:
      return MakeTestCard(PixelDepth::DepthFloat);
    case DepthChoice::k8:
    case DepthChoice::kFromInput:
      break;
  }
  return MakeTestCard(PixelDepth::Depth8);
}

void RenderFrame(const Image& input, const RawParams& params,
                 const std::function<void(std::int32_t row, std::int32_t rows)>& row_done,
                 Image& output) {
  output = input;  // the engine changes a copy of the input in place
  const WorldView input_view = input.View();
  StandaloneHost host(input_view, row_done);
  const std::int32_t code = RenderWipe(DeriveSettings(params), input_view, output.View(), host);
  if (code != kErrNone) {
    throw ToolError("the wipe engine could not render the frame (error " + std::to_string(code) +
                    ")");
  }
}

void RunCommand(const ToolOptions& options, std::FILE* summary, std::FILE* progress) {
  switch (options.command) {
    case Command::kRender:
      RunRender(options, summary, progress);
      return;
    case Command::kSequence:
      RunSequence(options, summary, progress);
      return;
  }
}

}  // namespace quillmarch::tool
