// Declares the six user parameters from the one parameter table.
#include <cstring>
#include <string_view>

#include "host/handlers.h"
#include "host/param_table.h"

namespace quillmarch {
namespace {

// Every name must fit the host's name field with its terminator, or strcpy
// would write past it.
static_assert([] {
  for (const ParamSpec& param : kParamSpecs) {
    if (std::string_view(param.name).size() >= PF_MAX_PARAM_NAME_LEN) return false;
  }
  return true;
}());

PF_Fixed ToFixed(double value) { return static_cast<PF_Fixed>(value * 65536.0); }

// The type-specific part of a definition that is already cleared to zero.
void FillValues(const ParamSpec& param, PF_ParamDef& def) {
  switch (param.kind) {
    case ParamKind::kPopup: {
      def.param_type = PF_Param_POPUP;
      PF_PopupDef& popup = def.u.popup;
      popup.num_choices = param.choice_count;
      popup.default_value = static_cast<std::int16_t>(param.default_value);
      popup.value = static_cast<std::int32_t>(param.default_value);
      popup.names = param.choices;
      return;
    }
    case ParamKind::kFixedSlider: {
      def.param_type = PF_Param_FIX_SLIDER;
      PF_FixSliderDef& slider = def.u.fix_slider;
      slider.valid_min = ToFixed(param.valid_min);
      slider.valid_max = ToFixed(param.valid_max);
      slider.slider_min = ToFixed(param.slider_min);
      slider.slider_max = ToFixed(param.slider_max);
      slider.default_value = ToFixed(param.default_value);
      slider.value = slider.default_value;
      slider.precision = param.precision;
      slider.display_flags = param.display_flags;
      return;
    }
    case ParamKind::kFloatSlider: {
      // The host keeps the range and default in single precision and the
      // current value in double.
      def.param_type = PF_Param_FLOAT_SLIDER;
      PF_FloatSliderDef& slider = def.u.float_slider;
      slider.valid_min = static_cast<float>(param.valid_min);
      slider.valid_max = static_cast<float>(param.valid_max);
      slider.slider_min = static_cast<float>(param.slider_min);
      slider.slider_max = static_cast<float>(param.slider_max);
      slider.default_value = static_cast<float>(param.default_value);
      slider.value = param.default_value;
      slider.precision = param.precision;
      slider.display_flags = param.display_flags;
      slider.curve_tolerance = param.curve_tolerance;
      return;
    }
    case ParamKind::kAngle: {
      def.param_type = PF_Param_ANGLE;
      PF_AngleDef& angle = def.u.angle;
      angle.default_value = ToFixed(param.default_value);
      angle.value = angle.default_value;
      // valid_min = valid_max = 0: any number of turns, either way.
      return;
    }
    case ParamKind::kCheckbox: {
      def.param_type = PF_Param_CHECKBOX;
      PF_CheckboxDef& checkbox = def.u.checkbox;
      checkbox.default_value = static_cast<std::int32_t>(param.default_value);
      checkbox.value = checkbox.default_value;
      checkbox.label = "";
      return;
    }
  }
}

}  // namespace

PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data) {
  if (in_data.utils == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  for (const ParamSpec& param : kParamSpecs) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof(def));
    in_data.utils->ansi.strcpy(def.name, param.name);
    FillValues(param, def);
    def.id = param.index;
    // Index -1 appends, so the declaration order is the index order.
    const PF_Err err = in_data.inter.add_param(in_data.effect_ref, -1, &def);
    if (err != PF_Err_NONE) return err;
  }
  out_data.num_params = kParamCount;
  return PF_Err_NONE;
}

}  // namespace quillmarch
