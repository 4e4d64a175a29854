// Shared fixture of the host-layer tests: a simulated host driving the host
// library's EntryPointFunc, checked for problems at the end of every test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/host_interface.h"
#include "tests/host/sim/sim_host.h"

// Found by argument-dependent lookup: PF_Rect is in the global namespace.
inline bool operator==(const PF_Rect& a, const PF_Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& out, const PF_Rect& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace quillmarch::test {

/// The six parameter values of a frame, as the host stores them.
struct FrameParams {
  std::int32_t mode = 1;
  PF_Fixed completion = 50 << 16;  ///< percent
  double width = 20.0;
  std::int32_t direction_mode = 1;
  PF_Fixed direction = 90 << 16;  ///< degrees
  std::int32_t displace = 1;
};

class HostTest : public ::testing::Test {
 protected:
  HostTest() : host(&EntryPointFunc) {}

  // Every test ends with a host that saw nothing wrong: no suite left
  // acquired, no handle misused, no write outside a world.
  void TearDown() override { EXPECT_THAT(host.problems(), ::testing::IsEmpty()); }

  void SetParams(const FrameParams& p) {
    host.SetParam(1, sim::ParamValue::Popup(p.mode));
    host.SetParam(2, sim::ParamValue::FixSlider(p.completion));
    host.SetParam(3, sim::ParamValue::FloatSlider(p.width));
    host.SetParam(4, sim::ParamValue::Popup(p.direction_mode));
    host.SetParam(5, sim::ParamValue::Angle(p.direction));
    host.SetParam(6, sim::ParamValue::Checkbox(p.displace));
  }

  /// Input and output worlds of one format, the input filled with a pattern
  /// that differs per pixel and channel, the output with 0x11 bytes.
  void MakeWorlds(PF_PixelFormat format, std::int32_t width, std::int32_t height,
                  std::int32_t input_rowbytes = 0, std::int32_t output_rowbytes = 0) {
    input = host.MakeWorld(format, width, height, input_rowbytes);
    output = host.MakeWorld(format, width, height, output_rowbytes, 0x11);
    FillPattern(input);
    host.SetInput(input);
    host.SetOutput(output);
  }

  void FillPattern(PF_EffectWorld* world) {
    const WorldView view = host.ViewOf(world);
    for (std::int32_t y = 0; y < view.height; ++y) {
      for (std::int32_t x = 0; x < view.width; ++x) {
        const auto seed = static_cast<std::uint32_t>(y * 131 + x * 17);
        const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(view.stride) +
                               static_cast<std::size_t>(x);
        switch (view.depth) {
          case PixelDepth::Depth8:
            static_cast<Pixel8*>(view.base)[at] = {static_cast<std::uint8_t>(seed % 256),
                                                   static_cast<std::uint8_t>(seed * 3 % 256),
                                                   static_cast<std::uint8_t>(seed * 7 % 256),
                                                   static_cast<std::uint8_t>(seed * 11 % 256)};
            break;
          case PixelDepth::Depth16:
            static_cast<Pixel16*>(view.base)[at] = {static_cast<std::uint16_t>(seed * 257 % 32769),
                                                    static_cast<std::uint16_t>(seed * 3 % 32769),
                                                    static_cast<std::uint16_t>(seed * 7 % 32769),
                                                    static_cast<std::uint16_t>(seed * 11 % 32769)};
            break;
          case PixelDepth::DepthFloat:
            static_cast<PixelFloat*>(view.base)[at] = {
                static_cast<float>(seed % 97) / 96.0f,
                static_cast<float>(seed % 13) / 12.0f - 0.25f, static_cast<float>(seed % 7) * 0.5f,
                static_cast<float>(seed % 5) / 3.0f};
            break;
        }
      }
    }
  }

  /// Pre-render over `request` with a cleared output part, as a host sends it.
  PF_Err SendPreRender(const PF_Rect& request) {
    std::memset(&host.pre_render_input(), 0, sizeof(PF_PreRenderInput));
    host.pre_render_input().output_request.rect = request;
    std::memset(&host.pre_render_output(), 0, sizeof(PF_PreRenderOutput));
    return host.Send(PF_Cmd_SMART_PRE_RENDER, &host.pre_render_extra());
  }

  /// Smart render with the pre-render data of the last pre-render.
  PF_Err SendSmartRender() {
    host.smart_render_input().pre_render_data = host.pre_render_output().pre_render_data;
    return host.Send(PF_Cmd_SMART_RENDER, &host.smart_render_extra());
  }

  /// The record in the settings handle that the last pre-render made.
  WipeSettings SettingsOfFrame() {
    WipeSettings settings;
    std::memset(&settings, 0xEE, sizeof(settings));
    const auto* info = host.Info(static_cast<PF_Handle>(host.pre_render_output().pre_render_data));
    if (info != nullptr && info->size >= sizeof(settings)) {
      std::memcpy(&settings, info->data(), sizeof(settings));
    }
    return settings;
  }

  static PF_Rect Rect(std::int32_t left, std::int32_t top, std::int32_t right,
                      std::int32_t bottom) {
    return PF_Rect{left, top, right, bottom};
  }

  sim::SimHost host;
  PF_EffectWorld* input = nullptr;
  PF_EffectWorld* output = nullptr;
};

template <typename T>
std::vector<std::uint8_t> BytesOf(const T& value) {
  std::vector<std::uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

}  // namespace quillmarch::test
