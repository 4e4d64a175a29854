// The real command on real files: each frame must equal RenderWipe with
// StandaloneHost on the same pixels, bit for bit, and every bad input must
// end in a message, status 2 and no file.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/tool/tool_support.h"
#include "tools/test_card.h"

namespace quillmarch::tool {
namespace {

namespace fs = std::filesystem;
using testing::EngineFrame;
using testing::Pattern;
using testing::ReadRgbaAsStored;
using testing::RgbaSamples;
using testing::RunQuillmarch;
using testing::RunResult;
using testing::SameBits;
using testing::ScratchFolder;
using testing::WriteExr;
using testing::WritePngByHand;

// Odd sizes, so that no strip count or projection comes out round.
constexpr std::int32_t kWidth = 37;
constexpr std::int32_t kHeight = 23;

std::vector<std::string> Concat(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The raw values are written out here, not taken from the tool's parser:
// these cases check the mapping as well as the rendering.
struct FrameCase {
  const char* why;
  std::vector<std::string> options;
  RawParams params;
};

const FrameCase kFrameCases[] = {
    {"defaults: axis-aligned at 90 degrees, displaced",
     {"--completion", "37.5", "--width", "4"},
     {1, 1, 1, 2457600, 4.0, 1, 5898240, 1}},
    {"oblique, Normal, To Right, displaced",
     {"--completion", "42", "--direction", "30", "--width", "5"},
     {1, 1, 1, 2752512, 5.0, 1, 1966080, 1}},
    // 61.3 x 65536 = 4017356.8 rounds up; -135 degrees folds to 225.
    {"oblique, Constant, To Left, negative angle, fractional width",
     {"--completion", "61.3", "--direction", "-135", "--mode", "constant", "--direction-mode",
      "to-left", "--width", "4.5"},
     {1, 1, 2, 4017357, 4.5, 2, -8847360, 1}},
    {"axis-aligned at 180 degrees, no displacement, half resolution",
     {"--completion", "25", "--direction", "180", "--displace", "off", "--downsample", "1/2",
      "--width", "9"},
     {1, 2, 1, 1638400, 9.0, 1, 11796480, 0}},
    {"completion 100 at an oblique angle erases all",
     {"--completion", "100", "--direction", "77.7"},
     {1, 1, 1, 6553600, 20.0, 1, 5092147, 1}},
    // 0.001 x 65536 = 65.536: a single Fixed step matters at an angle this
    // close to the axis.
    {"a sliver of completion near an axis",
     {"--completion", "0.001", "--direction", "270.01", "--width", "4"},
     {1, 1, 1, 66, 4.0, 1, 17695375, 1}},
};

enum class FileKind { kPng8, kPng16, kExrFloat, kExrHalf };

struct FileKindInfo {
  const char* name;
  PixelDepth depth;
  const char* output;
};

FileKindInfo Info(FileKind kind) {
  switch (kind) {
    case FileKind::kPng8:
      return {"png8", PixelDepth::Depth8, "out.png"};
    case FileKind::kPng16:
      return {"png16", PixelDepth::Depth16, "out.png"};
    case FileKind::kExrFloat:
      return {"exr_float", PixelDepth::DepthFloat, "out.exr"};
    case FileKind::kExrHalf:
      return {"exr_half", PixelDepth::DepthFloat, "out.exr"};
  }
  return {};
}

// Writes the pattern in `kind`'s format and returns the pixels as the file
// holds them (half rounds the float pattern).
Image WriteInput(FileKind kind, const std::string& path) {
  const Image pattern = Pattern(Info(kind).depth, kWidth, kHeight);
  switch (kind) {
    case FileKind::kPng8:
      WritePngByHand(path, kWidth, kHeight, 4, 8, RgbaSamples(pattern));
      return pattern;
    case FileKind::kPng16:
      WritePngByHand(path, kWidth, kHeight, 4, 16, RgbaSamples(pattern));
      return pattern;
    case FileKind::kExrFloat:
    case FileKind::kExrHalf:
      WriteExr(path, pattern, kind == FileKind::kExrHalf);
      return ReadRgbaAsStored(path);
  }
  return pattern;
}

class FrameAtEachDepth : public ::testing::TestWithParam<std::tuple<FileKind, std::size_t>> {};

TEST_P(FrameAtEachDepth, EqualsRenderWipeBitForBit) {
  const auto [kind, index] = GetParam();
  const FrameCase& c = kFrameCases[index];
  SCOPED_TRACE(c.why);
  const ScratchFolder folder;
  const std::string in =
      folder.Path(kind == FileKind::kPng8 || kind == FileKind::kPng16 ? "in.png" : "in.exr");
  const Image input = WriteInput(kind, in);
  const std::string out = folder.Path(Info(kind).output);

  const RunResult run = RunQuillmarch(Concat({"render", in, out}, c.options));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(SameBits(EngineFrame(input, c.params), ReadRgbaAsStored(out)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameAtEachDepth,
    ::testing::Combine(::testing::Values(FileKind::kPng8, FileKind::kPng16, FileKind::kExrFloat,
                                         FileKind::kExrHalf),
                       ::testing::Range<std::size_t>(0, std::size(kFrameCases))),
    [](const auto& case_info) {
      return std::string(Info(std::get<0>(case_info.param)).name) + "_case" +
             std::to_string(std::get<1>(case_info.param));
    });

// What the file holds is what the engine gets: grey spreads to the three
// colours, a missing alpha becomes opaque, and colour under zero alpha is
// neither lost on reading nor divided on writing.
TEST(InputLayouts, ReachTheEngineAsStored) {
  struct Layout {
    int channels;
    int bits;
  };
  for (const Layout layout : {Layout{1, 8}, Layout{2, 8}, Layout{3, 8}, Layout{4, 8}, Layout{1, 16},
                              Layout{2, 16}, Layout{3, 16}, Layout{4, 16}}) {
    SCOPED_TRACE(std::to_string(layout.channels) + " channels, " + std::to_string(layout.bits) +
                 " bits");
    const ScratchFolder folder;
    const int most = layout.bits == 8 ? 255 : 65535;
    const std::int32_t width = 5;
    const std::int32_t height = 3;
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < width * height * layout.channels; ++i) {
      samples.push_back(static_cast<std::uint16_t>((i * 7919 + 13) % (most + 1)));
    }
    // An alpha of zero under a bright colour, for the premultiplication trap.
    if (layout.channels % 2 == 0) {
      samples[static_cast<std::size_t>(layout.channels - 1)] = 0;
      samples[0] = static_cast<std::uint16_t>(most - 1);
    }
    const std::string in = folder.Path("in.png");
    WritePngByHand(in, width, height, layout.channels, layout.bits, samples);

    const std::string out = folder.Path("out.png");
    const RunResult run = RunQuillmarch({"render", in, out, "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image got = ReadRgbaAsStored(out);

    const std::vector<std::uint16_t> rgba = RgbaSamples(got);
    for (int p = 0; p < width * height; ++p) {
      const std::uint16_t* s = &samples[static_cast<std::size_t>(p * layout.channels)];
      const bool grey = layout.channels <= 2;
      const bool has_alpha = layout.channels % 2 == 0;
      const std::uint16_t expected[4] = {
          s[0], grey ? s[0] : s[1], grey ? s[0] : s[2],
          has_alpha ? s[layout.channels - 1] : static_cast<std::uint16_t>(most)};
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(rgba[static_cast<std::size_t>(p * 4 + c)], expected[c])
            << "pixel " << p << " channel " << c;
      }
    }
  }
}

// --depth converts first; the frame is then the engine's on the converted
// pixels, which a render at completion 0 shows as they are.
TEST(DepthOption, RendersTheConvertedPixels) {
  struct Conversion {
    FileKind from;
    const char* depth;
    const char* output;
  };
  for (const Conversion conversion :
       {Conversion{FileKind::kPng8, "16", "out.png"}, Conversion{FileKind::kPng16, "8", "out.png"},
        Conversion{FileKind::kPng8, "float", "out.exr"},
        Conversion{FileKind::kExrFloat, "8", "out.png"},
        Conversion{FileKind::kExrHalf, "16", "out.tif"}}) {
    SCOPED_TRACE(std::string(Info(conversion.from).name) + " to " + conversion.depth);
    const ScratchFolder folder;
    const bool png = conversion.from == FileKind::kPng8 || conversion.from == FileKind::kPng16;
    const std::string in = folder.Path(png ? "in.png" : "in.exr");
    WriteInput(conversion.from, in);
    const std::string converted =
        folder.Path(std::string("converted") + fs::path(conversion.output).extension().string());
    const std::string out = folder.Path(conversion.output);

    ASSERT_EQ(RunQuillmarch({"render", in, converted, "--depth", conversion.depth}).status, 0);
    const RunResult run = RunQuillmarch({"render", in, out, "--depth", conversion.depth,
                                         "--completion", "55", "--direction", "123"});
    ASSERT_EQ(run.status, 0) << run.err;

    const Image base = ReadRgbaAsStored(converted);
    if (std::string(conversion.depth) == "16" && conversion.from == FileKind::kPng8) {
      const Image original = Pattern(PixelDepth::Depth8, kWidth, kHeight);
      const auto wide = RgbaSamples(base);
      const auto narrow = RgbaSamples(original);
      for (std::size_t i = 0; i < wide.size(); ++i) ASSERT_EQ(wide[i], narrow[i] * 257);
    }
    RawParams params;
    params.completion = 55 * 65536;
    params.direction = 123 * 65536;
    EXPECT_TRUE(SameBits(EngineFrame(base, params), ReadRgbaAsStored(out)));
  }
}

TEST(BuiltInCard, IsTheInputWhenThereIsNone) {
  const ScratchFolder folder;
  const std::string card = folder.Path("card.png");
  ASSERT_EQ(RunQuillmarch({"render", card}).status, 0);
  EXPECT_TRUE(SameBits(MakeTestCard(PixelDepth::Depth8), ReadRgbaAsStored(card)));

  const std::string wiped = folder.Path("wiped.exr");
  const RunResult run = RunQuillmarch({"render", wiped, "--depth", "float", "--completion", "30",
                                       "--direction", "200", "--mode", "constant"});
  ASSERT_EQ(run.status, 0) << run.err;
  RawParams params;
  params.completion = 30 * 65536;
  params.direction = 200 * 65536;
  params.mode = kModeConstant;
  EXPECT_TRUE(
      SameBits(EngineFrame(MakeTestCard(PixelDepth::DepthFloat), params), ReadRgbaAsStored(wiped)));
}

int SubimageCount(const std::string& path) {
  auto input = OIIO::ImageInput::open(path);
  if (!input) return 0;
  int count = 0;
  while (input->seek_subimage(count, 0)) ++count;
  return count;
}

OIIO::ImageSpec SpecOf(const std::string& path) {
  auto input = OIIO::ImageInput::open(path);
  return input ? input->spec() : OIIO::ImageSpec();
}

TEST(Sequence, WritesEvenFramesAndBothPreviews) {
  const ScratchFolder folder;
  const std::string in = folder.Path("in.png");
  const Image input = Pattern(PixelDepth::Depth8, 24, 16);
  WritePngByHand(in, 24, 16, 4, 8, RgbaSamples(input));
  const std::string out = folder.Path("out");

  const RunResult run = RunQuillmarch({"sequence", in, out, "--frames", "5", "--direction", "45",
                                       "--width", "6", "--mode", "constant"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.png", "out", "out/contact-sheet.png",
                                                        "out/frame-0001.png", "out/frame-0002.png",
                                                        "out/frame-0003.png", "out/frame-0004.png",
                                                        "out/frame-0005.png", "out/preview.gif"}));
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i + 1));
    RawParams params;
    params.completion = i * 25 * 65536;
    params.direction = 45 * 65536;
    params.width = 6.0;
    params.mode = kModeConstant;
    char name[32];
    std::snprintf(name, sizeof name, "out/frame-%04d.png", i + 1);
    EXPECT_TRUE(SameBits(EngineFrame(input, params), ReadRgbaAsStored(folder.Path(name))));
  }

