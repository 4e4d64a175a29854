// The strip table is the engine's only allocation; when it fails the frame
// ends with "out of memory" and the output stays the copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "tests/engine/test_support.h"

namespace {
bool fail_allocations = false;
}

// These replace the global allocator, so malloc and free pair up by design.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (fail_allocations) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace quillmarch {
namespace {

TEST(RenderWipe, FailedStripTableAllocationIsOutOfMemory) {
  testing::Image<Pixel8> input(32, 20), output(32, 20);
  testing::FillPattern(input);
  for (std::int32_t y = 0; y < 20; ++y) {
    for (std::int32_t x = 0; x < 32; ++x) output.At(x, y) = input.At(x, y);
  }
  testing::CountingHost host(input.View());
  host.progress.reserve(64);
  const WipeSettings settings = testing::Settings(1, 0.5, 3, kToRight, 30, 1);
  fail_allocations = true;
  const std::int32_t result = RenderWipe(settings, input.View(), output.View(), host);
  fail_allocations = false;
  EXPECT_EQ(result, kErrOutOfMemory);
  EXPECT_EQ(output.pixels(), input.pixels());
  EXPECT_EQ(host.samples, 0);

  // The axis-aligned path allocates nothing and is unaffected.
  fail_allocations = true;
  const std::int32_t axis =
      RenderWipe(testing::Settings(1, 0.5, 3, kToRight, 90, 1), input.View(), output.View(), host);
  fail_allocations = false;
  EXPECT_EQ(axis, kErrNone);
}

}  // namespace
}  // namespace quillmarch
