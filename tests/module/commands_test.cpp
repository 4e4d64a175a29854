// The commands around rendering, sent to the real module as the host sends
// them: what it tells the host about itself must agree with its description
// resource, and its parameters with what the effect declares.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/module/description_resource.h"
#include "tests/module/loaded_module.h"
#include "tests/module/module_session.h"

namespace quillmarch::module_test {
namespace {

class Commands : public ::testing::Test {
 protected:
  ModuleSession session;
  sim::SimHost& host = session.host();
};

std::uint32_t ResourceLong(const std::string& key) {
  std::string error;
  const std::vector<std::uint8_t> bytes = ReadDescriptionResource(TheModule().handle(), error);
  PiplList list;
  std::uint32_t value = 0;
  EXPECT_TRUE(ParsePipl(bytes, list, error)) << error;
  EXPECT_TRUE(PiplLong(list, key, value)) << "no four-byte property " << key;
  return value;
}

TEST_F(Commands, GlobalSetupReportsWhatTheResourceSays) {
  // Bits the host set beforehand must survive: the flags are ORed in.
  host.out_data().out_flags = 0x1;
  host.out_data().out_flags2 = 0x2;
  ASSERT_EQ(session.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data().my_version, ResourceLong("eVER"));
  EXPECT_EQ(static_cast<std::uint32_t>(host.out_data().out_flags), 0x1 | ResourceLong("eGLO"));
  EXPECT_EQ(static_cast<std::uint32_t>(host.out_data().out_flags2), 0x2 | ResourceLong("eGL2"));

  // The global data: the initialized flag, then the id that registration
  // wrote, at the offsets a 32-bit compiler gives them.
  const sim::HandleInfo* global = host.Info(host.out_data().global_data);
  ASSERT_NE(global, nullptr);
  ASSERT_EQ(global->size, 8u);
  const auto* bytes = static_cast<const std::uint8_t*>(global->data());
  EXPECT_EQ(bytes[0], 1);
  std::int32_t plugin_id = 0;
  std::memcpy(&plugin_id, bytes + 4, sizeof(plugin_id));
  EXPECT_EQ(plugin_id, host.plugin_id_given());
  EXPECT_EQ(global->lock_count, 0);
  ASSERT_EQ(host.registrations().size(), 1u);
  EXPECT_EQ(host.registrations()[0].first, nullptr);
  EXPECT_EQ(host.registrations()[0].second, "Error!");
}

TEST_F(Commands, AboutGivesNameVersionAndDescription) {
  ASSERT_EQ(session.Send(PF_Cmd_ABOUT), PF_Err_NONE);
  EXPECT_STREQ(host.out_data().return_msg, "Quillmarch, v1.0\rZezuzoreduz!");
}

PF_ParamDef Definition(PF_ParamType type, std::int32_t id, const char* name) {
  PF_ParamDef def;
  std::memset(&def, 0, sizeof(def));
  def.param_type = type;
  def.id = id;
  std::strcpy(def.name, name);
  return def;
}

// The six definitions as the effect declares them. Every byte not set here
// must be zero: the module clears each definition before filling it. The
// host keeps copies of the texts and nulls the pointers in its record.
struct ExpectedParam {
  PF_ParamDef def;
  std::string popup_names;
};

std::vector<ExpectedParam> ExpectedParams() {
  std::vector<ExpectedParam> params;

  PF_ParamDef mode = Definition(PF_Param_POPUP, 1, "Mode");
  mode.u.popup.value = 1;
  mode.u.popup.num_choices = 2;
  mode.u.popup.default_value = 1;
  params.push_back({mode, "Normal|Constant"});

  PF_ParamDef completion = Definition(PF_Param_FIX_SLIDER, 2, "Completion");
  completion.u.fix_slider.valid_max = 0x640000;
  completion.u.fix_slider.slider_max = 0x640000;
  completion.u.fix_slider.precision = 1;
  completion.u.fix_slider.display_flags = PF_ValueDisplayFlag_PERCENT;
  params.push_back({completion, ""});

  PF_ParamDef width = Definition(PF_Param_FLOAT_SLIDER, 3, "Width");
  width.u.float_slider.value = 20.0;
  width.u.float_slider.valid_min = 4.0f;
  width.u.float_slider.valid_max = 1000.0f;
  width.u.float_slider.slider_min = 4.0f;
  width.u.float_slider.slider_max = 100.0f;
  width.u.float_slider.default_value = 20.0f;
  width.u.float_slider.precision = 2;
  width.u.float_slider.curve_tolerance = 0.05f;
  params.push_back({width, ""});

  PF_ParamDef direction_mode = Definition(PF_Param_POPUP, 4, "Direction Mode");
  direction_mode.u.popup.value = 1;
  direction_mode.u.popup.num_choices = 2;
  direction_mode.u.popup.default_value = 1;
  params.push_back({direction_mode, "To Right|To Left"});

  PF_ParamDef direction = Definition(PF_Param_ANGLE, 5, "Direction");
  direction.u.angle.value = 0x5A0000;
  direction.u.angle.default_value = 0x5A0000;
  params.push_back({direction, ""});

  PF_ParamDef displace = Definition(PF_Param_CHECKBOX, 6, "Displace");
  displace.u.checkbox.value = 1;
  displace.u.checkbox.default_value = 1;
  params.push_back({displace, ""});
  return params;
}

TEST_F(Commands, ParamsSetupDeclaresTheSixParameters) {
  ASSERT_EQ(session.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data().num_params, 7);
  const std::vector<ExpectedParam> expected = ExpectedParams();
  ASSERT_EQ(host.added_params().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const sim::AddedParam& added = host.added_params()[i];
    SCOPED_TRACE(std::string("parameter ") + expected[i].def.name);
    EXPECT_EQ(added.index_argument, -1);
    EXPECT_EQ(added.popup_names, expected[i].popup_names);
    EXPECT_EQ(added.checkbox_label, "");
    const auto* actual_bytes = reinterpret_cast<const std::uint8_t*>(&added.def);
    const auto* expected_bytes = reinterpret_cast<const std::uint8_t*>(&expected[i].def);
    for (std::size_t at = 0; at < sizeof(PF_ParamDef); ++at) {
      ASSERT_EQ(actual_bytes[at], expected_bytes[at]) << "first difference at byte " << at;
    }
  }
}

TEST_F(Commands, SequenceSetupRenewsItsDataAndSetdownDisposesOfIt) {
  ASSERT_EQ(session.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
  const PF_Handle first = host.in_data().sequence_data;
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(host.Info(first)->size, 1u);
  EXPECT_EQ(*static_cast<const std::uint8_t*>(host.Info(first)->data()), 0);

  ASSERT_EQ(session.Send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  const PF_Handle second = host.in_data().sequence_data;
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_TRUE(host.Info(first)->disposed);

  ASSERT_EQ(session.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  EXPECT_TRUE(host.Info(second)->disposed);

  // Nothing to dispose of: no suite is even asked for.
  const int acquisitions = host.TotalAcquisitions();
  EXPECT_EQ(session.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  EXPECT_EQ(host.TotalAcquisitions(), acquisitions);
}

TEST_F(Commands, GeneralCommandEchoesItsText) {
  // A percent sign in the text must come back as it is.
  char text[] = "Echo 100% of this";
  ASSERT_EQ(session.Send(PF_Cmd_COMPLETELY_GENERAL, text), PF_Err_NONE);
  EXPECT_STREQ(host.out_data().return_msg, text);

  // Longer than the return message: cut to fit, never written past it.
  std::string long_text(400, 'x');
  ASSERT_EQ(session.Send(PF_Cmd_COMPLETELY_GENERAL, long_text.data()), PF_Err_NONE);
  EXPECT_EQ(std::string(host.out_data().return_msg), std::string(PF_MAX_RETURN_MSG_LEN - 1, 'x'));
}

TEST_F(Commands, OtherCommandsAreIgnored) {
  session.SetUpEffect();
  for (PF_Cmd cmd : {2, 3, 7, 10, 11, 12, 18, 25, 1000, -1}) {
    SCOPED_TRACE("command " + std::to_string(cmd));
    std::memset(host.out_data().return_msg, 'z', sizeof(host.out_data().return_msg));
    const PF_OutData before = host.out_data();
    const int acquisitions = host.TotalAcquisitions();
    EXPECT_EQ(session.Send(cmd), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &host.out_data(), sizeof(PF_OutData)), 0);
    EXPECT_EQ(host.TotalAcquisitions(), acquisitions);
  }
}

}  // namespace
}  // namespace quillmarch::module_test
