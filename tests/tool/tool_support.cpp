#include "tests/tool/tool_support.h"

#include <OpenImageIO/imageio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "engine/standalone_host.h"

namespace quillmarch::tool::testing {
namespace fs = std::filesystem;

namespace {

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// PNG's CRC-32 and zlib's Adler-32, written out so that the fixtures depend
// on no library.
std::uint32_t Crc32(const std::string& bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFU;
  for (const char byte : bytes) {
    crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFFU] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFU;
}

std::uint32_t Adler32(const std::string& bytes) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char byte : bytes) {
    a = (a + static_cast<std::uint8_t>(byte)) % 65521U;
    b = (b + a) % 65521U;
  }
  return (b << 16) | a;
}

void PutBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFFU);
  }
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = type + data;
  out += typed;
  PutBigEndian32(out, Crc32(typed));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
  std::string out = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + length == raw.size();
    out += static_cast<char>(last ? 1 : 0);
    out += static_cast<char>(length & 0xFFU);
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(~length & 0xFFU);
    out += static_cast<char>((~length >> 8) & 0xFFU);
    out += raw.substr(at, length);
    at += length;
  } while (at < raw.size());
  PutBigEndian32(out, Adler32(raw));
  return out;
}

template <typename Pixel>
std::vector<Pixel>& PixelsOf(Image& image) {
  return std::get<std::vector<Pixel>>(image.pixels);
}

template <typename Pixel>
const std::vector<Pixel>& PixelsOf(const Image& image) {
  return std::get<std::vector<Pixel>>(image.pixels);
}

double Remainder(double x, double y) { return std::fmod(x, y); }

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "quillmarch-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    names.push_back(fs::relative(entry.path(), root_).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

RunResult RunQuillmarch(const std::vector<std::string>& args, bool terminal) {
  const ScratchFolder capture;
  // Only matters under the sanitizers: a leak inside OpenImageIO is not ours.
  std::string command = "LSAN_OPTIONS=\"suppressions=";
  command += QUILLMARCH_LSAN_SUPPRESSIONS;
  command += "${LSAN_OPTIONS:+:$LSAN_OPTIONS}\" ";
  command += ShellQuoted(QUILLMARCH_COMMAND);
  for (const auto& arg : args) {
    command += ' ';
    command += ShellQuoted(arg);
  }
  const std::string out_path = capture.Path("out");
  const std::string err_path = capture.Path("err");
  std::string shell;
  if (terminal) {
    // script(1) gives the command a pseudo-terminal; what the command wrote
    // to either stream arrives on script's output.
    shell = "script -qec " + ShellQuoted(command) + " /dev/null < /dev/null > " +
            ShellQuoted(out_path) + " 2> " + ShellQuoted(err_path);
  } else {
    shell = command + " < /dev/null > " + ShellQuoted(out_path) + " 2> " + ShellQuoted(err_path);
  }
  const int wait_status = std::system(shell.c_str());
  RunResult result;
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  result.out = ReadWholeFile(out_path);
  result.err = ReadWholeFile(err_path);
  return result;
}

void WritePngByHand(const std::string& path, std::int32_t width, std::int32_t height, int channels,
                    int bits, const std::vector<std::uint16_t>& samples) {
  static constexpr char kColourType[] = {0, 0, 4, 2, 6};  // by channel count
  std::string header;
  PutBigEndian32(header, static_cast<std::uint32_t>(width));
  PutBigEndian32(header, static_cast<std::uint32_t>(height));
  header += static_cast<char>(bits);
  header += kColourType[channels];
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

  std::string raw;
  std::size_t at = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    raw += '\0';  // filter type None
    for (std::int32_t i = 0; i < width * channels; ++i) {
      const std::uint16_t sample = samples.at(at++);
      if (bits == 16) raw += static_cast<char>(sample >> 8);
      raw += static_cast<char>(sample & 0xFFU);
    }
  }

  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", "");
  std::ofstream(path, std::ios::binary) << png;
}

