// Dispatch, the small commands and the exception barrier of EntryPointFunc.
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "host/handlers.h"
#include "host/plugin_info.h"
#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

using EntryPointTest = HostTest;

TEST_F(EntryPointTest, CommandsWithoutHandlerReturnZeroAndTouchNothing) {
  // Global setdown, sequence flatten and the frame commands among them: the
  // module keeps nothing, so it has nothing to do for them.
  for (const PF_Cmd cmd : {2, 3, 7, 9, 10, 11, 12, 13, 18, 22, 25, 26, 1000, -1}) {
    SCOPED_TRACE(cmd);
    std::memset(&host.out_data(), 0x5A, sizeof(PF_OutData));
    const std::vector<std::uint8_t> out_before = BytesOf(host.out_data());
    const std::vector<std::uint8_t> in_before = BytesOf(host.in_data());
    char extra[16] = "extra";
    EXPECT_EQ(host.Send(cmd, extra), PF_Err_NONE);
    EXPECT_EQ(BytesOf(host.out_data()), out_before);
    EXPECT_EQ(BytesOf(host.in_data()), in_before);
  }
  EXPECT_EQ(host.Calls(sim::Op::kAcquireSuite), 0);
  EXPECT_EQ(host.HandlesMade(), 0);
}

TEST_F(EntryPointTest, AboutWritesNameVersionAndDescription) {
  std::memset(host.out_data().return_msg, 'x', sizeof(host.out_data().return_msg));
  EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_NONE);
  const char expected[] = "Quillmarch, v1.0\rZezuzoreduz!";
  EXPECT_EQ(std::memcmp(host.out_data().return_msg, expected, sizeof(expected)), 0)
      << host.out_data().return_msg;
  EXPECT_EQ(host.Acquisitions("PF ANSI Suite", 1), 1);
  EXPECT_EQ(host.Releases("PF ANSI Suite", 1), 1);
}

TEST_F(EntryPointTest, TextCommandsWithoutTheAnsiSuiteReturn516) {
  host.RemoveSuite("PF ANSI Suite", 1);
  std::strcpy(host.out_data().return_msg, "untouched");
  char text[] = "echo";
  EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL, text), PF_Err_BAD_CALLBACK_PARAM);
  host.in_data().pica_basicP = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host.out_data().return_msg, "untouched");
}

TEST_F(EntryPointTest, GlobalSetupReportsVersionFlagsAndGlobalData) {
  // Flags the host set beforehand must survive: the words are ORed into.
  host.out_data().out_flags = 0x1;
  host.out_data().out_flags2 = 0x2;
  EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data().my_version, 0x80601u);
  EXPECT_EQ(host.out_data().out_flags, 0x2000041);
  EXPECT_EQ(host.out_data().out_flags2, 0x1402);

  const PF_Handle global = host.out_data().global_data;
  ASSERT_NE(global, nullptr);
  const sim::HandleInfo* info = host.Info(global);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->size, sizeof(GlobalData));
  EXPECT_EQ(info->lock_count, 0);
  const auto* data = static_cast<const GlobalData*>(info->data());
  EXPECT_EQ(data->initialized, 1);
  EXPECT_EQ(data->plugin_id, host.plugin_id_given());
  EXPECT_THAT(host.registrations(), ElementsAre(Pair(::testing::IsNull(), "Error!")));
  EXPECT_THAT(host.LiveHandles(), ElementsAre(global));
}

// One row per way global setup can fail.
struct GlobalSetupFailure {
  const char* name;
  std::function<void(sim::SimHost&)> arrange;
  PF_Err expected;
  bool version_written;

  friend void PrintTo(const GlobalSetupFailure& row, std::ostream* out) { *out << row.name; }
};

class GlobalSetupFailureTest : public HostTest,
                               public ::testing::WithParamInterface<GlobalSetupFailure> {};

