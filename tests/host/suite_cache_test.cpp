// Suite access: the cache's lazy acquisition and ordered release, and the
// two free functions that report instead of throwing.
#include "host/suite_cache.h"

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

using SuiteCacheTest = HostTest;

std::size_t CataloguePosition(std::string_view name, std::int32_t version) {
  for (std::size_t i = 0; i < kSuiteCatalogue.size(); ++i) {
    if (kSuiteCatalogue[i].name == name && kSuiteCatalogue[i].version == version) return i;
  }
  return kSuiteCatalogue.size();
}

TEST(SuiteCatalogueTest, HoldsEightyFiveEntriesWithOneDuplicate) {
  std::set<std::pair<std::string, std::int32_t>> distinct;
  for (const SuiteName& suite : kSuiteCatalogue) distinct.insert({suite.name, suite.version});
  ASSERT_EQ(kSuiteCatalogue.size(), 85u);
  EXPECT_EQ(distinct.size(), 84u);  // "PF Path Data Suite" 1 twice
  EXPECT_EQ(kSuiteCatalogue[20].name, std::string_view("PF Path Data Suite"));
  EXPECT_EQ(kSuiteCatalogue[21].name, std::string_view("PF Path Data Suite"));
  EXPECT_EQ(kSuiteCatalogue.front().name, std::string_view("AEGP Layer Suite"));
  EXPECT_EQ(kSuiteCatalogue.back().name, std::string_view("PF SamplingFloat Suite"));
}

TEST_F(SuiteCacheTest, ReleasesInCatalogueOrderWhateverTheOrderOfUse) {
  {
    SuiteCache suites(host.in_data().pica_basicP);
    static_cast<void>(suites.SamplingFloat());
    static_cast<void>(suites.Sampling16());
    static_cast<void>(suites.Sampling8());
    static_cast<void>(suites.Handle());
    static_cast<void>(suites.Ansi());
    static_cast<void>(suites.Utility());
  }
  EXPECT_THAT(host.release_log(),
              ElementsAre(Pair("AEGP Utility Suite", 7), Pair("PF ANSI Suite", 1),
                          Pair("PF Handle Suite", 1), Pair("PF Sampling8 Suite", 1),
                          Pair("PF Sampling16 Suite", 1), Pair("PF SamplingFloat Suite", 1)));
  // The same order as the catalogue's, which is where it comes from.
  EXPECT_LT(CataloguePosition("AEGP Utility Suite", 7), CataloguePosition("PF ANSI Suite", 1));
  EXPECT_LT(CataloguePosition("PF Sampling16 Suite", 1),
            CataloguePosition("PF SamplingFloat Suite", 1));
}

TEST_F(SuiteCacheTest, AcquiresOnceAndReleasesOnce) {
  {
    SuiteCache suites(host.in_data().pica_basicP);
    const PF_HandleSuite1* first = &suites.Handle();
    EXPECT_EQ(&suites.Handle(), first);
  }
  EXPECT_EQ(host.Acquisitions("PF Handle Suite", 1), 1);
  EXPECT_EQ(host.Releases("PF Handle Suite", 1), 1);
}

TEST_F(SuiteCacheTest, UnusedCacheReleasesNothing) {
  { SuiteCache suites(host.in_data().pica_basicP); }
  EXPECT_EQ(host.Calls(sim::Op::kAcquireSuite), 0);
  EXPECT_EQ(host.Calls(sim::Op::kReleaseSuite), 0);
}

TEST_F(SuiteCacheTest, NoBasicSuiteThrows516) {
  EXPECT_THROW(
      {
        try {
          SuiteCache suites(nullptr);
        } catch (PF_Err code) {
          EXPECT_EQ(code, 516);
          throw;
        }
      },
      PF_Err);
}

TEST_F(SuiteCacheTest, FailedAcquisitionThrowsAndUnwindingReleasesTheRest) {
  host.RemoveSuite("PF ANSI Suite", 1);
  try {
    SuiteCache suites(host.in_data().pica_basicP);
    static_cast<void>(suites.Handle());
    static_cast<void>(suites.Ansi());
    ADD_FAILURE() << "no throw";
  } catch (PF_Err code) {
    EXPECT_EQ(code, 516);
  }
  EXPECT_THAT(host.release_log(), ElementsAre(Pair("PF Handle Suite", 1)));
  // No message: the thrown code is the only report.
  EXPECT_EQ(host.out_data().out_flags, 0);
}

