// Access to the host's named, versioned suites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/host_interface.h"

namespace quillmarch {

/// A suite as the host names it.
struct SuiteName {
  const char* name;
  std::int32_t version;
};

/// Every suite this plug-in family knows, in release order. Only six have
/// a getter in SuiteCache; the other slots stay empty. "PF Path Data Suite" 1 is
/// listed twice on purpose: each entry has a slot of its own.
inline constexpr std::array<SuiteName, 85> kSuiteCatalogue = {{
    {"AEGP Layer Suite", 8},
    {"AEGP Layer Suite", 10},
    {"AEGP Stream Suite", 7},
    {"AEGP Dynamic Stream Suite", 2},
    {"AEGP Dynamic Stream Suite", 3},
    {"AEGP Keyframe Suite", 3},
    {"AEGP Comp Suite", 9},
    {"AEGP Comp Suite", 11},
    {"AEGP Proj Suite", 2},
    {"AEGP Proj Suite", 5},
    {"AEGP Canvas Suite", 10},
    {"AEGP Canvas Suite", 11},
    {"AEGP Camera Suite", 2},
    {"AEGP Register Suite", 2},
    {"AEGP Item Suite", 10},
    {"AEGP Item Suite", 7},
    {"AEGP Item Suite", 3},
    {"AEGP PF Interface Suite", 1},
    {"PF Path Query Suite", 1},
    {"AEGP Memory Suite", 1},
    {"PF Path Data Suite", 1},
    {"PF Path Data Suite", 1},
    {"PF AE App Suite", 2},
    {"PF AE App Suite", 5},
    {"PF AE Adv App Suite", 2},
    {"AEGP Light Suite", 1},
    {"AEGP Light Suite", 2},
    {"AEGP Effect Suite", 1},
    {"AEGP Effect Suite", 2},
    {"AEGP Effect Suite", 3},
    {"AEGP Layer Mask Suite", 5},
    {"AEGP Mask Outline Suite", 3},
    {"AEGP Footage Suite", 7},
    {"AEGP Command Suite", 1},
    {"AEGP Utility Suite", 7},
    {"AEGP Render Suite", 1},
    {"AEGP Render Suite", 2},
    {"PF ANSI Suite", 1},
    {"PF Handle Suite", 1},
    {"PF Fill Matte Suite", 1},
    {"PF World Transform Suite", 1},
    {"AEGP QueryXform Suite", 4},
    {"AEGP Composite Suite", 2},
    {"PF World Suite", 1},
    {"AEGP IO In Suite", 1},
    {"AEGP IO Out Suite", 1},
    {"AEGP Render Queue Suite", 1},
    {"AEGP Render Queue Item Suite", 3},
    {"AEGP Output Module Suite", 1},
    {"AEGP File Import Manager Suite", 2},
    {"PF Sampling8 Suite", 1},
    {"PF Sampling16 Suite", 1},
    {"PF Iterate8 Suite", 1},
    {"PF iterate16 Suite", 1},
    {"PF iterateFloat Suite", 1},
    {"AEGP Collection Suite", 2},
    {"AEGP Text Document Suite", 1},
    {"AEGP Sound Data Suite", 1},
    {"AEGP Text Layer Suite", 1},
    {"AEGP Artisan Util Suite", 1},
    {"AEGP World Suite", 2},
    {"AEGP Render Options Suite", 1},
    {"AEGP Tracker Suite", 1},
    {"AEGP Tracker Utility Suite", 1},
    {"AE Plugin Helper Suite2", 2},
    {"AEGP Layer Suite", 11},
    {"PF AE Adv Item Suite", 1},
    {"AEGP Layer Suite", 5},
    {"AEGP Layer Mask Suite", 2},
    {"AEGP Stream Suite", 4},
    {"AEGP Comp Suite", 4},
    {"AEGP Collection Suite", 1},
    {"AEGP Register Suite", 1},
    {"AEGP Keyframe Suite", 1},
    {"AEGP Mask Outline Suite", 2},
    {"PF AE Adv App Suite", 1},
    {"AEGP Utility Suite", 3},
    {"AEGP Render Options Suite", 2},
    {"AEGP Proj Suite", 7},
    {"AEGP Footage Suite", 10},
    {"AEGP Render Queue Item Suite", 4},
    {"AEGP Utility Suite", 10},
    {"PF Color Settings Suite", 1},
    {"PF ColorParamSuite", 1},
    {"PF SamplingFloat Suite", 1},
}};

/// The catalogue position of a suite; only used at compile time.
constexpr std::size_t SuiteSlot(std::string_view name, std::int32_t version) {
  for (std::size_t slot = 0; slot < kSuiteCatalogue.size(); ++slot) {
    if (kSuiteCatalogue[slot].name == name && kSuiteCatalogue[slot].version == version) return slot;
  }
  throw "suite not in the catalogue";  // a compile error, never a run-time throw
}

/// The suites of one handler call. A suite is acquired on the first use of
/// its getter, kept for the rest of the call and released when the cache is
/// destroyed, in the catalogue's order. A suite that cannot be had throws
/// PF_Err_BAD_CALLBACK_PARAM (as a `PF_Err`), which `EntryPointFunc` returns
/// to the host after the unwinding has released what was acquired so far.
class SuiteCache {
 public:
  /// Throws PF_Err_BAD_CALLBACK_PARAM when the host gave no basic suite.
  explicit SuiteCache(const SPBasicSuite* basic);
  ~SuiteCache();
  SuiteCache(const SuiteCache&) = delete;
  SuiteCache& operator=(const SuiteCache&) = delete;

