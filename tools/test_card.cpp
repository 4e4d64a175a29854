#include "tools/test_card.h"

#include <algorithm>
#include <cmath>

namespace quillmarch::tool {
namespace {

struct Colour {
  double red, green, blue;
};

double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

Colour FromHsv(double hue_degrees, double saturation, double value) {
  const double h = std::fmod(hue_degrees, 360.0) / 60.0;
  const double c = value * saturation;
  const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
  const double m = value - c;
  const int sector = static_cast<int>(h);
  Colour rgb{};
  switch (sector) {
    case 0:
      rgb = {c, x, 0};
      break;
    case 1:
      rgb = {x, c, 0};
      break;
    case 2:
      rgb = {0, c, x};
      break;
    case 3:
      rgb = {0, x, c};
      break;
    case 4:
      rgb = {x, 0, c};
      break;
    default:
      rgb = {c, 0, x};
      break;
  }
  return {rgb.red + m, rgb.green + m, rgb.blue + m};
}

Colour Mix(const Colour& under, const Colour& over, double amount) {
  return {under.red + (over.red - under.red) * amount,
          under.green + (over.green - under.green) * amount,
          under.blue + (over.blue - under.blue) * amount};
}

struct Disc {
  double x, y, radius;  // in units of the card's height
  Colour colour;
  bool ring;
};

// Placed so that every strip direction crosses several edges: the front and
// the displaced content are easy to follow.
constexpr Disc kDiscs[] = {
    {0.42, 0.30, 0.17, {0.98, 0.92, 0.20}, false}, {0.95, 0.68, 0.22, {0.10, 0.20, 0.55}, false},
    {1.30, 0.36, 0.14, {0.95, 0.35, 0.65}, true},  {0.30, 0.78, 0.12, {0.15, 0.75, 0.55}, true},
    {1.45, 0.80, 0.10, {1.00, 1.00, 1.00}, false},
};

// One pixel of the card as doubles in [0, 1]: colour and alpha.
void CardPixel(double x, double y, double width, double height, Colour& colour, double& alpha) {
  const double unit = height;  // discs and lines scale with the height
  const double u = x / std::max(1.0, width - 1.0);
  const double v = y / std::max(1.0, height - 1.0);
  colour = FromHsv(300.0 * u + 40.0 * v, 0.55 + 0.3 * v, 0.95 - 0.25 * v);

  // Soft grid lines, so that the sliding content of a strip shows.
  const double spacing = unit / 9.0;
  auto line_weight = [&](double coordinate) {
    const double offset = std::fabs(std::remainder(coordinate, spacing));
    return 1.0 - SmoothStep(0.8, 2.2, offset);
  };
  const double grid = std::max(line_weight(x), line_weight(y));
  colour = Mix(colour, {0.08, 0.08, 0.12}, 0.45 * grid);

  for (const Disc& disc : kDiscs) {
    const double distance = std::hypot(x - disc.x * unit, y - disc.y * unit);
    const double radius = disc.radius * unit;
    double cover = 1.0 - SmoothStep(radius - 2.0, radius + 2.0, distance);
    if (disc.ring) cover *= SmoothStep(radius * 0.55 - 2.0, radius * 0.55 + 2.0, distance);
    colour = Mix(colour, disc.colour, 0.9 * cover);
  }

  // Fully transparent at the top right corner, opaque a little further in.
  const double corner = std::hypot(x - (width - 1.0), y);
  alpha = SmoothStep(0.26 * unit, 0.56 * unit, corner);
}

template <typename Channel>
Channel Quantise(double value, double most) {
  return static_cast<Channel>(std::lround(std::clamp(value, 0.0, 1.0) * most));
}

template <typename Pixel, typename Store>
void Fill(Image& image, Store store) {
  auto& pixels = std::get<std::vector<Pixel>>(image.pixels);
  for (std::int32_t y = 0; y < image.height; ++y) {
    for (std::int32_t x = 0; x < image.width; ++x) {
      Colour colour{};
      double alpha = 0.0;
      CardPixel(x, y, image.width, image.height, colour, alpha);
      Pixel& pixel = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                            static_cast<std::size_t>(x)];
      pixel.alpha = store(alpha);
      pixel.red = store(colour.red);
      pixel.green = store(colour.green);
      pixel.blue = store(colour.blue);
    }
  }
}

}  // namespace

Image MakeTestCard(PixelDepth depth, std::int32_t width, std::int32_t height) {
  Image image = Image::Blank(depth, width, height);
  switch (depth) {
    case PixelDepth::Depth8:
      Fill<Pixel8>(image, [](double v) { return Quantise<std::uint8_t>(v, 255.0); });
      break;
    case PixelDepth::Depth16:
      Fill<Pixel16>(image, [](double v) { return Quantise<std::uint16_t>(v, 65535.0); });
      break;
    case PixelDepth::DepthFloat:
      Fill<PixelFloat>(image, [](double v) { return static_cast<float>(v); });
      break;
  }
  return image;
}

}  // namespace quillmarch::tool
