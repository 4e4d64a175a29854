#include "host/suite_cache.h"

namespace quillmarch {

SuiteCache::SuiteCache(const SPBasicSuite* basic) : basic_(basic) {
  if (basic_ == nullptr) throw PF_Err{PF_Err_BAD_CALLBACK_PARAM};
}

SuiteCache::~SuiteCache() {
  for (std::size_t slot = 0; slot < kSuiteCatalogue.size(); ++slot) {
    if (slots_[slot] != nullptr) {
      // Nothing could be done about a failing release at this point; the
      // remaining suites must be released all the same.
      static_cast<void>(
          basic_->ReleaseSuite(kSuiteCatalogue[slot].name, kSuiteCatalogue[slot].version));
    }
  }
}

const void* SuiteCache::Acquire(std::size_t slot) {
  if (slots_[slot] == nullptr) {
    const void* table = nullptr;
    const std::int32_t err =
        basic_->AcquireSuite(kSuiteCatalogue[slot].name, kSuiteCatalogue[slot].version, &table);
    if (err != PF_Err_NONE || table == nullptr) {
      // A table handed out counts as acquired, here as in AcquireSuiteOrReport;
      // one that came with an error code is given back before refusing it.
      if (table != nullptr) {
        static_cast<void>(
            basic_->ReleaseSuite(kSuiteCatalogue[slot].name, kSuiteCatalogue[slot].version));
      }
      throw PF_Err{PF_Err_BAD_CALLBACK_PARAM};
    }
    slots_[slot] = table;
  }
  return slots_[slot];
}

namespace {

PF_Err Report(const PF_InData* in_data, PF_OutData* out_data, const char* message) {
  if (out_data != nullptr) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    // "%s" rather than the text as the format: same output for our texts,
    // and a caller's text with a percent sign cannot turn into a read of
    // arguments that were never passed.
    if (in_data != nullptr && in_data->utils != nullptr) {
      in_data->utils->ansi.sprintf(out_data->return_msg, "%s", message);
    }
  }
  return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

PF_Err AcquireSuiteOrReport(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                            std::int32_t version, const char* message, const void** suite) {
  if (in_data != nullptr && in_data->pica_basicP != nullptr) {
    static_cast<void>(in_data->pica_basicP->AcquireSuite(name, version, suite));
    if (*suite != nullptr) return PF_Err_NONE;
  }
  return Report(in_data, out_data,
                message != nullptr ? message : "Not able to acquire AEFX Suite.");
}

PF_Err ReleaseSuiteOrReport(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                            std::int32_t version, const char* message) {
  if (in_data != nullptr && in_data->pica_basicP != nullptr) {
    static_cast<void>(in_data->pica_basicP->ReleaseSuite(name, version));
    return PF_Err_NONE;
  }
  return Report(in_data, out_data,
                message != nullptr ? message : "Not able to release AEFX Suite.");
}

}  // namespace quillmarch