  const PF_ANSISuite1& Ansi() { return Get<PF_ANSISuite1>(kAnsiSlot); }
  const AEGP_UtilitySuite7& Utility() { return Get<AEGP_UtilitySuite7>(kUtilitySlot); }
  const PF_HandleSuite1& Handle() { return Get<PF_HandleSuite1>(kHandleSlot); }
  const PF_Sampling8Suite1& Sampling8() { return Get<PF_Sampling8Suite1>(kSampling8Slot); }
  const PF_Sampling16Suite1& Sampling16() { return Get<PF_Sampling16Suite1>(kSampling16Slot); }
  const PF_SamplingFloatSuite1& SamplingFloat() {
    return Get<PF_SamplingFloatSuite1>(kSamplingFloatSlot);
  }

 private:
  static constexpr std::size_t kAnsiSlot = SuiteSlot("PF ANSI Suite", 1);
  static constexpr std::size_t kUtilitySlot = SuiteSlot("AEGP Utility Suite", 7);
  static constexpr std::size_t kHandleSlot = SuiteSlot("PF Handle Suite", 1);
  static constexpr std::size_t kSampling8Slot = SuiteSlot("PF Sampling8 Suite", 1);
  static constexpr std::size_t kSampling16Slot = SuiteSlot("PF Sampling16 Suite", 1);
  static constexpr std::size_t kSamplingFloatSlot = SuiteSlot("PF SamplingFloat Suite", 1);

  template <typename Suite>
  const Suite& Get(std::size_t slot) {
    return *static_cast<const Suite*>(Acquire(slot));
  }
  const void* Acquire(std::size_t slot);

  const SPBasicSuite* basic_;
  std::array<const void*, kSuiteCatalogue.size()> slots_{};
};

/// Acquires one suite into `*suite`. On failure (no basic suite, or no table
/// came back; the host's code is not looked at) sets the display-error flag,
/// writes `message` (or a default text) into `return_msg` and returns
/// PF_Err_BAD_CALLBACK_PARAM. Without a basic suite `*suite` is not written.
PF_Err AcquireSuiteOrReport(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                            std::int32_t version, const char* message, const void** suite);

/// Releases one suite; the host's result is ignored. Without a basic suite it
/// reports like AcquireSuiteOrReport and returns PF_Err_BAD_CALLBACK_PARAM.
PF_Err ReleaseSuiteOrReport(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                            std::int32_t version, const char* message);

}  // namespace quillmarch
