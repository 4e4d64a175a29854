#include "tools/image_io.h"

#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>

namespace quillmarch::tool {
namespace fs = std::filesystem;

namespace {

// The temporary files being written, for the signal handler: fixed buffers,
// since a handler may only call async-signal-safe functions such as unlink.
// A sequence has at most two open at once (a frame and the GIF).
struct InterruptSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> ready{false};
  char path[4096];
};
InterruptSlot g_interrupt_slots[4];

extern "C" void RemoveTempFileAndExit(int signal_number) {
  for (auto& slot : g_interrupt_slots) {
    if (slot.ready.load()) unlink(slot.path);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

int TakeInterruptSlot(const std::string& path) {
  if (path.size() >= sizeof g_interrupt_slots[0].path) return -1;
  for (int i = 0; i < 4; ++i) {
    bool expected = false;
    if (g_interrupt_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_interrupt_slots[i].path, path.c_str(), path.size() + 1);
      g_interrupt_slots[i].ready.store(true);
      return i;
    }
  }
  return -1;
}

void ReleaseInterruptSlot(int slot) {
  if (slot < 0) return;
  g_interrupt_slots[slot].ready.store(false);
  g_interrupt_slots[slot].used.store(false);
}

template <typename Pixel>
struct ChannelOf;
template <>
struct ChannelOf<Pixel8> {
  using Type = std::uint8_t;
  static constexpr OIIO::TypeDesc::BASETYPE kBase = OIIO::TypeDesc::UINT8;
  static constexpr Type kOpaque = 255;
};
template <>
struct ChannelOf<Pixel16> {
  using Type = std::uint16_t;
  static constexpr OIIO::TypeDesc::BASETYPE kBase = OIIO::TypeDesc::UINT16;
  static constexpr Type kOpaque = 65535;
};
template <>
struct ChannelOf<PixelFloat> {
  using Type = float;
  static constexpr OIIO::TypeDesc::BASETYPE kBase = OIIO::TypeDesc::FLOAT;
  static constexpr Type kOpaque = 1.0f;
};

template <typename Pixel>
std::vector<Pixel>& PixelsOf(Image& image) {
  return std::get<std::vector<Pixel>>(image.pixels);
}

OIIO::TypeDesc TypeOf(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::Depth8:
      return OIIO::TypeDesc::UINT8;
    case PixelDepth::Depth16:
      return OIIO::TypeDesc::UINT16;
    case PixelDepth::DepthFloat:
      return OIIO::TypeDesc::FLOAT;
  }
  return OIIO::TypeDesc::FLOAT;
}

// The depth a file renders at: its channels' own, when the engine has it.
PixelDepth DepthOf(const std::string& path, const OIIO::ImageSpec& spec, DepthChoice choice) {
  switch (choice) {
    case DepthChoice::k8:
      return PixelDepth::Depth8;
    case DepthChoice::k16:
      return PixelDepth::Depth16;
    case DepthChoice::kFloat:
      return PixelDepth::DepthFloat;
    case DepthChoice::kFromInput:
      break;
  }
  bool any_float = false;
  bool any_16 = false;
  std::string unsupported;
  for (int c = 0; c < spec.nchannels; ++c) {
    const OIIO::TypeDesc type = spec.channelformat(c);
    if (type.basetype == OIIO::TypeDesc::HALF || type.basetype == OIIO::TypeDesc::FLOAT) {
      any_float = true;
    } else if (type.basetype == OIIO::TypeDesc::UINT16) {
      any_16 = true;
    } else if (type.basetype != OIIO::TypeDesc::UINT8) {
      unsupported = type.c_str();
    }
  }
  // Values must pass through as stored, so a type the engine cannot hold
  // exactly (double, 32-bit or signed integers) is converted only on request.
  if (!unsupported.empty()) {
    throw ToolError("cannot read " + Quoted(path) + ": its " + unsupported +
                    " channels have no exact engine depth; choose one with --depth 8|16|float");
  }
  if (any_float) return PixelDepth::DepthFloat;
  if (any_16) return PixelDepth::Depth16;
  return PixelDepth::Depth8;
}

// Which file channels become red, green, blue and alpha.
struct ChannelMap {
  int red, green, blue, alpha;  // alpha -1: none, made opaque
};

ChannelMap MapChannels(const std::string& path, const OIIO::ImageSpec& spec) {
  const int count = spec.nchannels;
  int alpha = spec.alpha_channel;
  // A two- or four-channel file whose alpha carries no recognised name.
  if (alpha < 0 && (count == 2 || count == 4)) alpha = count - 1;

  auto named = [&](const char* name) {
    for (int c = 0; c < count; ++c) {
      if (c < static_cast<int>(spec.channelnames.size()) &&
          spec.channelnames[static_cast<std::size_t>(c)] == name) {
        return c;
      }
    }
    return -1;
  };
  const int red = named("R");
  const int green = named("G");
  const int blue = named("B");
  if (red >= 0 && green >= 0 && blue >= 0) return {red, green, blue, alpha};

  std::vector<int> colour;
  for (int c = 0; c < count; ++c) {
    if (c != alpha) colour.push_back(c);
  }
  if (colour.size() == 1) return {colour[0], colour[0], colour[0], alpha};
  if (colour.size() >= 3) return {colour[0], colour[1], colour[2], alpha};
  throw ToolError("cannot read " + Quoted(path) + ": " + std::to_string(count) +
                  " channels, expected grey or RGB with or without alpha");
}

template <typename Pixel>
void ReadPixels(OIIO::ImageInput& input, const std::string& path, const ChannelMap& map,
                Image& image) {
  using Traits = ChannelOf<Pixel>;
  using Channel = typename Traits::Type;
  const OIIO::ImageSpec& spec = input.spec();
  const auto count = static_cast<std::size_t>(spec.nchannels);
  const std::size_t pixel_count =
      static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
  std::vector<Channel> file(pixel_count * count);
  if (!input.read_image(0, 0, 0, spec.nchannels, Traits::kBase, file.data())) {
    throw ToolError("cannot read " + Quoted(path) + ": " + OneLine(input.geterror()));
  }
  auto& pixels = PixelsOf<Pixel>(image);
  for (std::size_t i = 0; i < pixel_count; ++i) {
    const Channel* source = &file[i * count];
    Pixel& pixel = pixels[i];
    pixel.alpha = map.alpha >= 0 ? source[map.alpha] : Traits::kOpaque;
    pixel.red = source[map.red];
    pixel.green = source[map.green];
    pixel.blue = source[map.blue];
  }
}

template <typename Pixel>
std::vector<typename ChannelOf<Pixel>::Type> ToRgba(const Image& image) {
  using Channel = typename ChannelOf<Pixel>::Type;
  const auto& pixels = std::get<std::vector<Pixel>>(image.pixels);
  std::vector<Channel> rgba(pixels.size() * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgba[i * 4 + 0] = pixels[i].red;
    rgba[i * 4 + 1] = pixels[i].green;
    rgba[i * 4 + 2] = pixels[i].blue;
    rgba[i * 4 + 3] = pixels[i].alpha;
  }
  return rgba;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

// The channel type the file gets. Only formats that hold every depth of ours
// without loss are offered; a format that would reduce the depth is refused
// rather than written quietly at less.
OIIO::TypeDesc FileTypeFor(const std::string& path, PixelDepth depth) {
  const std::string extension = LowerExtension(path);
  if (extension == ".png") {
    if (depth == PixelDepth::DepthFloat) {
      throw ToolError("cannot write " + Quoted(path) +
                      ": PNG holds 8 or 16 bits, not float; write .exr or .tif, or render "
                      "with --depth 8 or --depth 16");
    }
    return TypeOf(depth);
  }
  if (extension == ".exr") return OIIO::TypeDesc::FLOAT;
  if (extension == ".tif" || extension == ".tiff") return TypeOf(depth);
  throw ToolError("cannot write " + Quoted(path) +
                  ": the output must be .png (8 or 16 bits), .tif or .exr");
}

}  // namespace

std::string OneLine(std::string reason) {
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  for (std::size_t at = reason.find('\n'); at != std::string::npos; at = reason.find('\n', at)) {
    reason.replace(at, 1, "; ");
  }
  return reason.empty() ? "no reason given by the image library" : reason;
}

Image Image::Blank(PixelDepth depth, std::int32_t width, std::int32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  switch (depth) {
    case PixelDepth::Depth8:
      image.pixels = std::vector<Pixel8>(count);
      break;
    case PixelDepth::Depth16:
      image.pixels = std::vector<Pixel16>(count);
      break;
    case PixelDepth::DepthFloat:
      image.pixels = std::vector<PixelFloat>(count);
      break;
  }
  return image;
}

PixelDepth Image::Depth() const {
  switch (pixels.index()) {
    case 0:
      return PixelDepth::Depth8;
    case 1:
      return PixelDepth::Depth16;
    default:
      return PixelDepth::DepthFloat;
  }
}

WorldView Image::View() const {
  WorldView view;
  // The engine's views are mutable; the input view is only ever read.
  view.base = std::visit(
      [](const auto& records) {
        return const_cast<void*>(static_cast<const void*>(records.data()));
      },
      pixels);
  view.width = width;
  view.height = height;
  view.stride = width;
  view.depth = Depth();
  return view;
}

const char* DepthName(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::Depth8:
      return "8-bit";
    case PixelDepth::Depth16:
      return "16-bit";
    case PixelDepth::DepthFloat:
      return "float";
  }
  return "?";
}

