// A simulated effect host: every record, callback and suite the plug-in
// uses, with bookkeeping that a test can check and faults it can inject.
//
// It drives any function of EntryPointFunc's shape: the host library linked
// in natively, or the real module loaded by a 32-bit Windows test program.
// It needs nothing but the standard library, so it builds with mingw-w64 too.
//
// The host's callbacks are plain C functions without a context argument, so
// they reach the host through one process-wide pointer: only one SimHost may
// exist at a time, and it must be used from one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/wipe_engine.h"
#include "host/host_interface.h"

namespace quillmarch::sim {

/// Every host operation whose calls are counted and can be made to fail.
enum class Op : int {
  kAcquireSuite,    ///< fails with a code; `deliver` still hands out the table
  kReleaseSuite,    ///< fails with a code; `deliver` still counts the release
  kNewHandle,       ///< fails with a null handle
  kLockHandle,      ///< fails with a null pointer
  kUnlockHandle,    ///< fails by doing nothing
  kDisposeHandle,   ///< fails by doing nothing
  kSprintf,         ///< fails with a code and writes nothing
  kStrcpy,          ///< fails by copying nothing and returning null
  kRegister,        ///< AEGP_RegisterWithAEGP; `deliver` still fills the id
  kGetPixelFormat,  ///< `deliver` still writes the format
  kSample8,         ///< `deliver` still fills the pixel
  kSample16,
  kSampleFloat,
  kCheckoutParam,  ///< `deliver` still fills the definition
  kAddParam,       ///< `deliver` still records the definition
  kProgress,
  kCopy,                 ///< `deliver` still copies
  kCheckoutLayer,        ///< `deliver` still fills the checkout result
  kCheckoutLayerPixels,  ///< code 0 without `deliver`: success and no world
  kCheckoutOutput,       ///< likewise
  kCount
};

const char* OpName(Op op);

/// One parameter value as the host stores it.
struct ParamValue {
  PF_ParamType type = 0;
  std::int32_t int_value = 0;  ///< popup, checkbox, fixed slider, angle
  double float_value = 0.0;    ///< float slider

  static ParamValue Popup(std::int32_t choice) { return {PF_Param_POPUP, choice, 0.0}; }
  static ParamValue FixSlider(PF_Fixed value) { return {PF_Param_FIX_SLIDER, value, 0.0}; }
  static ParamValue FloatSlider(double value) { return {PF_Param_FLOAT_SLIDER, 0, value}; }
  static ParamValue Angle(PF_Fixed value) { return {PF_Param_ANGLE, value, 0.0}; }
  static ParamValue Checkbox(std::int32_t value) { return {PF_Param_CHECKBOX, value, 0.0}; }
};

/// A definition handed to add_param, with the texts it points to copied,
/// as a host must do.
struct AddedParam {
  PF_ParamIndex index_argument = 0;
  PF_ParamDef def{};
  std::string popup_names;     ///< what `u.popup.names` pointed to
  std::string checkbox_label;  ///< what `u.checkbox.label` pointed to
};

struct ParamCheckout {
  PF_ParamIndex index;
  std::int32_t time, time_step;
  std::uint32_t time_scale;
};

struct LayerCheckout {
  PF_ParamIndex index;
  std::int32_t checkout_id;
  PF_RenderRequest request;
  std::int32_t time, time_step;
  std::uint32_t time_scale;
};

/// What the host knows of one handle.
struct HandleInfo {
  std::uint64_t size = 0;
  int lock_count = 0;
  bool disposed = false;
  std::unique_ptr<std::max_align_t[]> storage;
  void* data() const { return storage.get(); }
};

/// The outcome of one frame sent through RenderFrame.
struct FrameResult {
  PF_Err pre_render = PF_Err_NONE;
  PF_Err render = PF_Err_NONE;
  bool rendered = false;
  bool deleted = false;  ///< the deletion callback was called
  PF_Err deletion = PF_Err_NONE;
  PF_PreRenderOutput output{};
};

class SimHost {
 public:
  explicit SimHost(PF_EntryPointFunc entry);
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // --- Records as the plug-in sees them; tests may change them. ---
  PF_InData& in_data() { return in_data_; }
  PF_OutData& out_data() { return out_data_; }
  PF_UtilCallbacks& utils() { return utils_; }
  /// The table that "PF ANSI Suite" 1 hands out (`utils().ansi` is a copy).
  PF_ANSICallbacks& ansi_suite() { return ansi_; }
  SPBasicSuite& basic_suite() { return basic_; }
  PF_ProgPtr effect_ref() const { return in_data_.effect_ref; }

  /// Sends a command. Afterwards checks that every suite acquired was
  /// released and that no world was written outside its rows, and keeps
  /// the handles the host keeps (global and sequence data).
  PF_Err Send(PF_Cmd cmd, void* extra = nullptr);

