// Helpers for the preview tool's tests: a scratch folder, running the real
// command, hand-made PNG files and the engine's own rendering to compare with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/image_io.h"
#include "tools/options.h"

namespace quillmarch::tool::testing {

/// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  const std::filesystem::path& Root() const { return root_; }
  /// Names of everything in the folder, hidden files included, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path root_;
};

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs quillmarch with `args`, standard input closed. With `terminal`,
/// standard error (and output) is a pseudo-terminal, as for a person.
RunResult RunQuillmarch(const std::vector<std::string>& args, bool terminal = false);

/// A PNG file written byte by byte, without OpenImageIO, so that reading
/// the tool's input is checked against values known to be in the file.
/// `samples` are row-major, `channels` per pixel (1 grey, 2 grey+alpha,
/// 3 RGB, 4 RGBA), `bits` 8 or 16.
void WritePngByHand(const std::string& path, std::int32_t width, std::int32_t height, int channels,
                    int bits, const std::vector<std::uint16_t>& samples);

/// Writes an EXR with OpenImageIO: RGBA as half or float.
void WriteExr(const std::string& path, const Image& image, bool half);

/// Reads a file's RGBA channels as stored (no association), independently
/// of the tool's reader. Depth from the file's channel type.
Image ReadRgbaAsStored(const std::string& path);

/// A deterministic picture for a depth: every alpha level from 0 to full,
/// colour under zero alpha, and for float values outside 0..1.
Image Pattern(PixelDepth depth, std::int32_t width, std::int32_t height);

/// The image's RGBA samples in file order (for WritePngByHand).
std::vector<std::uint16_t> RgbaSamples(const Image& image);

/// What the module would render: RenderWipe with StandaloneHost on a copy
/// of `input`, with the settings derived from `params`.
Image EngineFrame(const Image& input, const RawParams& params);

/// Bit-for-bit equality (floats compared as bits, so NaNs match); on a
/// mismatch the first differing pixel is named.
::testing::AssertionResult SameBits(const Image& expected, const Image& actual);

}  // namespace quillmarch::tool::testing
