// The progress bar on standard error and the timing for the summary line.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quillmarch::tool {

/// Whether a bar belongs on `stream`: only for a person watching a terminal.
bool WantsProgressBar(std::FILE* stream, bool quiet);

/// A one-line bar, redrawn in place at most a few dozen times a second. A
/// disabled bar does nothing, so callers need not test.
class ProgressBar {
 public:
  ProgressBar(std::FILE* stream, bool enabled, std::int64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  /// `done` of `total` units; `note` follows the percentage ("frame 3/12").
  void Update(std::int64_t done, const std::string& note);
  /// Clears the line, so that the summary or an error starts on a clean one.
  void Clear();

 private:
  void Draw(std::int64_t done, const std::string& note);

  std::FILE* stream_;
  bool enabled_;
  bool drawn_ = false;
  std::int64_t total_;
  int last_permille_ = -1;
  std::string last_note_;
  std::chrono::steady_clock::time_point last_draw_{};
};

/// Seconds since construction, for the summary line.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quillmarch::tool
