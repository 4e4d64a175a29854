// Smart pre-render: the frame's settings into a handle for the host, the
// input layer requested, the output area reported.
#include <cstring>

#include "engine/wipe_engine.h"
#include "host/handle_guard.h"
#include "host/handlers.h"
#include "host/param_table.h"
#include "host/suite_cache.h"

namespace quillmarch {

namespace {

bool IsEmpty(const PF_Rect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

}  // namespace

void UnionRect(const PF_Rect& source, PF_Rect& destination) {
  if (IsEmpty(destination)) {
    destination = source;
  } else if (!IsEmpty(source)) {
    if (source.left < destination.left) destination.left = source.left;
    if (source.top < destination.top) destination.top = source.top;
    if (source.right > destination.right) destination.right = source.right;
    if (source.bottom > destination.bottom) destination.bottom = source.bottom;
  }
}

PF_Err PreRender(const PF_InData& in_data, PF_PreRenderExtra& extra) {
  if (extra.input == nullptr || extra.output == nullptr || extra.cb == nullptr ||
      in_data.utils == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  PF_PreRenderOutput& output = *extra.output;
  PF_RenderRequest request = extra.input->output_request;

  SuiteCache suites(in_data.pica_basicP);
  const PF_HandleSuite1& handles = suites.Handle();
  OwnedHandle settings_handle(handles, handles.host_new_handle(sizeof(WipeSettings)));
  if (settings_handle.get() == nullptr) return PF_Err_OUT_OF_MEMORY;
  HandleLock lock(handles, settings_handle.get());
  if (!lock) return PF_Err_OUT_OF_MEMORY;

  // The handle is the frame's pre-render data from here on. Should a later
  // step fail, it is disposed of and the host's own values come back, so
  // the host is never left naming a handle that is gone.
  void* const host_data = output.pre_render_data;
  output.pre_render_data = settings_handle.get();

  PF_Err err = PF_Err_NONE;
  PF_ParamDef params[kParamCount];
  std::memset(params, 0, sizeof(params));
  for (std::int32_t index = kParamMode; index <= kParamDisplace && err == PF_Err_NONE; ++index) {
    err = in_data.inter.checkout_param(in_data.effect_ref, index, in_data.current_time,
                                       in_data.time_step, in_data.time_scale, &params[index]);
  }

  PF_CheckoutResult checkout;
  std::memset(&checkout, 0, sizeof(checkout));
  if (err == PF_Err_NONE) {
    request.preserve_rgb_of_zero_alpha = 1;
    err =
        extra.cb->checkout_layer(in_data.effect_ref, kParamInput, 0, &request, in_data.current_time,
                                 in_data.time_step, in_data.time_scale, &checkout);
  }
  if (err != PF_Err_NONE) {
    output.pre_render_data = host_data;
    return err;
  }

  const WipeSettings settings = DeriveWipeSettings(
      in_data.downsample_x.num, in_data.downsample_x.den, params[kParamMode].u.popup.value,
      params[kParamCompletion].u.fix_slider.value, params[kParamWidth].u.float_slider.value,
      params[kParamDirectionMode].u.popup.value, params[kParamDirection].u.angle.value,
      params[kParamDisplace].u.checkbox.value, in_data.utils->ansi.fmod);
  std::memset(lock.data(), 0, sizeof(WipeSettings));
  std::memcpy(lock.data(), &settings, sizeof(WipeSettings));

  UnionRect(checkout.result_rect, output.result_rect);
  UnionRect(checkout.max_result_rect, output.max_result_rect);

  // From now on the host owns the handle and gives it back through the
  // deletion callback once it is done with the frame. It is unlocked on the
  // way out; smart render locks it again for as long as it reads it.
  output.delete_pre_render_data_func = &DeletePreRenderData;
  static_cast<void>(settings_handle.Release());
  return PF_Err_NONE;
}

PF_Err DeletePreRenderData(const PF_InData* in_data, void* pre_render_data) {
  if (in_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (pre_render_data == nullptr) return PF_Err_NONE;
  return CatchAll([&] {
    SuiteCache suites(in_data->pica_basicP);
    suites.Handle().host_dispose_handle(static_cast<PF_Handle>(pre_render_data));
    return PF_Err_NONE;
  });
}

}  // namespace quillmarch