TEST_F(SuiteCacheTest, CodeWithATableIsRefusedByTheGetterButNotByAcquireSuiteOrReport) {
  // The getter looks at the code, the free function only at the table.
  host.FailOn(sim::Op::kAcquireSuite, 1, 5, /*deliver=*/true);
  {
    SuiteCache suites(host.in_data().pica_basicP);
    EXPECT_THROW(static_cast<void>(suites.Handle()), PF_Err);
  }
  // The table that came with the error was given back.
  EXPECT_EQ(host.Acquisitions("PF Handle Suite", 1), host.Releases("PF Handle Suite", 1));

  host.FailOn(sim::Op::kAcquireSuite, 1, 5, /*deliver=*/true);
  const void* table = nullptr;
  EXPECT_EQ(
      AcquireSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2, nullptr, &table),
      PF_Err_NONE);
  EXPECT_NE(table, nullptr);
  EXPECT_EQ(ReleaseSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2, nullptr),
            PF_Err_NONE);
}

TEST_F(SuiteCacheTest, ReleaseErrorsDoNotStopTheOtherReleases) {
  host.FailOn(sim::Op::kReleaseSuite, 1, 9, /*deliver=*/true);
  {
    SuiteCache suites(host.in_data().pica_basicP);
    static_cast<void>(suites.Ansi());
    static_cast<void>(suites.Handle());
  }
  EXPECT_THAT(host.release_log(),
              ElementsAre(Pair("PF ANSI Suite", 1), Pair("PF Handle Suite", 1)));
}

struct ReportCase {
  const char* name;
  const char* message;
  const char* expected_text;

  friend void PrintTo(const ReportCase& row, std::ostream* out) { *out << row.name; }
};

class AcquireSuiteOrReportTest : public HostTest,
                                 public ::testing::WithParamInterface<ReportCase> {};

TEST_P(AcquireSuiteOrReportTest, MissingSuiteSetsTheFlagAndTheText) {
  host.RemoveSuite("PF World Suite", 2);
  host.out_data().out_flags = 0x40;
  const void* table = nullptr;
  EXPECT_EQ(AcquireSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2,
                                 GetParam().message, &table),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(host.out_data().out_flags, 0x140);
  EXPECT_STREQ(host.out_data().return_msg, GetParam().expected_text);
}

TEST_P(AcquireSuiteOrReportTest, NoBasicSuiteLeavesTheTablePointerAlone) {
  host.in_data().pica_basicP = nullptr;
  int sentinel = 0;
  const void* table = &sentinel;
  EXPECT_EQ(AcquireSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2,
                                 GetParam().message, &table),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(table, &sentinel);
  EXPECT_STREQ(host.out_data().return_msg, GetParam().expected_text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AcquireSuiteOrReportTest,
    ::testing::Values(ReportCase{"Default", nullptr, "Not able to acquire AEFX Suite."},
                      ReportCase{"Given", "Couldn't load suite.", "Couldn't load suite."},
                      // Used as text, never as a format.
                      ReportCase{"Percent", "100% %s %d", "100% %s %d"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SuiteCacheTest, AcquireSuiteOrReportRefusesASuccessWithoutATable) {
  host.FailOn(sim::Op::kAcquireSuite, 1, PF_Err_NONE);
  const void* table = nullptr;
  EXPECT_EQ(AcquireSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2,
                                 "Couldn't load suite.", &table),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host.out_data().return_msg, "Couldn't load suite.");
}

TEST_F(SuiteCacheTest, ReleaseSuiteOrReportIgnoresTheHostsCode) {
  const void* table = nullptr;
  ASSERT_EQ(
      AcquireSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2, nullptr, &table),
      PF_Err_NONE);
  host.FailOn(sim::Op::kReleaseSuite, 1, 77, /*deliver=*/true);
  EXPECT_EQ(ReleaseSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2, nullptr),
            PF_Err_NONE);
  EXPECT_EQ(host.out_data().out_flags, 0);
}

TEST_F(SuiteCacheTest, ReleaseSuiteOrReportWithoutBasicSuiteReports) {
  host.in_data().pica_basicP = nullptr;
  EXPECT_EQ(ReleaseSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  EXPECT_STREQ(host.out_data().return_msg, "Not able to release AEFX Suite.");
  EXPECT_EQ(ReleaseSuiteOrReport(&host.in_data(), &host.out_data(), "PF World Suite", 2,
                                 "Couldn't release suite."),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host.out_data().return_msg, "Couldn't release suite.");
  EXPECT_THAT(host.release_log(), IsEmpty());
}

}  // namespace
}  // namespace quillmarch::test
