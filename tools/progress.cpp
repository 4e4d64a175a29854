#include "tools/progress.h"

#include <unistd.h>

#include <algorithm>

namespace quillmarch::tool {
namespace {

constexpr int kBarCells = 30;
constexpr auto kLeastRedrawInterval = std::chrono::milliseconds(40);

}  // namespace

bool WantsProgressBar(std::FILE* stream, bool quiet) {
  return !quiet && isatty(fileno(stream)) == 1;
}

ProgressBar::ProgressBar(std::FILE* stream, bool enabled, std::int64_t total)
    : stream_(stream), enabled_(enabled && total > 0), total_(total) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(std::int64_t done, const std::string& note) {
  if (!enabled_) return;
  const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, total_);
  const int permille = static_cast<int>(clamped * 1000 / total_);
  const auto now = std::chrono::steady_clock::now();
  // Redraw when something visible changed, but not faster than the eye can
  // follow: a 4K frame reports thousands of rows a second.
  const bool changed = permille != last_permille_ || note != last_note_;
  if (!changed || (drawn_ && now - last_draw_ < kLeastRedrawInterval && clamped != total_)) {
    return;
  }
  last_permille_ = permille;
  last_note_ = note;
  last_draw_ = now;
  Draw(clamped, note);
}

void ProgressBar::Draw(std::int64_t done, const std::string& note) {
  const int filled = static_cast<int>(done * kBarCells / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarCells - filled), '.');
  // \r and "erase to end of line": the line shrinks cleanly when the note does.
  std::fprintf(stream_, "\r\x1b[Kquillmarch [%s] %3d%%%s%s", bar.c_str(),
               static_cast<int>(done * 100 / total_), note.empty() ? "" : "  ", note.c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stream_);
  std::fflush(stream_);
  drawn_ = false;
}

}  // namespace quillmarch::tool