void WriteExr(const std::string& path, const Image& image, bool half) {
  const auto& pixels = PixelsOf<PixelFloat>(image);
  std::vector<float> rgba;
  for (const PixelFloat& p : pixels) rgba.insert(rgba.end(), {p.red, p.green, p.blue, p.alpha});
  auto output = OIIO::ImageOutput::create(path);
  const OIIO::ImageSpec spec(image.width, image.height, 4,
                             half ? OIIO::TypeDesc::HALF : OIIO::TypeDesc::FLOAT);
  if (!output || !output->open(path, spec) ||
      !output->write_image(OIIO::TypeDesc::FLOAT, rgba.data()) || !output->close()) {
    throw std::runtime_error("cannot write the fixture " + path);
  }
}

Image ReadRgbaAsStored(const std::string& path) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto input = OIIO::ImageInput::open(path, &config);
  if (!input) throw std::runtime_error("cannot open " + path + ": " + OIIO::geterror());
  const OIIO::ImageSpec& spec = input->spec();
  if (spec.nchannels != 4 || spec.alpha_channel != 3) {
    throw std::runtime_error(path + " is not RGBA");
  }
  PixelDepth depth = PixelDepth::DepthFloat;
  if (spec.format == OIIO::TypeDesc::UINT8) depth = PixelDepth::Depth8;
  if (spec.format == OIIO::TypeDesc::UINT16) depth = PixelDepth::Depth16;
  Image image = Image::Blank(depth, spec.width, spec.height);
  auto read = [&](auto& pixels, OIIO::TypeDesc type) {
    using Channel = decltype(pixels[0].alpha);
    std::vector<std::remove_reference_t<Channel>> rgba(pixels.size() * 4);
    if (!input->read_image(0, 0, 0, 4, type, rgba.data())) {
      throw std::runtime_error("cannot read " + path);
    }
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i].red = rgba[i * 4];
      pixels[i].green = rgba[i * 4 + 1];
      pixels[i].blue = rgba[i * 4 + 2];
      pixels[i].alpha = rgba[i * 4 + 3];
    }
  };
  switch (depth) {
    case PixelDepth::Depth8:
      read(PixelsOf<Pixel8>(image), OIIO::TypeDesc::UINT8);
      break;
    case PixelDepth::Depth16:
      read(PixelsOf<Pixel16>(image), OIIO::TypeDesc::UINT16);
      break;
    case PixelDepth::DepthFloat:
      read(PixelsOf<PixelFloat>(image), OIIO::TypeDesc::FLOAT);
      break;
  }
  return image;
}

Image Pattern(PixelDepth depth, std::int32_t width, std::int32_t height) {
  Image image = Image::Blank(depth, width, height);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const auto i = static_cast<std::uint32_t>(y * width + x);
      const auto index = static_cast<std::size_t>(i);
      switch (depth) {
        case PixelDepth::Depth8: {
          // Alpha steps through every level, so 0 (with colour under it) and
          // 255 both occur.
          Pixel8& p = PixelsOf<Pixel8>(image)[index];
          p = {static_cast<std::uint8_t>((i * 53U) % 256U),
               static_cast<std::uint8_t>((static_cast<std::uint32_t>(x) * 255U) /
                                         static_cast<std::uint32_t>(width)),
               static_cast<std::uint8_t>(40U + (static_cast<std::uint32_t>(y) * 7U) % 200U),
               static_cast<std::uint8_t>((i * 29U + 17U) % 256U)};
          break;
        }
        case PixelDepth::Depth16: {
          Pixel16& p = PixelsOf<Pixel16>(image)[index];
          p = {static_cast<std::uint16_t>((i * 7919U) % 65536U),
               static_cast<std::uint16_t>((i * 40503U + 1U) % 65536U),
               static_cast<std::uint16_t>(65535U - (i * 977U) % 65536U),
               static_cast<std::uint16_t>((static_cast<std::uint32_t>(x) * 65535U) /
                                          static_cast<std::uint32_t>(width))};
          break;
        }
        case PixelDepth::DepthFloat: {
          // Values a host can send in float: beyond 1, negative, and one NaN
          // and one infinity, which must pass through untouched.
          PixelFloat& p = PixelsOf<PixelFloat>(image)[index];
          p = {static_cast<float>((i * 37U) % 101U) / 100.0f, static_cast<float>(x) / 8.0f - 0.5f,
               static_cast<float>(y) * 0.3f, static_cast<float>((i * 13U) % 17U) / 16.0f};
          if (i == 5) p.red = std::numeric_limits<float>::quiet_NaN();
          if (i == 9) p.green = std::numeric_limits<float>::infinity();
          if (i % 11 == 3) p.alpha = 1.5f;
          break;
        }
      }
    }
  }
  return image;
}