  // Five frames make a 3 x 2 grid of unscaled 24 x 16 cells with 6-pixel gaps.
  const OIIO::ImageSpec sheet = SpecOf(folder.Path("out/contact-sheet.png"));
  EXPECT_EQ(sheet.width, 3 * (24 + 6) + 6);
  EXPECT_EQ(sheet.height, 2 * (16 + 6) + 6);
  EXPECT_EQ(sheet.format, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(SubimageCount(folder.Path("out/preview.gif")), 5);

  EXPECT_NE(run.out.find("quillmarch: wrote 5 frames (24 x 16, 8-bit, completion 0% to 100%)"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("contact sheet: " + out + "/contact-sheet.png"), std::string::npos)
      << run.out;
}

// Float frames go to EXR; the previews stay 8-bit.
TEST(Sequence, FloatFramesAreExr) {
  const ScratchFolder folder;
  const std::string in = folder.Path("in.exr");
  const Image input = WriteInput(FileKind::kExrFloat, in);
  const std::string out = folder.Path("seq");
  const RunResult run =
      RunQuillmarch({"sequence", in, out, "--frames", "3", "--from", "20", "--to", "60", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "") << "--quiet prints no summary";
  for (int i = 0; i < 3; ++i) {
    RawParams params;
    params.completion = (20 + 20 * i) * 65536;
    char name[32];
    std::snprintf(name, sizeof name, "seq/frame-%04d.exr", i + 1);
    EXPECT_TRUE(SameBits(EngineFrame(input, params), ReadRgbaAsStored(folder.Path(name))));
  }
  EXPECT_EQ(SpecOf(folder.Path("seq/contact-sheet.png")).format, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(SubimageCount(folder.Path("seq/preview.gif")), 3);
}

// A run that fails half way takes back the frames it wrote, so that a folder
// never holds half a sequence that looks whole. Here the third frame's name
// is taken by a folder, which no rename can replace.
TEST(Sequence, FailingHalfWayLeavesNoFrames) {
  const ScratchFolder folder;
  const std::string in = folder.Path("in.png");
  WritePngByHand(in, 8, 6, 4, 8, RgbaSamples(Pattern(PixelDepth::Depth8, 8, 6)));
  fs::create_directories(folder.Path("out/frame-0003.png"));
  std::ofstream(folder.Path("out/notes.txt")) << "someone else's";

  const RunResult run = RunQuillmarch({"sequence", in, folder.Path("out"), "--frames", "4"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot write '" + folder.Path("out/frame-0003.png") + "'"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(folder.Entries(),
            (std::vector<std::string>{"in.png", "out", "out/frame-0003.png", "out/notes.txt"}));
}

struct ErrorCase {
  const char* why;
  std::vector<std::string> args;  // "@" at the start of an argument: in the scratch folder
  std::string message;            // likewise
};

// Fixtures every error case may use: a good 8-bit PNG, a float EXR, a file
// that is not an image, a truncated PNG, a uint32 TIFF, an image too wide
// for 16.16 positions, a plain file and a folder.
void MakeErrorFixtures(const ScratchFolder& folder) {
  WritePngByHand(folder.Path("in.png"), 6, 4, 4, 8, RgbaSamples(Pattern(PixelDepth::Depth8, 6, 4)));
  WriteExr(folder.Path("in.exr"), Pattern(PixelDepth::DepthFloat, 6, 4), false);
  std::ofstream(folder.Path("garbage.png")) << "this is not a picture";
  {
    std::ifstream whole(folder.Path("in.png"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(folder.Path("truncated.png"), std::ios::binary) << bytes.substr(0, 60);
  }
  {
    auto tiff = OIIO::ImageOutput::create("x.tif");
    std::vector<std::uint32_t> pixels(4 * 2 * 4, 7);
    ASSERT_TRUE(
        tiff->open(folder.Path("deep.tif"), OIIO::ImageSpec(4, 2, 4, OIIO::TypeDesc::UINT32)));
    ASSERT_TRUE(tiff->write_image(OIIO::TypeDesc::UINT32, pixels.data()));
    ASSERT_TRUE(tiff->close());
  }
  WritePngByHand(folder.Path("wide.png"), 40000, 1, 1, 8, std::vector<std::uint16_t>(40000, 9));
  std::ofstream(folder.Path("file.txt")) << "text";
  fs::create_directory(folder.Path("folder"));
}

std::string InFolder(const ScratchFolder& folder, const std::string& text) {
  std::string result;
  std::size_t at = 0;
  // "@name" anywhere stands for the path of name in the scratch folder.
  for (std::size_t mark = text.find('@'); mark != std::string::npos; mark = text.find('@', at)) {
    result += text.substr(at, mark - at);
    std::size_t end = mark + 1;
    while (end < text.size() && text[end] != '\'' && text[end] != ' ') ++end;
    result += folder.Path(text.substr(mark + 1, end - mark - 1));
    at = end;
  }
  return result + text.substr(at);
}

class CommandErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CommandErrors, GiveAMessageStatus2AndNoFile) {
  const ErrorCase& c = GetParam();
  SCOPED_TRACE(c.why);
  const ScratchFolder folder;
  MakeErrorFixtures(folder);
  const std::vector<std::string> before = folder.Entries();

  std::vector<std::string> args;
  for (const auto& arg : c.args) args.push_back(InFolder(folder, arg));
  const RunResult run = RunQuillmarch(args);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("quillmarch: error: " + InFolder(folder, c.message)), std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(folder.Entries(), before) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandErrors,
    ::testing::Values(
        ErrorCase{"missing input",
                  {"render", "@missing.png", "@out.png"},
                  "cannot read '@missing.png': no such file"},
        ErrorCase{"input is a folder",
                  {"render", "@folder", "@out.png"},
                  "cannot read '@folder': it is a folder"},
        ErrorCase{"input is not an image",
                  {"render", "@garbage.png", "@out.png"},
                  "cannot read '@garbage.png'"},
        ErrorCase{"input cut short",
                  {"render", "@truncated.png", "@out.png"},
                  "cannot read '@truncated.png'"},
        ErrorCase{"input channels no depth holds exactly",
                  {"render", "@deep.tif", "@out.tif"},
                  "cannot read '@deep.tif': its uint channels have no exact engine depth"},
        ErrorCase{"input too wide for 16.16 positions",
                  {"render", "@wide.png", "@out.png"},
                  "cannot read '@wide.png': 40000 x 1 pixels"},
        ErrorCase{"missing input for a sequence creates no folder",
                  {"sequence", "@missing.png", "@new"},
                  "cannot read '@missing.png'"},
        ErrorCase{"unknown option",
                  {"render", "@in.png", "@out.png", "--speed", "2"},
                  "The following argument was not expected: --speed"},
        ErrorCase{"value out of range",
                  {"render", "@in.png", "@out.png", "--width", "2"},
                  "--width 2 is out of range (4 to 1000)"},
        ErrorCase{"sequence value out of range",
                  {"sequence", "@in.png", "@new", "--frames", "0"},
                  "--frames 0 is out of range (1 to 9999)"},
        ErrorCase{"float into PNG",
                  {"render", "@in.exr", "@out.png"},
                  "cannot write '@out.png': PNG holds 8 or 16 bits, not float"},
        ErrorCase{"float card into PNG",
                  {"render", "@out.png", "--depth", "float"},
                  "cannot write '@out.png': PNG holds 8 or 16 bits"},
        ErrorCase{"format the tool does not write",
                  {"render", "@in.png", "@out.jpg"},
                  "cannot write '@out.jpg': the output must be .png"},
        ErrorCase{"output folder missing",
                  {"render", "@in.png", "@nowhere/out.png"},
                  "cannot write '@nowhere/out.png': folder '@nowhere' does not exist"},
        ErrorCase{"output is a folder",
                  {"render", "@in.png", "@folder"},
                  "cannot write '@folder': it is a folder"},
        ErrorCase{"output under a plain file",
                  {"render", "@in.png", "@file.txt/out.png"},
                  "cannot write '@file.txt/out.png': '@file.txt' is not a folder"},
        ErrorCase{"sequence into a plain file",
                  {"sequence", "@in.png", "@file.txt"},
                  "cannot write the sequence into '@file.txt': it exists and is not a folder"},
        ErrorCase{"sequence under a plain file",
                  {"sequence", "@in.png", "@file.txt/frames"},
                  "cannot create folder '@file.txt/frames'"},
        ErrorCase{"no command", {}, "a command is required"}),
    [](const auto& case_info) {
      std::string name;
      for (const char c : std::string(case_info.param.why)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

TEST(Progress, NoBarWhenStandardErrorIsNotATerminal) {
  const ScratchFolder folder;
  const RunResult run = RunQuillmarch({"sequence", folder.Path("out"), "--frames", "2"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("quillmarch: wrote 2 frames"), std::string::npos);
}

TEST(Progress, BarOnATerminalUnlessQuiet) {
  if (std::system("command -v script > /dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  const ScratchFolder folder;
  const RunResult shown =
      RunQuillmarch({"sequence", folder.Path("a"), "--frames", "2"}, /*terminal=*/true);
  ASSERT_EQ(shown.status, 0) << shown.out;
  EXPECT_NE(shown.out.find("quillmarch [###"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("frame 2/2"), std::string::npos) << shown.out;
  // The summary starts on a clean line after the bar.
  EXPECT_NE(shown.out.find("\r\x1b[Kquillmarch: wrote 2 frames"), std::string::npos) << shown.out;

  const RunResult quiet =
      RunQuillmarch({"sequence", folder.Path("b"), "--frames", "2", "-q"}, /*terminal=*/true);
  ASSERT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
}

// Stopped while writing, the command removes its temporary file; the
// frames it finished are whole files.
TEST(Interrupt, LeavesNoTemporaryFile) {
  const ScratchFolder folder;
  std::string shell = "'";
  shell += QUILLMARCH_COMMAND;
  shell += "' sequence '";
  shell += folder.Path("out");
  shell += "' --frames 400 -q < /dev/null > /dev/null 2>&1 & sleep 1; kill -TERM $!; wait $!";
  const int status = std::system(shell.c_str());
  EXPECT_NE(status, 0) << "the run ended before the signal; make it longer";
  for (const auto& name : folder.Entries()) {
    EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace quillmarch::tool
