#include "tests/host/sim/sim_host.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/standalone_host.h"

namespace quillmarch::sim {
namespace {

SimHost* g_active = nullptr;

// The maths block: the C library's functions behind plain C pointers.
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Floor(double x) { return std::floor(x); }
double Fmod(double x, double y) { return std::fmod(x, y); }
double Sin(double x) { return std::sin(x); }
double Tan(double x) { return std::tan(x); }

int PixelSize(PF_PixelFormat format) {
  switch (format) {
    case PF_PixelFormat_ARGB32:
      return 4;
    case PF_PixelFormat_ARGB64:
      return 8;
    case PF_PixelFormat_ARGB128:
      return 16;
    default:
      return 0;
  }
}

std::string Hex(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof(text), "%p", pointer);
  return text;
}

std::string SuiteText(const std::string& name, std::int32_t version) {
  return "\"" + name + "\" " + std::to_string(version);
}

}  // namespace

const char* OpName(Op op) {
  switch (op) {
    case Op::kAcquireSuite:
      return "AcquireSuite";
    case Op::kReleaseSuite:
      return "ReleaseSuite";
    case Op::kNewHandle:
      return "host_new_handle";
    case Op::kLockHandle:
      return "host_lock_handle";
    case Op::kUnlockHandle:
      return "host_unlock_handle";
    case Op::kDisposeHandle:
      return "host_dispose_handle";
    case Op::kSprintf:
      return "sprintf";
    case Op::kStrcpy:
      return "strcpy";
    case Op::kRegister:
      return "AEGP_RegisterWithAEGP";
    case Op::kGetPixelFormat:
      return "PF_GetPixelFormat";
    case Op::kSample8:
      return "nn_sample";
    case Op::kSample16:
      return "nn_sample16";
    case Op::kSampleFloat:
      return "nn_sample_float";
    case Op::kCheckoutParam:
      return "checkout_param";
    case Op::kAddParam:
      return "add_param";
    case Op::kProgress:
      return "progress";
    case Op::kCopy:
      return "copy";
    case Op::kCheckoutLayer:
      return "checkout_layer";
    case Op::kCheckoutLayerPixels:
      return "checkout_layer_pixels";
    case Op::kCheckoutOutput:
      return "checkout_output";
    case Op::kCount:
      break;
  }
  return "?";
}

SimHost::SimHost(PF_EntryPointFunc entry) : entry_(entry) {
  if (g_active != nullptr) {
    std::fputs("SimHost: only one simulated host may exist at a time\n", stderr);
    std::abort();
  }
  g_active = this;

  basic_.AcquireSuite = &AcquireSuiteCb;
  basic_.ReleaseSuite = &ReleaseSuiteCb;

  ansi_.ceil = &Ceil;
  ansi_.cos = &Cos;
  ansi_.floor = &Floor;
  ansi_.fmod = &Fmod;
  ansi_.sin = &Sin;
  ansi_.tan = &Tan;
  ansi_.sprintf = &SprintfCb;
  ansi_.strcpy = &StrcpyCb;
  utils_.copy = &CopyCb;
  utils_.ansi = ansi_;

  handle_suite_.host_new_handle = &NewHandleCb;
  handle_suite_.host_lock_handle = &LockHandleCb;
  handle_suite_.host_unlock_handle = &UnlockHandleCb;
  handle_suite_.host_dispose_handle = &DisposeHandleCb;
  utility_suite_.AEGP_RegisterWithAEGP = &RegisterCb;
  world_suite_.PF_GetPixelFormat = &GetPixelFormatCb;
  sampling8_.nn_sample = &Sample8Cb;
  sampling16_.nn_sample16 = &Sample16Cb;
  sampling_float_.nn_sample_float = &SampleFloatCb;

  suites_[{"PF Handle Suite", 1}] = &handle_suite_;
  suites_[{"PF ANSI Suite", 1}] = &ansi_;
  suites_[{"AEGP Utility Suite", 7}] = &utility_suite_;
  suites_[{"PF World Suite", 2}] = &world_suite_;
  suites_[{"PF Sampling8 Suite", 1}] = &sampling8_;
  suites_[{"PF Sampling16 Suite", 1}] = &sampling16_;
  suites_[{"PF SamplingFloat Suite", 1}] = &sampling_float_;
  all_suites_ = suites_;

  in_data_.inter.checkout_param = &CheckoutParamCb;
  in_data_.inter.add_param = &AddParamCb;
  in_data_.inter.progress = &ProgressCb;
  in_data_.utils = &utils_;
  in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(&effect_token_);
  in_data_.current_time = 0;
  in_data_.time_step = 1;
  in_data_.time_scale = 30;
  in_data_.downsample_x = {1, 1};
  in_data_.downsample_y = {1, 1};
  in_data_.pica_basicP = &basic_;

  pre_render_cb_.checkout_layer = &CheckoutLayerCb;
  pre_render_extra_ = {&pre_render_input_, &pre_render_output_, &pre_render_cb_};
  smart_render_cb_.checkout_layer_pixels = &CheckoutLayerPixelsCb;
  smart_render_cb_.checkout_output = &CheckoutOutputCb;
  smart_render_extra_ = {&smart_render_input_, &smart_render_cb_};
}

