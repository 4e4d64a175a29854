// Parameter setup: the six definitions as the host receives them.
#include <cmath>
#include <cstring>
#include <string>

#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

using ::testing::IsEmpty;

using ParamsSetupTest = HostTest;

PF_ParamDef Cleared(PF_ParamType type, std::int32_t id, const char* name) {
  PF_ParamDef def;
  std::memset(&def, 0, sizeof(def));
  def.param_type = type;
  def.id = id;
  std::strcpy(def.name, name);
  return def;
}

// Written out by hand rather than taken from the parameter table, so that a
// wrong row in the table shows here.
std::vector<PF_ParamDef> ExpectedDefinitions() {
  std::vector<PF_ParamDef> defs;
  PF_ParamDef mode = Cleared(PF_Param_POPUP, 1, "Mode");
  mode.u.popup.value = 1;
  mode.u.popup.num_choices = 2;
  mode.u.popup.default_value = 1;
  defs.push_back(mode);

  PF_ParamDef completion = Cleared(PF_Param_FIX_SLIDER, 2, "Completion");
  completion.u.fix_slider.valid_max = 0x640000;
  completion.u.fix_slider.slider_max = 0x640000;
  completion.u.fix_slider.precision = 1;
  completion.u.fix_slider.display_flags = PF_ValueDisplayFlag_PERCENT;
  defs.push_back(completion);

  PF_ParamDef width = Cleared(PF_Param_FLOAT_SLIDER, 3, "Width");
  width.u.float_slider.value = 20.0;
  width.u.float_slider.valid_min = 4.0f;
  width.u.float_slider.valid_max = 1000.0f;
  width.u.float_slider.slider_min = 4.0f;
  width.u.float_slider.slider_max = 100.0f;
  width.u.float_slider.default_value = 20.0f;
  width.u.float_slider.precision = 2;
  width.u.float_slider.curve_tolerance = 0.05f;
  defs.push_back(width);

  PF_ParamDef direction_mode = Cleared(PF_Param_POPUP, 4, "Direction Mode");
  direction_mode.u.popup.value = 1;
  direction_mode.u.popup.num_choices = 2;
  direction_mode.u.popup.default_value = 1;
  defs.push_back(direction_mode);

  PF_ParamDef direction = Cleared(PF_Param_ANGLE, 5, "Direction");
  direction.u.angle.value = 0x5A0000;
  direction.u.angle.default_value = 0x5A0000;
  defs.push_back(direction);

  PF_ParamDef displace = Cleared(PF_Param_CHECKBOX, 6, "Displace");
  displace.u.checkbox.value = 1;
  displace.u.checkbox.default_value = 1;
  defs.push_back(displace);
  return defs;
}

TEST_F(ParamsSetupTest, DeclaresSixParametersFieldByField) {
  host.out_data().num_params = 99;
  ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data().num_params, 7);

  const std::vector<PF_ParamDef> expected = ExpectedDefinitions();
  const std::vector<sim::AddedParam>& added = host.added_params();
  ASSERT_EQ(added.size(), expected.size());
  for (std::size_t i = 0; i < added.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(added[i].index_argument, -1);
    EXPECT_STREQ(added[i].def.name, expected[i].name);
    // Byte for byte: every field not set above is zero, padding included.
    EXPECT_EQ(BytesOf(added[i].def), BytesOf(expected[i]));
  }
  EXPECT_EQ(added[0].popup_names, "Normal|Constant");
  EXPECT_EQ(added[3].popup_names, "To Right|To Left");
  EXPECT_EQ(added[5].checkbox_label, "");
  EXPECT_EQ(host.Calls(sim::Op::kStrcpy), 6);
}

TEST_F(ParamsSetupTest, NeedsNoSuite) {
  host.in_data().pica_basicP = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.Calls(sim::Op::kAcquireSuite), 0);
}

TEST_F(ParamsSetupTest, StopsAtTheFirstRefusedParameter) {
  host.out_data().num_params = 99;
  host.FailOn(sim::Op::kAddParam, 3, 21);
  EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), 21);
  ASSERT_EQ(host.added_params().size(), 2u);
  EXPECT_STREQ(host.added_params()[1].def.name, "Completion");
  EXPECT_EQ(host.Calls(sim::Op::kAddParam), 3);
  EXPECT_EQ(host.out_data().num_params, 99);
}

TEST_F(ParamsSetupTest, DeclaredDefaultsAreWhatAFreshInstanceRenders) {
  // Pre-render reads back the definitions the host keeps: with no value set,
  // a frame gets the declared defaults.
  ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  MakeWorlds(PF_PixelFormat_ARGB32, 8, 4);
  ASSERT_EQ(SendPreRender(Rect(0, 0, 8, 4)), PF_Err_NONE);
  const WipeSettings expected = DeriveWipeSettings(1, 1, 1, 0, 20.0, 1, 90 << 16, 1, &std::fmod);
  EXPECT_EQ(BytesOf(SettingsOfFrame()), BytesOf(expected));
  ASSERT_TRUE(host.FinishFrame().has_value());
}

}  // namespace
}  // namespace quillmarch::test