Image ReadImage(const std::string& path, DepthChoice depth_choice) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) throw ToolError("cannot read " + Quoted(path) + ": no such file");
  if (fs::is_directory(status)) {
    throw ToolError("cannot read " + Quoted(path) + ": it is a folder, not an image");
  }

  // Without this, OpenImageIO multiplies the colour of PNG and TIFF files by
  // their alpha on reading; the engine must see the values as stored.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto input = OIIO::ImageInput::open(path, &config);
  if (!input) {
    std::string reason = OIIO::geterror();
    if (reason.empty()) reason = "not an image file this build can read";
    throw ToolError("cannot read " + Quoted(path) + ": " + OneLine(reason));
  }
  const OIIO::ImageSpec& spec = input->spec();
  if (spec.depth > 1) throw ToolError("cannot read " + Quoted(path) + ": a volume image");
  if (spec.width < 1 || spec.height < 1 || spec.width > kMostPixelsPerSide ||
      spec.height > kMostPixelsPerSide) {
    throw ToolError("cannot read " + Quoted(path) + ": " + std::to_string(spec.width) + " x " +
                    std::to_string(spec.height) + " pixels; the engine's 16.16 sample positions " +
                    "reach 1 to " + std::to_string(kMostPixelsPerSide) + " pixels a side");
  }
  const PixelDepth depth = DepthOf(path, spec, depth_choice);
  const ChannelMap map = MapChannels(path, spec);

  Image image = Image::Blank(depth, spec.width, spec.height);
  switch (depth) {
    case PixelDepth::Depth8:
      ReadPixels<Pixel8>(*input, path, map, image);
      break;
    case PixelDepth::Depth16:
      ReadPixels<Pixel16>(*input, path, map, image);
      break;
    case PixelDepth::DepthFloat:
      ReadPixels<PixelFloat>(*input, path, map, image);
      break;
  }
  return image;
}

