// Driving the real module through the simulated host, command by command as
// the host does, with the checks that hold after every command: the host saw
// nothing wrong (every suite acquired was released, no handle misused, no
// write outside a world) and the only handles alive are the ones the host
// keeps for the effect (global and sequence data, and a frame's pre-render
// data between pre-render and its deletion).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/wipe_engine.h"
#include "host/host_interface.h"
#include "tests/host/sim/sim_host.h"

namespace quillmarch::module_test {

/// The six parameter values of a frame, as the host stores them.
struct ParamValues {
  std::int32_t mode = 1;
  PF_Fixed completion = 0;  ///< percent
  double width = 20.0;
  std::int32_t direction_mode = 1;
  PF_Fixed direction = 90 << 16;  ///< degrees
  std::int32_t displace = 1;
};

/// What one frame through the real module gave.
struct ModuleFrame {
  PF_Err pre_render = PF_Err_NONE;
  PF_Err render = PF_Err_NONE;
  PF_PreRenderOutput output{};
  bool settings_written = false;
  WipeSettings settings{};  ///< as the module left it in its pre-render data
};

/// One simulated host around the loaded module.
class ModuleSession {
 public:
  ModuleSession();

  sim::SimHost& host() { return host_; }

  /// Sends one command and checks the host afterwards. With
  /// `frame_data_alive` the frame's pre-render data may stay alive too.
  PF_Err Send(PF_Cmd cmd, void* extra = nullptr, bool frame_data_alive = false);

  /// Global setup, parameter setup and sequence setup, each expected to
  /// succeed.
  void SetUpEffect();
  void SetDownEffect() { EXPECT_EQ(Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE); }

  void SetParams(const ParamValues& values);
  /// The worlds that the layer and output checkouts hand out.
  void SetWorlds(PF_EffectWorld* input, PF_EffectWorld* output);

  /// Pre-render over the whole input, smart render unless pre-render
  /// failed, then the deletion of the pre-render data, as the host ends a
  /// frame.
  ModuleFrame RenderFrame();

  /// Every handle alive is global or sequence data, or `also_alive`.
  void ExpectOnlyKeptHandles(const std::string& after, PF_Handle also_alive = nullptr);

 private:
  sim::SimHost host_;
  PF_EffectWorld* input_ = nullptr;
};

/// Fills every pixel of a world with a value of its own in every channel,
/// alpha included, so that a pixel taken from the wrong place shows. Float
/// worlds also get values outside [0, 1], which nothing may clamp.
void FillPattern(sim::SimHost& host, const PF_EffectWorld* world);

/// What the engine itself computes for a frame, with the host's own maths
/// and sampler: the results that the module received from the host, so the
/// C runtime's last-bit differences from other libraries cannot creep in.
class ReferenceRender {
 public:
  /// Makes a world shaped like `output` whose bytes start as `fill`, copies
  /// `input` into it with the host's copy utility, as the module does, and
  /// runs the engine on it.
  ReferenceRender(sim::SimHost& host, PF_EffectWorld* input, const PF_EffectWorld* output,
                  std::uint8_t fill, const WipeSettings& settings);

  PF_Err result() const { return result_; }
  const PF_EffectWorld* world() const { return world_; }
  const std::vector<std::pair<std::int32_t, std::int32_t>>& progress() const { return progress_; }

 private:
  PF_Err result_ = PF_Err_NONE;
  PF_EffectWorld* world_ = nullptr;
  std::vector<std::pair<std::int32_t, std::int32_t>> progress_;
};

/// The settings the engine derives from the values, with the host's fmod.
WipeSettings ReferenceSettings(sim::SimHost& host, const ParamValues& values);

/// Field by field and bit for bit; a message naming the first difference.
::testing::AssertionResult SameSettings(const WipeSettings& actual, const WipeSettings& expected);

/// Bit for bit; a message naming the first differing byte's row and column.
::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected,
                                     std::int32_t rowbytes, std::int32_t pixel_size);

}  // namespace quillmarch::module_test