std::vector<std::uint16_t> RgbaSamples(const Image& image) {
  std::vector<std::uint16_t> samples;
  auto add = [&](const auto& pixels) {
    for (const auto& p : pixels) samples.insert(samples.end(), {p.red, p.green, p.blue, p.alpha});
  };
  switch (image.Depth()) {
    case PixelDepth::Depth8:
      add(PixelsOf<Pixel8>(image));
      break;
    case PixelDepth::Depth16:
      add(PixelsOf<Pixel16>(image));
      break;
    case PixelDepth::DepthFloat:
      throw std::logic_error("PNG holds no float");
  }
  return samples;
}

Image EngineFrame(const Image& input, const RawParams& params) {
  const WipeSettings settings = DeriveWipeSettings(
      params.downsample_num, params.downsample_den, params.mode, params.completion, params.width,
      params.direction_mode, params.direction, params.displace, &Remainder);
  Image output = input;
  StandaloneHost host(input.View());
  const std::int32_t code = RenderWipe(settings, input.View(), output.View(), host);
  if (code != kErrNone) throw std::runtime_error("RenderWipe failed");
  return output;
}

::testing::AssertionResult SameBits(const Image& expected, const Image& actual) {
  if (expected.width != actual.width || expected.height != actual.height ||
      expected.Depth() != actual.Depth()) {
    return ::testing::AssertionFailure()
           << "expected " << expected.width << " x " << expected.height << " "
           << DepthName(expected.Depth()) << ", got " << actual.width << " x " << actual.height
           << " " << DepthName(actual.Depth());
  }
  const WorldView a = expected.View();
  const WorldView b = actual.View();
  const std::size_t record = expected.Depth() == PixelDepth::Depth8    ? sizeof(Pixel8)
                             : expected.Depth() == PixelDepth::Depth16 ? sizeof(Pixel16)
                                                                       : sizeof(PixelFloat);
  const auto* left = static_cast<const unsigned char*>(a.base);
  const auto* right = static_cast<const unsigned char*>(b.base);
  const std::size_t count =
      static_cast<std::size_t>(expected.width) * static_cast<std::size_t>(expected.height);
  for (std::size_t i = 0; i < count; ++i) {
    if (std::memcmp(left + i * record, right + i * record, record) != 0) {
      const auto x = static_cast<std::int32_t>(i % static_cast<std::size_t>(expected.width));
      const auto y = static_cast<std::int32_t>(i / static_cast<std::size_t>(expected.width));
      auto describe = [&](const Image& image) {
        std::ostringstream text;
        std::visit(
            [&](const auto& pixels) {
              const auto& p = pixels[i];
              text << "(a " << +p.alpha << ", r " << +p.red << ", g " << +p.green << ", b "
                   << +p.blue << ")";
            },
            image.pixels);
        return text.str();
      };
      return ::testing::AssertionFailure()
             << "first difference at pixel (" << x << ", " << y << "): expected "
             << describe(expected) << ", got " << describe(actual);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quillmarch::tool::testing