SimHost::~SimHost() { g_active = nullptr; }

SimHost& SimHost::Active() {
  if (g_active == nullptr) {
    std::fputs("SimHost: a host callback was called with no simulated host\n", stderr);
    std::abort();
  }
  return *g_active;
}

void SimHost::Problem(std::string text) { problems_.push_back(std::move(text)); }

std::optional<SimHost::Fault> SimHost::Call(Op op) {
  const int call = ++calls_[static_cast<int>(op)];
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->first == op && it->second.at_call == call) {
      const Fault fault = it->second;
      faults_.erase(it);
      return fault;
    }
  }
  return std::nullopt;
}

void SimHost::FailOn(Op op, int k, PF_Err code, bool deliver) {
  faults_.push_back({op, Fault{Calls(op) + k, code, deliver}});
}

void SimHost::RemoveSuite(const std::string& name, std::int32_t version) {
  suites_.erase({name, version});
}

void SimHost::RestoreSuite(const std::string& name, std::int32_t version) {
  const auto it = all_suites_.find({name, version});
  if (it != all_suites_.end()) suites_[it->first] = it->second;
}

int SimHost::Acquisitions(const std::string& name, std::int32_t version) const {
  const auto it = acquisitions_.find({name, version});
  return it == acquisitions_.end() ? 0 : it->second;
}

int SimHost::Releases(const std::string& name, std::int32_t version) const {
  const auto it = releases_.find({name, version});
  return it == releases_.end() ? 0 : it->second;
}

int SimHost::TotalAcquisitions() const {
  int total = 0;
  for (const auto& [key, count] : acquisitions_) total += count;
  return total;
}

// --- Commands and frames --------------------------------------------------

PF_Err SimHost::Send(PF_Cmd cmd, void* extra) {
  ++commands_sent_;
  PF_ParamDef* params[8] = {};
  const PF_Err err = entry_(cmd, &in_data_, &out_data_, params, output_, extra);
  // Keep what a host keeps between commands: the handles that out_data
  // names after the setup commands, whatever the code, and nothing after
  // sequence setdown.
  if (cmd == PF_Cmd_GLOBAL_SETUP) in_data_.global_data = out_data_.global_data;
  if (cmd == PF_Cmd_SEQUENCE_SETUP || cmd == PF_Cmd_SEQUENCE_RESETUP) {
    in_data_.sequence_data = out_data_.sequence_data;
  }
  if (cmd == PF_Cmd_SEQUENCE_SETDOWN) in_data_.sequence_data = nullptr;
  CheckAfterCommand(("command " + std::to_string(cmd)).c_str());
  return err;
}

