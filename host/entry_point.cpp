// The module's only export: routes each command to its handler.
#include "host/handlers.h"
#include "host/host_interface.h"

namespace quillmarch {
namespace {

// The records a handler needs are checked here once, so a host that leaves
// one out gets an error code instead of a crash.
PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, void* extra) {
  const bool have_in_out = in_data != nullptr && out_data != nullptr;
  switch (cmd) {
    case PF_Cmd_ABOUT:
      return have_in_out ? About(*in_data, *out_data) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_GLOBAL_SETUP:
      return have_in_out ? GlobalSetup(*in_data, *out_data) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_PARAMS_SETUP:
      return have_in_out ? ParamsSetup(*in_data, *out_data) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_SEQUENCE_SETUP:
    case PF_Cmd_SEQUENCE_RESETUP:
      return have_in_out ? SequenceSetup(*in_data, *out_data) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_SEQUENCE_SETDOWN:
      return in_data != nullptr ? SequenceSetdown(*in_data) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_COMPLETELY_GENERAL:
      return have_in_out ? GeneralCommand(*in_data, *out_data, static_cast<const char*>(extra))
                         : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_SMART_PRE_RENDER:
      if (in_data == nullptr || extra == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
      return PreRender(*in_data, *static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      if (!have_in_out || extra == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
      return SmartRender(*in_data, *out_data, *static_cast<PF_SmartRenderExtra*>(extra));
    default:
      // Global setdown, sequence flatten, the frame commands and everything
      // unknown: nothing to do, nothing touched.
      return PF_Err_NONE;
  }
}

}  // namespace
}  // namespace quillmarch

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* /*params*/[], PF_LayerDef* /*output*/, void* extra) {
  return quillmarch::CatchAll([&] { return quillmarch::Dispatch(cmd, in_data, out_data, extra); });
}