  // --- Frames ---
  PF_PreRenderInput& pre_render_input() { return pre_render_input_; }
  PF_PreRenderOutput& pre_render_output() { return pre_render_output_; }
  PF_PreRenderCallbacks& pre_render_callbacks() { return pre_render_cb_; }
  PF_PreRenderExtra& pre_render_extra() { return pre_render_extra_; }
  PF_SmartRenderInput& smart_render_input() { return smart_render_input_; }
  PF_SmartRenderCallbacks& smart_render_callbacks() { return smart_render_cb_; }
  PF_SmartRenderExtra& smart_render_extra() { return smart_render_extra_; }

  /// Pre-render over `request` (output part cleared first), smart render
  /// with its pre-render data unless pre-render failed or `render` is false,
  /// then the deletion callback, as a host does once it is done with a frame.
  FrameResult RenderFrame(const PF_Rect& request, bool render = true);
  /// Calls the deletion callback that the output part names, if any, for
  /// the pre-render data it holds, and clears both.
  std::optional<PF_Err> FinishFrame();

  // --- Faults ---
  /// The k-th call of `op` from now (1 = the next one) fails.
  void FailOn(Op op, int k, PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED, bool deliver = false);
  int Calls(Op op) const { return calls_[static_cast<int>(op)]; }
  /// Acquiring this suite fails (code 1, no table) until it is restored.
  void RemoveSuite(const std::string& name, std::int32_t version);
  void RestoreSuite(const std::string& name, std::int32_t version);

  // --- Suites ---
  int Acquisitions(const std::string& name, std::int32_t version) const;
  int Releases(const std::string& name, std::int32_t version) const;
  int TotalAcquisitions() const;
  /// Suites released, in order.
  const std::vector<std::pair<std::string, std::int32_t>>& release_log() const {
    return release_log_;
  }

  // --- Handles ---
  /// A handle made by the host itself (not counted as a plug-in's call).
  PF_Handle MakeHandle(std::uint64_t size);
  /// Null for a handle the host never made.
  const HandleInfo* Info(PF_Handle handle) const;
  /// Handles made and not yet disposed of.
  std::vector<PF_Handle> LiveHandles() const;
  /// Handles made by the plug-in during the host's life.
  int HandlesMade() const { return Calls(Op::kNewHandle); }

  // --- Parameters ---
  /// The value at every time without a value of its own; with `at_time`,
  /// only at that time.
  void SetParam(PF_ParamIndex index, ParamValue value,
                std::optional<std::int32_t> at_time = std::nullopt);
  const std::vector<AddedParam>& added_params() const { return added_params_; }
  const std::vector<ParamCheckout>& param_checkouts() const { return param_checkouts_; }

  // --- Layers and worlds ---
  /// A world of `width` x `height` pixels; `rowbytes` 0 means no padding.
  /// Its bytes start as `fill`, and a guard zone follows the last row.
  PF_EffectWorld* MakeWorld(PF_PixelFormat format, std::int32_t width, std::int32_t height,
                            std::int32_t rowbytes = 0, std::uint8_t fill = 0);
  /// The engine's view of a world made here (stride = rowbytes / pixel size).
  WorldView ViewOf(const PF_EffectWorld* world) const;
  /// The bytes of a world made here, rows and padding.
  std::vector<std::uint8_t> BytesOf(const PF_EffectWorld* world) const;
  /// What checkout_layer_pixels and checkout_output hand out.
  void SetInput(PF_EffectWorld* world) { input_ = world; }
  void SetOutput(PF_EffectWorld* world) { output_ = world; }
  /// What checkout_layer reports; by default the request clipped to the
  /// input world, and the input world's bounds.
  void SetLayerResult(const PF_Rect& result_rect, const PF_Rect& max_result_rect);
  const std::vector<LayerCheckout>& layer_checkouts() const { return layer_checkouts_; }

  // --- Other logs ---
  const std::vector<std::pair<std::int32_t, std::int32_t>>& progress_log() const {
    return progress_log_;
  }
  /// (global refcon, plug-in name) per registration.
  const std::vector<std::pair<void*, std::string>>& registrations() const { return registrations_; }
  std::int32_t plugin_id_given() const { return kPluginId; }

  /// Everything the host saw go wrong: suites left acquired, handles
  /// unlocked twice or disposed of twice, writes outside a world, ...
  const std::vector<std::string>& problems() const { return problems_; }
  void ClearProblems() { problems_.clear(); }

  // The host's callbacks reach the host through this; aborts without one.
  static SimHost& Active();

 private:
  struct Fault {
    int at_call;
    PF_Err code;
    bool deliver;
  };
  struct World {
    PF_EffectWorld world{};
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    std::vector<std::uint8_t> bytes;  ///< rows, then the guard zone
    std::size_t rows_size = 0;
  };
  using SuiteKey = std::pair<std::string, std::int32_t>;

  static constexpr std::int32_t kPluginId = 77;
  static constexpr std::size_t kGuardSize = 64;
  static constexpr std::uint8_t kGuardByte = 0xA5;