void SimHost::CheckAfterCommand(const char* what) {
  for (auto& [key, count] : outstanding_) {
    if (count != 0) {
      Problem(std::string("after ") + what + ": " + SuiteText(key.first, key.second) +
              " still acquired " + std::to_string(count) + " time(s)");
      count = 0;
    }
  }
  for (const auto& world : worlds_) {
    const auto guard_begin = world->bytes.begin() + static_cast<std::ptrdiff_t>(world->rows_size);
    if (std::any_of(guard_begin, world->bytes.end(),
                    [](std::uint8_t byte) { return byte != kGuardByte; })) {
      Problem(std::string("after ") + what + ": a write past the last row of world " +
              Hex(&world->world));
      std::fill(guard_begin, world->bytes.end(), kGuardByte);
    }
  }
}

FrameResult SimHost::RenderFrame(const PF_Rect& request, bool render) {
  FrameResult frame;
  std::memset(&pre_render_input_, 0, sizeof(pre_render_input_));
  pre_render_input_.output_request.rect = request;
  pre_render_input_.output_request.channel_mask = 0xF;
  std::memset(&pre_render_output_, 0, sizeof(pre_render_output_));
  checked_out_ids_.clear();
  frame.pre_render = Send(PF_Cmd_SMART_PRE_RENDER, &pre_render_extra_);
  frame.output = pre_render_output_;
  if (frame.pre_render == PF_Err_NONE && render) {
    std::memset(&smart_render_input_, 0, sizeof(smart_render_input_));
    smart_render_input_.pre_render_data = pre_render_output_.pre_render_data;
    frame.render = Send(PF_Cmd_SMART_RENDER, &smart_render_extra_);
    frame.rendered = true;
  }
  const std::optional<PF_Err> deletion = FinishFrame();
  frame.deleted = deletion.has_value();
  frame.deletion = deletion.value_or(PF_Err_NONE);
  return frame;
}

std::optional<PF_Err> SimHost::FinishFrame() {
  std::optional<PF_Err> result;
  if (pre_render_output_.delete_pre_render_data_func != nullptr &&
      pre_render_output_.pre_render_data != nullptr) {
    result = pre_render_output_.delete_pre_render_data_func(&in_data_,
                                                            pre_render_output_.pre_render_data);
    CheckAfterCommand("the deletion callback");
  }
  pre_render_output_.pre_render_data = nullptr;
  pre_render_output_.delete_pre_render_data_func = nullptr;
  return result;
}

// --- Basic suite --------------------------------------------------------------

std::int32_t SimHost::AcquireSuiteCb(const char* name, std::int32_t version, const void** suite) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kAcquireSuite);
  const auto it = host.suites_.find({name, version});
  const void* table = it == host.suites_.end() ? nullptr : it->second;
  std::int32_t err = table == nullptr ? 1 : PF_Err_NONE;
  if (fault) {
    err = fault->code;
    if (!fault->deliver) table = nullptr;
  }
  if (suite == nullptr) {
    host.Problem("AcquireSuite without a place for the table");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *suite = table;
  if (table != nullptr) {
    // A table handed out counts as acquired, whatever the code said.
    ++host.acquisitions_[{name, version}];
    ++host.outstanding_[{name, version}];
  }
  return err;
}

std::int32_t SimHost::ReleaseSuiteCb(const char* name, std::int32_t version) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kReleaseSuite);
  if (fault && !fault->deliver) return fault->code;
  const SuiteKey key{name, version};
  int& outstanding = host.outstanding_[key];
  if (outstanding == 0) {
    host.Problem("released " + SuiteText(name, version) + " without holding it");
  } else {
    --outstanding;
  }
  ++host.releases_[key];
  host.release_log_.push_back(key);
  return fault ? fault->code : PF_Err_NONE;
}

// --- Handle suite -------------------------------------------------------------

