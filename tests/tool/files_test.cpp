// The tool's parts below the command line: temporary files, the test card,
// the preview compositing and the progress bar.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "tests/tool/tool_support.h"
#include "tools/previews.h"
#include "tools/progress.h"
#include "tools/test_card.h"

namespace quillmarch::tool {
namespace {

using testing::ScratchFolder;

TEST(TempFile, AppearsUnderItsNameOnlyWhenCommitted) {
  const ScratchFolder folder;
  const std::string target = folder.Path("frame.png");
  {
    TempFile abandoned(target);
    std::ofstream(abandoned.Path()) << "half a file";
    EXPECT_EQ(folder.Entries().size(), 1u);
  }
  EXPECT_TRUE(folder.Entries().empty()) << "an abandoned temporary file was left behind";

  {
    TempFile kept(target);
    std::ofstream(kept.Path()) << "whole";
    kept.Commit();
  }
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"frame.png"});
}

// Two writers of the same name (two runs into one folder) must not share a
// temporary file.
TEST(TempFile, NamesAreExclusive) {
  const ScratchFolder folder;
  const TempFile first(folder.Path("a.png"));
  const TempFile second(folder.Path("a.png"));
  EXPECT_NE(first.Path(), second.Path());
}

TEST(TempFile, ReportsAFolderThatCannotBeWritten) {
  const ScratchFolder folder;
  EXPECT_THROW(TempFile(folder.Path("missing/a.png")), ToolError);
}

template <typename Pixel>
const Pixel& At(const Image& image, std::int32_t x, std::int32_t y) {
  return std::get<std::vector<Pixel>>(image.pixels)[static_cast<std::size_t>(y * image.width + x)];
}

TEST(TestCard, IsColourfulSoftAndTransparentInOneCorner) {
  const Image card = MakeTestCard(PixelDepth::Depth8);
  ASSERT_EQ(card.width, 960);
  ASSERT_EQ(card.height, 540);
  EXPECT_EQ((At<Pixel8>(card, 959, 0).alpha), 0) << "top right corner";
  EXPECT_EQ((At<Pixel8>(card, 0, 0).alpha), 255);
  EXPECT_EQ((At<Pixel8>(card, 0, 539).alpha), 255);
  EXPECT_EQ((At<Pixel8>(card, 959, 539).alpha), 255);

  std::set<int> alphas;
  std::set<int> colours;
  for (const Pixel8& p : std::get<std::vector<Pixel8>>(card.pixels)) {
    alphas.insert(p.alpha);
    colours.insert(p.red << 16 | p.green << 8 | p.blue);
  }
  EXPECT_GT(alphas.size(), 100u) << "the transparent corner fades in softly";
  EXPECT_GT(colours.size(), 10000u);
}

TEST(TestCard, ShowsTheSamePictureAtEveryDepth) {
  const Image card8 = MakeTestCard(PixelDepth::Depth8, 64, 36);
  const Image card16 = MakeTestCard(PixelDepth::Depth16, 64, 36);
  const Image card_float = MakeTestCard(PixelDepth::DepthFloat, 64, 36);
  for (std::int32_t y = 0; y < 36; ++y) {
    for (std::int32_t x = 0; x < 64; ++x) {
      const Pixel8& p8 = At<Pixel8>(card8, x, y);
      const Pixel16& p16 = At<Pixel16>(card16, x, y);
      const PixelFloat& pf = At<PixelFloat>(card_float, x, y);
      // Each depth is one rounding of the same double: at most half a step
      // apart, measured in 8-bit steps.
      EXPECT_NEAR(p8.green, p16.green / 257.0, 0.51);
      EXPECT_NEAR(p8.alpha, pf.alpha * 255.0, 0.51);
      EXPECT_NEAR(p8.red, pf.red * 255.0, 0.51);
    }
  }
}

TEST(Previews, FitWithinScalesDownOnly) {
  EXPECT_EQ(FitWithin(960, 540, 240).width, 240);
  EXPECT_EQ(FitWithin(960, 540, 240).height, 135);
  EXPECT_EQ(FitWithin(540, 960, 240).width, 135);
  EXPECT_EQ(FitWithin(16, 5, 240).width, 16);
  EXPECT_EQ(FitWithin(16, 5, 240).height, 5);
  EXPECT_EQ(FitWithin(10000, 1, 240).height, 1) << "never a zero-sized picture";
}

// Transparent pixels show the checkerboard whatever colour they keep (the
// wipe leaves colour under alpha 0); opaque ones show their colour, and
// float values beyond 0..1 or NaN do not wrap around.
TEST(Previews, CompositeShowsTransparencyAsCheckerboard) {
  Image frame = Image::Blank(PixelDepth::DepthFloat, 2, 1);
  auto& pixels = std::get<std::vector<PixelFloat>>(frame.pixels);
  pixels[0] = {0.0f, 1.0f, 0.0f, 0.0f};  // erased red
  pixels[1] = {1.0f, 4.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()};
  const std::vector<std::uint8_t> rgb = CompositeOverCheckerboard(frame, {2, 1});
  ASSERT_EQ(rgb.size(), 6u);
  EXPECT_EQ(rgb[0], rgb[1]) << "grey checkerboard, not red";
  EXPECT_EQ(rgb[1], rgb[2]);
  EXPECT_GT(rgb[0], 100);
  EXPECT_EQ(rgb[3], 255);
  EXPECT_EQ(rgb[4], 0);
  EXPECT_EQ(rgb[5], 0);
}

TEST(Previews, CompositeOfEachDepthAgrees) {
  Image frame8 = Image::Blank(PixelDepth::Depth8, 1, 1);
  Image frame16 = Image::Blank(PixelDepth::Depth16, 1, 1);
  std::get<std::vector<Pixel8>>(frame8.pixels)[0] = {255, 255, 128, 0};
  std::get<std::vector<Pixel16>>(frame16.pixels)[0] = {65535, 65535, 128 * 257, 0};
  EXPECT_EQ(CompositeOverCheckerboard(frame8, {1, 1}), CompositeOverCheckerboard(frame16, {1, 1}));
  EXPECT_EQ(CompositeOverCheckerboard(frame8, {1, 1}), (std::vector<std::uint8_t>{255, 128, 0}));
}

std::string Drawn(bool enabled, const std::function<void(ProgressBar&)>& use) {
  std::FILE* stream = std::tmpfile();
  {
    ProgressBar bar(stream, enabled, 200);
    use(bar);
  }
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) {
    text += static_cast<char>(c);
  }
  std::fclose(stream);
  return text;
}

TEST(ProgressBar, DrawsInPlaceAndClearsItsLine) {
  const std::string text = Drawn(true, [](ProgressBar& bar) {
    bar.Update(100, "frame 1/2");
    bar.Update(200, "frame 2/2");
  });
  EXPECT_NE(text.find("\r\x1b[Kquillmarch [###############...............]  50%  frame 1/2"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("100%  frame 2/2"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << "a bar never scrolls the terminal";
  EXPECT_EQ(text.substr(text.size() - 4), "\r\x1b[K") << "the line is left clean";
}

TEST(ProgressBar, DisabledDrawsNothing) {
  EXPECT_EQ(Drawn(false, [](ProgressBar& bar) { bar.Update(100, "x"); }), "");
}

}  // namespace
}  // namespace quillmarch::tool
