// The small commands: About, global setup, sequence setup and setdown, and
// the general command.
#include <cstddef>
#include <cstring>

#include "host/handle_guard.h"
#include "host/handlers.h"
#include "host/plugin_info.h"
#include "host/suite_cache.h"

namespace quillmarch {

PF_Err About(const PF_InData& in_data, PF_OutData& out_data) {
  SuiteCache suites(in_data.pica_basicP);
  suites.Ansi().sprintf(out_data.return_msg, "%s, v%d.%d\r%s", kPluginName, 1, 0,
                        kPluginDescription);
  return PF_Err_NONE;
}

PF_Err GlobalSetup(const PF_InData& in_data, PF_OutData& out_data) {
  // Made before anything is written, so a host without suites finds its
  // records as it left them.
  SuiteCache suites(in_data.pica_basicP);
  out_data.my_version = kPluginVersion;
  out_data.out_flags |= kGlobalOutFlags;
  out_data.out_flags2 |= kGlobalOutFlags2;

  const PF_HandleSuite1& handles = suites.Handle();
  OwnedHandle handle(handles, handles.host_new_handle(sizeof(GlobalData)));
  if (handle.get() == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

  // A handle that is not handed to the host (the lock fails, registration
  // fails or the utility suite is missing) is disposed of on the way out.
  PF_Err err = PF_Err_NONE;
  HandleLock lock(handles, handle.get());
  if (lock) {
    auto* global = static_cast<GlobalData*>(lock.data());
    std::memset(global, 0, sizeof(GlobalData));
    global->initialized = 1;
    err = suites.Utility().AEGP_RegisterWithAEGP(nullptr, kRegistrationName, &global->plugin_id);
    if (err == PF_Err_NONE) out_data.global_data = handle.Release();
  }
  return err;
}

PF_Err SequenceSetdown(const PF_InData& in_data) {
  if (in_data.sequence_data == nullptr) return PF_Err_NONE;
  SuiteCache suites(in_data.pica_basicP);
  suites.Handle().host_dispose_handle(in_data.sequence_data);
  return PF_Err_NONE;
}

PF_Err SequenceSetup(const PF_InData& in_data, PF_OutData& out_data) {
  SuiteCache suites(in_data.pica_basicP);
  static_cast<void>(SequenceSetdown(in_data));
  // The host may have handed the old handle in out_data too; it must not
  // come back naming memory that is gone, whatever happens next.
  if (in_data.sequence_data != nullptr && out_data.sequence_data == in_data.sequence_data) {
    out_data.sequence_data = nullptr;
  }

  const PF_HandleSuite1& handles = suites.Handle();
  OwnedHandle handle(handles, handles.host_new_handle(sizeof(SequenceData)));
  if (handle.get() == nullptr) return PF_Err_OUT_OF_MEMORY;
  HandleLock lock(handles, handle.get());
  if (lock) {
    static_cast<SequenceData*>(lock.data())->value = 0;
    out_data.sequence_data = handle.Release();
  }
  // A lock without a pointer is no error: the sequence data is only there
  // for the host, and the unused handle is disposed of.
  return PF_Err_NONE;
}

PF_Err GeneralCommand(const PF_InData& in_data, PF_OutData& out_data, const char* text) {
  SuiteCache suites(in_data.pica_basicP);
  // The caller's text comes without any promise about its length: echo at
  // most what fits, and never read past its terminator.
  char echo[PF_MAX_RETURN_MSG_LEN] = {};
  if (text != nullptr) {
    for (std::size_t i = 0; i + 1 < sizeof(echo) && text[i] != '\0'; ++i) echo[i] = text[i];
  }
  suites.Ansi().sprintf(out_data.return_msg, "%s", echo);
  return PF_Err_NONE;
}

}  // namespace quillmarch