PF_Handle SimHost::MakeHandle(std::uint64_t size) {
  auto info = std::make_unique<HandleInfo>();
  info->size = size;
  const std::uint64_t units = (size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  info->storage = std::make_unique<std::max_align_t[]>(static_cast<std::size_t>(units + 1));
  auto* const handle = reinterpret_cast<PF_Handle>(info.get());
  handles_[handle] = std::move(info);
  return handle;
}

const HandleInfo* SimHost::Info(PF_Handle handle) const {
  const auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second.get();
}

std::vector<PF_Handle> SimHost::LiveHandles() const {
  std::vector<PF_Handle> live;
  for (const auto& [handle, info] : handles_) {
    if (!info->disposed) live.push_back(handle);
  }
  return live;
}

HandleInfo* SimHost::FindHandle(PF_Handle handle, const char* what) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) {
    Problem(std::string(what) + " of a handle the host never made: " + Hex(handle));
    return nullptr;
  }
  if (it->second->disposed) {
    Problem(std::string(what) + " of a handle already disposed of: " + Hex(handle));
    return nullptr;
  }
  return it->second.get();
}

PF_Handle SimHost::NewHandleCb(std::uint64_t size) {
  SimHost& host = Active();
  if (host.Call(Op::kNewHandle)) return nullptr;
  return host.MakeHandle(size);
}

void* SimHost::LockHandleCb(PF_Handle handle) {
  SimHost& host = Active();
  if (host.Call(Op::kLockHandle)) return nullptr;
  HandleInfo* info = host.FindHandle(handle, "lock");
  if (info == nullptr) return nullptr;
  ++info->lock_count;
  return info->data();
}

void SimHost::UnlockHandleCb(PF_Handle handle) {
  SimHost& host = Active();
  if (host.Call(Op::kUnlockHandle)) return;
  HandleInfo* info = host.FindHandle(handle, "unlock");
  if (info == nullptr) return;
  if (info->lock_count == 0) {
    host.Problem("unlock of a handle that is not locked: " + Hex(handle));
    return;
  }
  --info->lock_count;
}

void SimHost::DisposeHandleCb(PF_Handle handle) {
  SimHost& host = Active();
  if (host.Call(Op::kDisposeHandle)) return;
  HandleInfo* info = host.FindHandle(handle, "dispose");
  if (info == nullptr) return;
  if (info->lock_count != 0) host.Problem("dispose of a handle still locked: " + Hex(handle));
  // The record stays, so that a later use is caught instead of crashing.
  info->disposed = true;
}

// --- ANSI block and utility suite -------------------------------------------

std::int32_t SimHost::SprintfCb(char* buffer, const char* format, ...) {
  SimHost& host = Active();
  if (const std::optional<Fault> fault = host.Call(Op::kSprintf)) return fault->code;
  std::va_list args;
  va_start(args, format);
  int length = 0;
  if (buffer == host.out_data_.return_msg) {
    // The one buffer whose size the host knows: write no further than it
    // ends, and report a text that would not have fitted.
    std::va_list copy;
    va_copy(copy, args);
    length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length >= PF_MAX_RETURN_MSG_LEN) {
      host.Problem("sprintf of " + std::to_string(length) + " bytes into return_msg");
    }
    std::vsnprintf(buffer, PF_MAX_RETURN_MSG_LEN, format, args);
  } else {
    length = std::vsprintf(buffer, format, args);
  }
  va_end(args);
  return length;
}

char* SimHost::StrcpyCb(char* destination, const char* source) {
  SimHost& host = Active();
  if (host.Call(Op::kStrcpy)) return nullptr;
  return std::strcpy(destination, source);
}

PF_Err SimHost::RegisterCb(void* global_refcon, const char* name, std::int32_t* plugin_id) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kRegister);
  host.registrations_.emplace_back(global_refcon, name != nullptr ? name : "");
  if (!fault || fault->deliver) *plugin_id = kPluginId;
  return fault ? fault->code : PF_Err_NONE;
}

// --- Worlds, World suite and sampling ---------------------------------------

