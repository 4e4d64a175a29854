// The command handlers behind EntryPointFunc. Each takes the records of its
// command, already checked to be present, and returns the host error code;
// a missing suite leaves as a thrown PF_Err.
#pragma once

#include <new>

#include "host/host_interface.h"

namespace quillmarch {

PF_Err About(const PF_InData& in_data, PF_OutData& out_data);
PF_Err GlobalSetup(const PF_InData& in_data, PF_OutData& out_data);
PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data);
PF_Err SequenceSetup(const PF_InData& in_data, PF_OutData& out_data);
PF_Err SequenceSetdown(const PF_InData& in_data);
/// `text` may be null; the echo is cut to fit `return_msg`.
PF_Err GeneralCommand(const PF_InData& in_data, PF_OutData& out_data, const char* text);
PF_Err PreRender(const PF_InData& in_data, PF_PreRenderExtra& extra);
PF_Err SmartRender(const PF_InData& in_data, PF_OutData& out_data, PF_SmartRenderExtra& extra);

/// The deletion callback that pre-render gives the host with each settings
/// handle: disposes of it. Never throws.
PF_Err DeletePreRenderData(const PF_InData* in_data, void* pre_render_data);

/// Grows `destination` to cover `source`; an empty destination becomes a
/// copy of the source, an empty source changes nothing.
void UnionRect(const PF_Rect& source, PF_Rect& destination);

/// Runs `handler` and turns whatever it throws into a host error code: a
/// thrown PF_Err is returned as it is, a failed allocation as out of memory,
/// anything else as internal damage. Nothing unwinds into the host.
template <typename Handler>
PF_Err CatchAll(Handler&& handler) noexcept {
  try {
    return handler();
  } catch (PF_Err code) {
    return code;
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}

}  // namespace quillmarch