TEST_P(GlobalSetupFailureTest, ReturnsTheCodeAndLeavesNoHandle) {
  GetParam().arrange(host);
  EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), GetParam().expected);
  EXPECT_EQ(host.out_data().global_data, nullptr);
  // Whatever was made on the way is disposed of, unlocked first.
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
  EXPECT_EQ(host.out_data().my_version, GetParam().version_written ? 0x80601u : 0u);
  EXPECT_EQ(host.out_data().out_flags, GetParam().version_written ? 0x2000040 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GlobalSetupFailureTest,
    ::testing::Values(
        GlobalSetupFailure{"NoBasicSuite",
                           [](sim::SimHost& h) { h.in_data().pica_basicP = nullptr; }, 516, false},
        GlobalSetupFailure{"NoHandleSuite",
                           [](sim::SimHost& h) { h.RemoveSuite("PF Handle Suite", 1); }, 516, true},
        GlobalSetupFailure{"NoHandle", [](sim::SimHost& h) { h.FailOn(sim::Op::kNewHandle, 1); },
                           512, true},
        // A lock without a pointer is no error, but the handle is not kept.
        GlobalSetupFailure{"NoLock", [](sim::SimHost& h) { h.FailOn(sim::Op::kLockHandle, 1); }, 0,
                           true},
        GlobalSetupFailure{"RegistrationFails",
                           [](sim::SimHost& h) { h.FailOn(sim::Op::kRegister, 1, 33); }, 33, true},
        // Missing after the handle is made and locked.
        GlobalSetupFailure{"NoUtilitySuite",
                           [](sim::SimHost& h) { h.RemoveSuite("AEGP Utility Suite", 7); }, 516,
                           true}),
    [](const auto& row) { return std::string(row.param.name); });

class SequenceSetupTest : public HostTest, public ::testing::WithParamInterface<PF_Cmd> {};

TEST_P(SequenceSetupTest, MakesOneFreshHandle) {
  EXPECT_EQ(host.Send(GetParam()), PF_Err_NONE);
  const PF_Handle sequence = host.out_data().sequence_data;
  ASSERT_NE(sequence, nullptr);
  EXPECT_EQ(host.Info(sequence)->size, sizeof(SequenceData));
  EXPECT_EQ(host.Info(sequence)->lock_count, 0);
  EXPECT_EQ(static_cast<const SequenceData*>(host.Info(sequence)->data())->value, 0);
  EXPECT_EQ(host.Calls(sim::Op::kDisposeHandle), 0);
  EXPECT_THAT(host.LiveHandles(), ElementsAre(sequence));
}

TEST_P(SequenceSetupTest, DisposesOfTheIncomingHandleFirst) {
  const PF_Handle old = host.MakeHandle(1);
  host.in_data().sequence_data = old;
  host.out_data().sequence_data = old;
  EXPECT_EQ(host.Send(GetParam()), PF_Err_NONE);
  EXPECT_TRUE(host.Info(old)->disposed);
  EXPECT_NE(host.out_data().sequence_data, old);
  EXPECT_THAT(host.LiveHandles(), ElementsAre(host.out_data().sequence_data));
}