PF_EffectWorld* SimHost::MakeWorld(PF_PixelFormat format, std::int32_t width, std::int32_t height,
                                   std::int32_t rowbytes, std::uint8_t fill) {
  auto world = std::make_unique<World>();
  const int pixel_size = PixelSize(format) != 0 ? PixelSize(format) : 4;
  if (rowbytes == 0) rowbytes = width * pixel_size;
  world->format = format;
  const std::int64_t row_size = rowbytes > 0 ? rowbytes : std::int64_t{width} * pixel_size;
  world->rows_size = static_cast<std::size_t>(std::max<std::int64_t>(0, row_size * height));
  world->bytes.assign(world->rows_size + kGuardSize, fill);
  std::fill(world->bytes.begin() + static_cast<std::ptrdiff_t>(world->rows_size),
            world->bytes.end(), kGuardByte);
  world->world.width = width;
  world->world.height = height;
  world->world.rowbytes = rowbytes;
  world->world.data = world->bytes.data();
  worlds_.push_back(std::move(world));
  return &worlds_.back()->world;
}

SimHost::World* SimHost::FindWorld(const PF_EffectWorld* world) {
  for (const auto& candidate : worlds_) {
    if (&candidate->world == world) return candidate.get();
  }
  return nullptr;
}

const SimHost::World* SimHost::FindWorld(const PF_EffectWorld* world) const {
  for (const auto& candidate : worlds_) {
    if (&candidate->world == world) return candidate.get();
  }
  return nullptr;
}

WorldView SimHost::ViewOf(const PF_EffectWorld* world) const {
  WorldView view;
  const World* found = FindWorld(world);
  if (found == nullptr) return view;
  const int pixel_size = PixelSize(found->format) != 0 ? PixelSize(found->format) : 4;
  view.base = world->data;
  view.width = world->width;
  view.height = world->height;
  view.stride = world->rowbytes / pixel_size;
  view.depth = found->format == PF_PixelFormat_ARGB64    ? PixelDepth::Depth16
               : found->format == PF_PixelFormat_ARGB128 ? PixelDepth::DepthFloat
                                                         : PixelDepth::Depth8;
  return view;
}

std::vector<std::uint8_t> SimHost::BytesOf(const PF_EffectWorld* world) const {
  const World* found = FindWorld(world);
  if (found == nullptr) return {};
  return {found->bytes.begin(),
          found->bytes.begin() + static_cast<std::ptrdiff_t>(found->rows_size)};
}

PF_Err SimHost::GetPixelFormatCb(const PF_EffectWorld* world, PF_PixelFormat* format) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kGetPixelFormat);
  const World* found = host.FindWorld(world);
  if (found == nullptr) {
    host.Problem("PF_GetPixelFormat of a world the host never made");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (!fault || fault->deliver) *format = found->format;
  return fault ? fault->code : PF_Err_NONE;
}

void SimHost::CheckEffectRef(PF_ProgPtr effect_ref, const char* what) {
  if (effect_ref != in_data_.effect_ref) Problem(std::string(what) + " with a foreign effect_ref");
}