  // Counts a call of `op` and returns the fault planned for it, if any.
  std::optional<Fault> Call(Op op);
  void Problem(std::string text);
  void CheckAfterCommand(const char* what);
  World* FindWorld(const PF_EffectWorld* world);
  const World* FindWorld(const PF_EffectWorld* world) const;
  HandleInfo* FindHandle(PF_Handle handle, const char* what);
  template <typename Pixel>
  PF_Err Sample(Op op, PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                Pixel* pixel);

  // The C callbacks; each finds the host through Active().
  static std::int32_t AcquireSuiteCb(const char* name, std::int32_t version, const void** suite);
  static std::int32_t ReleaseSuiteCb(const char* name, std::int32_t version);
  static PF_Handle NewHandleCb(std::uint64_t size);
  static void* LockHandleCb(PF_Handle handle);
  static void UnlockHandleCb(PF_Handle handle);
  static void DisposeHandleCb(PF_Handle handle);
  static std::int32_t SprintfCb(char* buffer, const char* format, ...);
  static char* StrcpyCb(char* destination, const char* source);
  static PF_Err RegisterCb(void* global_refcon, const char* name, std::int32_t* plugin_id);
  static PF_Err GetPixelFormatCb(const PF_EffectWorld* world, PF_PixelFormat* format);
  static PF_Err Sample8Cb(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel8*);
  static PF_Err Sample16Cb(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
  static PF_Err SampleFloatCb(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_PixelFloat*);
  static PF_Err CheckoutParamCb(PF_ProgPtr effect_ref, PF_ParamIndex index, std::int32_t time,
                                std::int32_t time_step, std::uint32_t time_scale,
                                PF_ParamDef* param);
  static PF_Err AddParamCb(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def);
  static PF_Err ProgressCb(PF_ProgPtr effect_ref, std::int32_t count, std::int32_t total);
  static PF_Err CopyCb(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                       PF_Rect* src_r, PF_Rect* dst_r);
  static PF_Err CheckoutLayerCb(PF_ProgPtr effect_ref, PF_ParamIndex index,
                                std::int32_t checkout_id, const PF_RenderRequest* req,
                                std::int32_t time, std::int32_t time_step, std::uint32_t time_scale,
                                PF_CheckoutResult* result);
  static PF_Err CheckoutLayerPixelsCb(PF_ProgPtr effect_ref, std::int32_t checkout_id,
                                      PF_EffectWorld** pixels);
  static PF_Err CheckoutOutputCb(PF_ProgPtr effect_ref, PF_EffectWorld** output);

  void CheckEffectRef(PF_ProgPtr effect_ref, const char* what);

  PF_EntryPointFunc entry_;
  char effect_token_ = 0;  ///< its address is the effect reference

  SPBasicSuite basic_{};
  PF_ANSICallbacks ansi_{};
  PF_UtilCallbacks utils_{};
  PF_HandleSuite1 handle_suite_{};
  AEGP_UtilitySuite7 utility_suite_{};
  PF_WorldSuite2 world_suite_{};
  PF_Sampling8Suite1 sampling8_{};
  PF_Sampling16Suite1 sampling16_{};
  PF_SamplingFloatSuite1 sampling_float_{};
  std::map<SuiteKey, const void*> all_suites_;  ///< every suite this host has
  std::map<SuiteKey, const void*> suites_;      ///< those not removed

  PF_InData in_data_{};
  PF_OutData out_data_{};

  PF_PreRenderInput pre_render_input_{};
  PF_PreRenderOutput pre_render_output_{};
  PF_PreRenderCallbacks pre_render_cb_{};
  PF_PreRenderExtra pre_render_extra_{};
  PF_SmartRenderInput smart_render_input_{};
  PF_SmartRenderCallbacks smart_render_cb_{};
  PF_SmartRenderExtra smart_render_extra_{};

  std::array<int, static_cast<int>(Op::kCount)> calls_{};
  std::vector<std::pair<Op, Fault>> faults_;

  std::map<SuiteKey, int> acquisitions_, releases_, outstanding_;
  std::vector<SuiteKey> release_log_;

  std::map<PF_Handle, std::unique_ptr<HandleInfo>> handles_;

  std::map<PF_ParamIndex, std::map<std::optional<std::int32_t>, ParamValue>> param_values_;
  std::vector<AddedParam> added_params_;
  std::vector<ParamCheckout> param_checkouts_;

  std::vector<std::unique_ptr<World>> worlds_;
  PF_EffectWorld* input_ = nullptr;
  PF_EffectWorld* output_ = nullptr;
  std::optional<std::pair<PF_Rect, PF_Rect>> layer_result_;
  std::vector<LayerCheckout> layer_checkouts_;
  std::vector<std::int32_t> checked_out_ids_;

  std::vector<std::pair<std::int32_t, std::int32_t>> progress_log_;
  std::vector<std::pair<void*, std::string>> registrations_;
  std::vector<std::string> problems_;
  int commands_sent_ = 0;
};

}  // namespace quillmarch::sim