TEST_P(SequenceSetupTest, FailingNewHandleLeavesNoDisposedHandleNamed) {
  const PF_Handle old = host.MakeHandle(1);
  host.in_data().sequence_data = old;
  host.out_data().sequence_data = old;
  host.FailOn(sim::Op::kNewHandle, 1);
  EXPECT_EQ(host.Send(GetParam()), PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(host.Info(old)->disposed);
  EXPECT_EQ(host.out_data().sequence_data, nullptr);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

TEST_P(SequenceSetupTest, FailingLockIsNoErrorAndKeepsNoHandle) {
  host.FailOn(sim::Op::kLockHandle, 1);
  EXPECT_EQ(host.Send(GetParam()), PF_Err_NONE);
  EXPECT_EQ(host.out_data().sequence_data, nullptr);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

TEST_P(SequenceSetupTest, MissingSuitesGive516) {
  host.RemoveSuite("PF Handle Suite", 1);
  EXPECT_EQ(host.Send(GetParam()), PF_Err_BAD_CALLBACK_PARAM);
  host.RestoreSuite("PF Handle Suite", 1);
  host.in_data().pica_basicP = nullptr;
  EXPECT_EQ(host.Send(GetParam()), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_THAT(host.LiveHandles(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(SetupAndResetup, SequenceSetupTest,
                         ::testing::Values(PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP));

TEST_F(EntryPointTest, SequenceSetdownWithoutDataAcquiresNothing) {
  EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  EXPECT_EQ(host.Calls(sim::Op::kAcquireSuite), 0);
  // Not even a basic suite is needed.
  host.in_data().pica_basicP = nullptr;
  EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
}

TEST_F(EntryPointTest, SequenceSetdownDisposesAndLeavesOutDataAlone) {
  const PF_Handle sequence = host.MakeHandle(1);
  const PF_Handle marker = host.MakeHandle(1);
  host.in_data().sequence_data = sequence;
  host.out_data().sequence_data = marker;
  EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  EXPECT_TRUE(host.Info(sequence)->disposed);
  EXPECT_EQ(host.out_data().sequence_data, marker);
  EXPECT_THAT(host.LiveHandles(), ElementsAre(marker));
}

TEST_F(EntryPointTest, AnEffectsLifeLeavesOnlyTheGlobalData) {
  ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
  ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
  ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  EXPECT_THAT(host.LiveHandles(),
              UnorderedElementsAre(host.in_data().global_data, host.in_data().sequence_data));
  ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  EXPECT_THAT(host.LiveHandles(), ElementsAre(host.in_data().global_data));
}

TEST_F(EntryPointTest, GeneralCommandEchoesTheText) {
  char text[] = "hello, host";
  EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL, text), PF_Err_NONE);
  EXPECT_STREQ(host.out_data().return_msg, "hello, host");
}

TEST_F(EntryPointTest, GeneralCommandWithoutTextLeavesAnEmptyMessage) {
  std::strcpy(host.out_data().return_msg, "old");
  EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL, nullptr), PF_Err_NONE);
  EXPECT_STREQ(host.out_data().return_msg, "");
}

TEST_F(EntryPointTest, GeneralCommandCutsLongTextsToTheMessageSize) {
  // 255 characters fit with the terminator; from 256 on the rest is cut. A
  // percent sign in the text is echoed, not taken as a format.
  for (const std::size_t length : {255u, 256u, 257u, 1000u}) {
    SCOPED_TRACE(length);
    std::string text(length, 'q');
    text[3] = '%';
    text[4] = 's';
    EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL, text.data()), PF_Err_NONE);
    EXPECT_EQ(std::string(host.out_data().return_msg), text.substr(0, 255));
  }
}

// Host callbacks that throw stand for any failure inside a handler: nothing
// may unwind into the host, and the suites are still released.
void ThrowBadAlloc() { throw std::bad_alloc(); }
void ThrowRuntimeError() { throw std::runtime_error("boom"); }
std::function<void()> g_thrower;
std::int32_t ThrowingSprintf(char*, const char*, ...) {
  g_thrower();
  return 0;
}

TEST_F(EntryPointTest, NoExceptionLeavesTheEntryPoint) {
  host.utils().ansi.sprintf = &ThrowingSprintf;
  host.ansi_suite().sprintf = &ThrowingSprintf;

  g_thrower = ThrowBadAlloc;
  EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_OUT_OF_MEMORY);
  g_thrower = ThrowRuntimeError;
  EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_INTERNAL_STRUCT_DAMAGED);
  g_thrower = [] { throw PF_Err{1234}; };
  EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL), 1234);
  EXPECT_EQ(host.Acquisitions("PF ANSI Suite", 1), host.Releases("PF ANSI Suite", 1));
}

TEST(CatchAllTest, MapsEveryExceptionToACode) {
  EXPECT_EQ(CatchAll([]() -> PF_Err { return 7; }), 7);
  EXPECT_EQ(CatchAll([]() -> PF_Err { throw PF_Err{516}; }), 516);
  EXPECT_EQ(CatchAll([]() -> PF_Err { throw std::bad_alloc(); }), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(CatchAll([]() -> PF_Err { throw std::logic_error("x"); }),
            PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(CatchAll([]() -> PF_Err { throw 2.5; }), PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST(EntryPointRecordsTest, MissingRecordsAreRefusedNotFollowed) {
  PF_InData in_data{};
  PF_OutData out_data{};
  for (const PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP,
                           PF_Cmd_SEQUENCE_SETUP, PF_Cmd_COMPLETELY_GENERAL, PF_Cmd_SMART_RENDER}) {
    SCOPED_TRACE(cmd);
    EXPECT_EQ(EntryPointFunc(cmd, nullptr, &out_data, nullptr, nullptr, nullptr), 516);
    EXPECT_EQ(EntryPointFunc(cmd, &in_data, nullptr, nullptr, nullptr, nullptr), 516);
  }
  EXPECT_EQ(EntryPointFunc(PF_Cmd_SEQUENCE_SETDOWN, nullptr, nullptr, nullptr, nullptr, nullptr),
            516);
  EXPECT_EQ(EntryPointFunc(PF_Cmd_SMART_PRE_RENDER, &in_data, &out_data, nullptr, nullptr, nullptr),
            516);
  EXPECT_EQ(EntryPointFunc(PF_Cmd_SMART_RENDER, &in_data, &out_data, nullptr, nullptr, nullptr),
            516);
}

}  // namespace
}  // namespace quillmarch::test