template <typename Pixel>
PF_Err SimHost::Sample(Op op, PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                       const PF_SampPB* params, Pixel* pixel) {
  const std::optional<Fault> fault = Call(op);
  if (fault && !fault->deliver) return fault->code;
  CheckEffectRef(effect_ref, OpName(op));
  const World* world = params != nullptr ? FindWorld(params->src) : nullptr;
  if (world == nullptr || PixelSize(world->format) != static_cast<int>(sizeof(Pixel))) {
    Problem(std::string(OpName(op)) + " from a world that is not of its depth");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // The same nearest-pixel rule as the engine's stand-alone sampler.
  const std::int32_t column = NearestIndex(x);
  const std::int32_t row = NearestIndex(y);
  const PF_EffectWorld& src = world->world;
  if (column < 0 || row < 0 || column >= src.width || row >= src.height) {
    Problem(std::string(OpName(op)) + " outside the image at column " + std::to_string(column) +
            ", row " + std::to_string(row));
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(src.data);
  std::memcpy(pixel,
              bytes + std::int64_t{row} * src.rowbytes + std::int64_t{column} * sizeof(Pixel),
              sizeof(Pixel));
  return fault ? fault->code : PF_Err_NONE;
}

PF_Err SimHost::Sample8Cb(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                          PF_Pixel8* pixel) {
  return Active().Sample(Op::kSample8, effect_ref, x, y, params, pixel);
}

PF_Err SimHost::Sample16Cb(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                           PF_Pixel16* pixel) {
  return Active().Sample(Op::kSample16, effect_ref, x, y, params, pixel);
}

PF_Err SimHost::SampleFloatCb(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                              const PF_SampPB* params, PF_PixelFloat* pixel) {
  return Active().Sample(Op::kSampleFloat, effect_ref, x, y, params, pixel);
}

PF_Err SimHost::CopyCb(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                       PF_Rect* src_r, PF_Rect* dst_r) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kCopy);
  if (fault && !fault->deliver) return fault->code;
  host.CheckEffectRef(effect_ref, "copy");
  const World* from = host.FindWorld(src);
  const World* to = host.FindWorld(dst);
  if (from == nullptr || to == nullptr || from->format != to->format || src_r != nullptr ||
      dst_r != nullptr || src->data == nullptr || dst->data == nullptr) {
    host.Problem("copy between worlds this host cannot copy");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const std::int64_t row_bytes =
      std::int64_t{std::min(src->width, dst->width)} * PixelSize(from->format);
  const std::int32_t rows = std::min(src->height, dst->height);
  for (std::int32_t row = 0; row < rows; ++row) {
    std::memmove(static_cast<std::uint8_t*>(dst->data) + std::int64_t{row} * dst->rowbytes,
                 static_cast<const std::uint8_t*>(src->data) + std::int64_t{row} * src->rowbytes,
                 static_cast<std::size_t>(row_bytes));
  }
  return fault ? fault->code : PF_Err_NONE;
}

// --- Interaction callbacks ----------------------------------------------------

void SimHost::SetParam(PF_ParamIndex index, ParamValue value, std::optional<std::int32_t> at_time) {
  param_values_[index][at_time] = value;
}

PF_Err SimHost::CheckoutParamCb(PF_ProgPtr effect_ref, PF_ParamIndex index, std::int32_t time,
                                std::int32_t time_step, std::uint32_t time_scale,
                                PF_ParamDef* param) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kCheckoutParam);
  host.CheckEffectRef(effect_ref, "checkout_param");
  host.param_checkouts_.push_back({index, time, time_step, time_scale});
  if (fault && !fault->deliver) return fault->code;

  // The definition as declared (a fresh effect starts at its defaults), then
  // the value set for this time or for all times.
  std::memset(param, 0, sizeof(*param));
  if (index >= 1 && static_cast<std::size_t>(index) <= host.added_params_.size()) {
    *param = host.added_params_[static_cast<std::size_t>(index - 1)].def;
  }
  std::optional<ParamValue> value;
  if (const auto by_index = host.param_values_.find(index); by_index != host.param_values_.end()) {
    if (const auto at = by_index->second.find(time); at != by_index->second.end()) {
      value = at->second;
    } else if (const auto any = by_index->second.find(std::nullopt);
               any != by_index->second.end()) {
      value = any->second;
    }
  }
  if (value) {
    param->param_type = value->type;
    switch (value->type) {
      case PF_Param_POPUP:
        param->u.popup.value = value->int_value;
        break;
      case PF_Param_FIX_SLIDER:
        param->u.fix_slider.value = value->int_value;
        break;
      case PF_Param_FLOAT_SLIDER:
        param->u.float_slider.value = value->float_value;
        break;
      case PF_Param_ANGLE:
        param->u.angle.value = value->int_value;
        break;
      case PF_Param_CHECKBOX:
        param->u.checkbox.value = value->int_value;
        break;
      default:
        break;
    }
  } else if (param->param_type == 0) {
    host.Problem("checkout_param of parameter " + std::to_string(index) + " that has no value");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  param->id = index;
  return fault ? fault->code : PF_Err_NONE;
}

