// Frame rendering speed of the plain walk, per depth and path, reported as
// bytes of output per second so that it reads against memory bandwidth.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "engine/pixel_ops.h"
#include "engine/standalone_host.h"
#include "engine/wipe_engine.h"

namespace quillmarch {
namespace {

template <typename Pixel>
void BM_RenderWipe(benchmark::State& state) {
  const auto width = static_cast<std::int32_t>(state.range(0));
  const auto height = static_cast<std::int32_t>(state.range(1));
  const double degrees = static_cast<double>(state.range(2));
  const auto displace = static_cast<std::int32_t>(state.range(3));
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<Pixel> input(count), output(count);
  for (std::size_t i = 0; i < count; ++i) {
    input[i].alpha =
        PixelTraits<Pixel>::FromDouble(std::is_same_v<Pixel, PixelFloat> ? 1.0 : 200.0);
    input[i].red = PixelTraits<Pixel>::FromDouble(static_cast<double>(i % 97));
  }
  const WorldView in{input.data(), width, height, width, PixelTraits<Pixel>::kDepth};
  const WorldView out{output.data(), width, height, width, PixelTraits<Pixel>::kDepth};
  StandaloneHost host(in);
  const WipeSettings settings = DeriveWipeSettings(
      1, 1, kModeNormal, 45 * 65536, 20.0, kToRight, static_cast<Fixed>(degrees * 65536.0),
      displace, [](double x, double y) { return std::fmod(x, y); });
  for (auto _ : state) {
    std::memcpy(output.data(), input.data(), count * sizeof(Pixel));
    benchmark::DoNotOptimize(RenderWipe(settings, in, out, host));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(count * sizeof(Pixel)));
}

// 1920 x 1080 and 3840 x 2160; 90 degrees takes the axis-aligned path, 30
// the oblique one; displacement off and on.
void Frames(benchmark::internal::Benchmark* b) {
  for (std::int64_t degrees : {90, 30}) {
    for (std::int64_t displace : {0, 1}) {
      b->Args({1920, 1080, degrees, displace});
      b->Args({3840, 2160, degrees, displace});
    }
  }
  b->ArgNames({"w", "h", "deg", "displace"})->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_RenderWipe, Pixel8)->Apply(Frames);
BENCHMARK_TEMPLATE(BM_RenderWipe, Pixel16)->Apply(Frames);
BENCHMARK_TEMPLATE(BM_RenderWipe, PixelFloat)->Apply(Frames);

}  // namespace
}  // namespace quillmarch

BENCHMARK_MAIN();