void CheckWritable(const std::string& path, PixelDepth depth) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    throw ToolError("cannot write " + Quoted(path) + ": it is a folder");
  }
  (void)FileTypeFor(path, depth);
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  const fs::file_status status = fs::status(folder, error);
  if (!fs::exists(status)) {
    throw ToolError("cannot write " + Quoted(path) + ": folder " + Quoted(folder.string()) +
                    " does not exist");
  }
  if (!fs::is_directory(status)) {
    throw ToolError("cannot write " + Quoted(path) + ": " + Quoted(folder.string()) +
                    " is not a folder");
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw ToolError("cannot write " + Quoted(path) + ": folder " + Quoted(folder.string()) + ": " +
                    std::strerror(errno));
  }
}

void WriteImage(const Image& image, const std::string& path) {
  const OIIO::TypeDesc file_type = FileTypeFor(path, image.Depth());
  auto output = OIIO::ImageOutput::create(path);
  if (!output) throw ToolError("cannot write " + Quoted(path) + ": " + OneLine(OIIO::geterror()));

  OIIO::ImageSpec spec(image.width, image.height, 4, file_type);
  spec.alpha_channel = 3;
  // The colour is not premultiplied; without this the PNG and TIFF writers
  // would divide it by alpha.
  spec.attribute("oiio:UnassociatedAlpha", 1);

  TempFile temp(path);
  if (!output->open(temp.Path(), spec)) {
    throw ToolError("cannot write " + Quoted(path) + ": " + OneLine(output->geterror()));
  }
  bool written = false;
  switch (image.Depth()) {
    case PixelDepth::Depth8:
      written = output->write_image(OIIO::TypeDesc::UINT8, ToRgba<Pixel8>(image).data());
      break;
    case PixelDepth::Depth16:
      written = output->write_image(OIIO::TypeDesc::UINT16, ToRgba<Pixel16>(image).data());
      break;
    case PixelDepth::DepthFloat:
      written = output->write_image(OIIO::TypeDesc::FLOAT, ToRgba<PixelFloat>(image).data());
      break;
  }
  const bool closed = output->close();
  if (!written || !closed) {
    throw ToolError("cannot write " + Quoted(path) + ": " + OneLine(output->geterror()));
  }
  temp.Commit();
}

TempFile::TempFile(std::string final_path) : final_path_(std::move(final_path)) {
  const fs::path final_name(final_path_);
  // Hidden, in the same folder (so that the rename cannot cross file
  // systems), and unique to this process.
  std::string stem = ".";
  stem += final_name.filename().string();
  stem += ".tmp-";
  stem += std::to_string(static_cast<long>(getpid()));
  // O_EXCL: never write over somebody else's file; try a few names.
  for (int attempt = 0;; ++attempt) {
    std::string name = stem;
    if (attempt > 0) {
      name += '-';
      name += std::to_string(attempt);
    }
    temp_path_ = (final_name.parent_path() / name).string();
    const int fd = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      break;
    }
    if (errno != EEXIST || attempt == 99) {
      throw ToolError("cannot write " + Quoted(final_path_) + ": " + std::strerror(errno));
    }
  }
  interrupt_slot_ = TakeInterruptSlot(temp_path_);
}

TempFile::~TempFile() {
  if (!committed_) ::unlink(temp_path_.c_str());
  ReleaseInterruptSlot(interrupt_slot_);
}

void TempFile::Commit() {
  if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    throw ToolError("cannot write " + Quoted(final_path_) + ": " + std::strerror(errno));
  }
  committed_ = true;
  ReleaseInterruptSlot(interrupt_slot_);
  interrupt_slot_ = -1;
}

void InstallInterruptCleanup() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored on entry (SIGINT for a shell's background job) stays
    // ignored, as the shell meant.
    if (std::signal(signal_number, RemoveTempFileAndExit) == SIG_IGN) {
      std::signal(signal_number, SIG_IGN);
    }
  }
}

}  // namespace quillmarch::tool