PF_Err SimHost::AddParamCb(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kAddParam);
  if (fault && !fault->deliver) return fault->code;
  host.CheckEffectRef(effect_ref, "add_param");
  AddedParam added;
  added.index_argument = index;
  std::memcpy(&added.def, def, sizeof(*def));  // padding too: tests compare bytes
  // The texts the definition points to belong to the caller: keep copies.
  if (def->param_type == PF_Param_POPUP && def->u.popup.names != nullptr) {
    added.popup_names = def->u.popup.names;
    added.def.u.popup.names = nullptr;
  }
  if (def->param_type == PF_Param_CHECKBOX && def->u.checkbox.label != nullptr) {
    added.checkbox_label = def->u.checkbox.label;
    added.def.u.checkbox.label = nullptr;
  }
  host.added_params_.push_back(std::move(added));
  return fault ? fault->code : PF_Err_NONE;
}

PF_Err SimHost::ProgressCb(PF_ProgPtr effect_ref, std::int32_t count, std::int32_t total) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kProgress);
  host.CheckEffectRef(effect_ref, "progress");
  host.progress_log_.emplace_back(count, total);
  return fault ? fault->code : PF_Err_NONE;
}

// --- Render callbacks -----------------------------------------------------------

void SimHost::SetLayerResult(const PF_Rect& result_rect, const PF_Rect& max_result_rect) {
  layer_result_ = {result_rect, max_result_rect};
}

PF_Err SimHost::CheckoutLayerCb(PF_ProgPtr effect_ref, PF_ParamIndex index,
                                std::int32_t checkout_id, const PF_RenderRequest* req,
                                std::int32_t time, std::int32_t time_step, std::uint32_t time_scale,
                                PF_CheckoutResult* result) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kCheckoutLayer);
  host.CheckEffectRef(effect_ref, "checkout_layer");
  host.layer_checkouts_.push_back({index, checkout_id, *req, time, time_step, time_scale});
  if (fault && !fault->deliver) return fault->code;
  host.checked_out_ids_.push_back(checkout_id);
  if (host.layer_result_) {
    result->result_rect = host.layer_result_->first;
    result->max_result_rect = host.layer_result_->second;
  } else {
    const std::int32_t width = host.input_ != nullptr ? host.input_->width : 0;
    const std::int32_t height = host.input_ != nullptr ? host.input_->height : 0;
    result->max_result_rect = {0, 0, width, height};
    result->result_rect = {std::max(req->rect.left, 0), std::max(req->rect.top, 0),
                           std::min(req->rect.right, width), std::min(req->rect.bottom, height)};
  }
  return fault ? fault->code : PF_Err_NONE;
}

PF_Err SimHost::CheckoutLayerPixelsCb(PF_ProgPtr effect_ref, std::int32_t checkout_id,
                                      PF_EffectWorld** pixels) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kCheckoutLayerPixels);
  host.CheckEffectRef(effect_ref, "checkout_layer_pixels");
  if (fault && !fault->deliver) {
    *pixels = nullptr;
    return fault->code;
  }
  if (std::find(host.checked_out_ids_.begin(), host.checked_out_ids_.end(), checkout_id) ==
      host.checked_out_ids_.end()) {
    host.Problem("checkout_layer_pixels of id " + std::to_string(checkout_id) +
                 " that pre-render did not check out");
  }
  *pixels = host.input_;
  return fault ? fault->code : PF_Err_NONE;
}

PF_Err SimHost::CheckoutOutputCb(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
  SimHost& host = Active();
  const std::optional<Fault> fault = host.Call(Op::kCheckoutOutput);
  host.CheckEffectRef(effect_ref, "checkout_output");
  if (fault && !fault->deliver) {
    *output = nullptr;
    return fault->code;
  }
  *output = host.output_;
  return fault ? fault->code : PF_Err_NONE;
}

}  // namespace quillmarch::sim
