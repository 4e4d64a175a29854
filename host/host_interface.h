// The host's effect interface as this plug-in uses it: records, callbacks,
// suites, command numbers, error codes, pixel formats and flags.
//
// Members keep the host's own names. Where the host leaves a layout to us we
// chose it, and the same header serves the 32-bit module and the 64-bit
// native build:
// - only fixed-width integers, pointers and IEEE floats, so a record means
//   the same thing to every compiler that builds both sides of a call;
// - a callback table is a struct of plain C function pointers in entry order
//   (entry 1 first); entries we never call are `PF_ReservedFunc` placeholders
//   so that the named ones sit at their entry numbers;
// - records are passed by pointer, parts of a command's extra record too, so
//   a host can keep each part where it likes;
// - handles, effect references and other host objects are opaque pointers,
//   which the plug-in only hands back to the host.
// Every callback uses the platform's C calling convention (cdecl on 32-bit
// Windows).
#pragma once

#include <stdint.h>  // not <cstdint>: the header stays valid C

#ifdef __cplusplus
extern "C" {
#endif

// --- Basic types --------------------------------------------------------

typedef int32_t PF_Err;  ///< the host's error code; also thrown by SuiteCache
typedef int32_t PF_Cmd;
typedef int32_t PF_Fixed;  ///< signed 16.16 fixed point
typedef int32_t PF_ParamIndex;
typedef int32_t PF_ParamType;
typedef uint32_t PF_PixelFormat;  ///< four letters, read as bytes in memory

typedef struct PF_OpaqueHandle* PF_Handle;   ///< memory owned by the host
typedef struct PF_OpaqueEffect* PF_ProgPtr;  ///< `effect_ref`: this effect instance
typedef void (*PF_ReservedFunc)(void);       ///< an entry we never call

// --- Command numbers ------------------------------------------------------

enum {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP = 1,
  PF_Cmd_GLOBAL_SETDOWN = 3,
  PF_Cmd_PARAMS_SETUP = 4,
  PF_Cmd_SEQUENCE_SETUP = 5,
  PF_Cmd_SEQUENCE_RESETUP = 6,
  PF_Cmd_SEQUENCE_FLATTEN = 7,
  PF_Cmd_SEQUENCE_SETDOWN = 8,
  PF_Cmd_FRAME_SETUP = 10,
  PF_Cmd_RENDER = 11,
  PF_Cmd_FRAME_SETDOWN = 12,
  PF_Cmd_COMPLETELY_GENERAL = 17,
  PF_Cmd_SMART_PRE_RENDER = 23,
  PF_Cmd_SMART_RENDER = 24
};

// --- Error codes ------------------------------------------------------------

enum {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_BAD_CALLBACK_PARAM = 516
};

// --- Flags ------------------------------------------------------------------

enum {
  PF_OutFlag_USE_OUTPUT_EXTENT = 0x40,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
  PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000
};

enum { PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x400, PF_OutFlag2_FLOAT_COLOR_AWARE = 0x1000 };

enum { PF_ValueDisplayFlag_PERCENT = 1 };

// --- Parameter types --------------------------------------------------------

enum {
  PF_Param_FIX_SLIDER = 2,
  PF_Param_ANGLE = 3,
  PF_Param_CHECKBOX = 4,
  PF_Param_POPUP = 7,
  PF_Param_FLOAT_SLIDER = 10
};

// --- Pixel formats ----------------------------------------------------------
// The 32-bit value whose bytes in memory (little-endian) spell the letters.

#define PF_PixelFormat_ARGB32 0x62677261u  /* "argb": 8 bits per channel */
#define PF_PixelFormat_ARGB64 0x36316561u  /* "ae16": 16 bits per channel */
#define PF_PixelFormat_ARGB128 0x32336561u /* "ae32": float per channel */
#define PF_PixelFormat_INVALID 0x66646162u /* "badf" */

// --- Geometry, pixels and worlds --------------------------------------------

/// Empty when left >= right or top >= bottom.
typedef struct PF_Rect {
  int32_t left, top, right, bottom;
} PF_Rect;

typedef struct PF_RationalScale {
  int32_t num;
  uint32_t den;
} PF_RationalScale;

typedef struct PF_Pixel8 {
  uint8_t alpha, red, green, blue;
} PF_Pixel8;

typedef struct PF_Pixel16 {
  uint16_t alpha, red, green, blue;
} PF_Pixel16;

typedef struct PF_PixelFloat {
  float alpha, red, green, blue;
} PF_PixelFloat;

/// An image. `world_flags` and `host_reserved` are the host's; the plug-in
/// reads only `data`, `rowbytes`, `width` and `height`.
typedef struct PF_EffectWorld {
  int32_t world_flags;
  int32_t width;
  int32_t height;
  int32_t rowbytes;  ///< bytes from one row to the next
  void* data;        ///< first pixel of the first row
  void* host_reserved;
} PF_EffectWorld;

/// Sampling parameter block: the plug-in fills it with zeros and sets `src`.
typedef struct PF_SampPB {
  const PF_EffectWorld* src;
  int32_t reserved[8];
} PF_SampPB;

// --- Parameter definitions --------------------------------------------------

enum { PF_MAX_PARAM_NAME_LEN = 32 };

typedef struct PF_FixSliderDef {
  PF_Fixed value;
  PF_Fixed valid_min, valid_max;
  PF_Fixed slider_min, slider_max;
  PF_Fixed default_value;
  int16_t precision;
  int16_t display_flags;
  char value_str[32];
  char value_desc[32];
} PF_FixSliderDef;

typedef struct PF_FloatSliderDef {
  double value;
  double phase;
  float valid_min, valid_max;
  float slider_min, slider_max;
  float default_value;
  int16_t precision;
  int16_t display_flags;
  uint32_t slider_flags;
  float curve_tolerance;
} PF_FloatSliderDef;

typedef struct PF_AngleDef {
  PF_Fixed value;
  PF_Fixed default_value;
  PF_Fixed valid_min, valid_max;  ///< both 0: any angle
} PF_AngleDef;

typedef struct PF_CheckboxDef {
  int32_t value;
  int32_t default_value;
  const char* label;  ///< text next to the box; the host copies it
} PF_CheckboxDef;

typedef struct PF_PopupDef {
  int32_t value;  ///< 1-based choice
  int16_t num_choices;
  int16_t default_value;
  const char* names;  ///< choices separated by '|'; the host copies them
} PF_PopupDef;

typedef struct PF_ParamDef {
  PF_ParamType param_type;
  int32_t id;
  char name[PF_MAX_PARAM_NAME_LEN];
  int32_t flags;
  int32_t ui_flags;
  int16_t ui_width;
  int16_t ui_height;
  union {
    PF_FixSliderDef fix_slider;
    PF_FloatSliderDef float_slider;
    PF_AngleDef angle;
    PF_CheckboxDef checkbox;
    PF_PopupDef popup;
  } u;
} PF_ParamDef;

// --- Callback tables --------------------------------------------------------

/// The ANSI block: maths and string functions with the C library's meaning.
/// The same table is `utils`' maths block and "PF ANSI Suite" version 1.
typedef struct PF_ANSICallbacks {
  PF_ReservedFunc reserved_1;
  PF_ReservedFunc reserved_2;
  double (*ceil)(double);  // entry 3
  double (*cos)(double);   // entry 4
  PF_ReservedFunc reserved_5;
  PF_ReservedFunc reserved_6;
  double (*floor)(double);         // entry 7
  double (*fmod)(double, double);  // entry 8
  PF_ReservedFunc reserved_9;
  PF_ReservedFunc reserved_10;
  PF_ReservedFunc reserved_11;
  PF_ReservedFunc reserved_12;
  double (*sin)(double);  // entry 13
  PF_ReservedFunc reserved_14;
  double (*tan)(double);                                      // entry 15
  int32_t (*sprintf)(char* buffer, const char* format, ...);  // entry 16
  char* (*strcpy)(char* destination, const char* source);     // entry 17
} PF_ANSICallbacks;

typedef PF_ANSICallbacks PF_ANSISuite1;

/// `in_data`'s `utils`.
typedef struct PF_UtilCallbacks {
  PF_ReservedFunc reserved_1;
  PF_ReservedFunc reserved_2;
  PF_ReservedFunc reserved_3;
  PF_ReservedFunc reserved_4;
  PF_ReservedFunc reserved_5;
  PF_ReservedFunc reserved_6;
  PF_ReservedFunc reserved_7;
  PF_ReservedFunc reserved_8;
  /// Entry 9: copies `src` into `dst`; null rectangles mean the whole world.
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

/// `in_data`'s interaction callbacks.
typedef struct PF_InteractCallbacks {
  /// Entry 1: fills `param` with the parameter's value at the given time.
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, int32_t what_time,
                           int32_t time_step, uint32_t time_scale, PF_ParamDef* param);
  PF_ReservedFunc reserved_2;
  /// Entry 3: declares a parameter; index -1 appends it after the last one.
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def);
  PF_ReservedFunc reserved_4;
  /// Entry 5: `count` of `total` done.
  PF_Err (*progress)(PF_ProgPtr effect_ref, int32_t count, int32_t total);
} PF_InteractCallbacks;

// --- Suites -----------------------------------------------------------------

/// The basic suite (`pica_basicP`): every other suite by name and version.
typedef struct SPBasicSuite {
  int32_t (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  int32_t (*ReleaseSuite)(const char* name, int32_t version);
} SPBasicSuite;

/// "PF Handle Suite" version 1.
typedef struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(uint64_t size);  ///< null when none can be made
  void* (*host_lock_handle)(PF_Handle handle);  ///< null when it cannot be locked
  void (*host_unlock_handle)(PF_Handle handle);
  void (*host_dispose_handle)(PF_Handle handle);
} PF_HandleSuite1;

/// "AEGP Utility Suite" version 7.
typedef struct AEGP_UtilitySuite7 {
  PF_ReservedFunc reserved_1;
  PF_ReservedFunc reserved_2;
  PF_ReservedFunc reserved_3;
  PF_ReservedFunc reserved_4;
  PF_ReservedFunc reserved_5;
  PF_ReservedFunc reserved_6;
  PF_ReservedFunc reserved_7;
  PF_Err (*AEGP_RegisterWithAEGP)(void* global_refcon, const char* plugin_name,
                                  int32_t* plugin_id);  // entry 8
} AEGP_UtilitySuite7;

/// "PF World Suite" version 2.
typedef struct PF_WorldSuite2 {
  PF_ReservedFunc reserved_1;
  PF_ReservedFunc reserved_2;
  PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* world, PF_PixelFormat* format);  // entry 3
} PF_WorldSuite2;

/// "PF Sampling8 Suite" version 1.
typedef struct PF_Sampling8Suite1 {
  PF_Err (*nn_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                      PF_Pixel8* dst_pixel);
} PF_Sampling8Suite1;

/// "PF Sampling16 Suite" version 1.
typedef struct PF_Sampling16Suite1 {
  PF_Err (*nn_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                        PF_Pixel16* dst_pixel);
} PF_Sampling16Suite1;

/// "PF SamplingFloat Suite" version 1.
typedef struct PF_SamplingFloatSuite1 {
  PF_Err (*nn_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                            PF_PixelFloat* dst_pixel);
} PF_SamplingFloatSuite1;

// --- The main records -------------------------------------------------------

typedef struct PF_InData {
  PF_InteractCallbacks inter;
  PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  int32_t current_time;
  int32_t time_step;
  uint32_t time_scale;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_Handle global_data;
  PF_Handle sequence_data;
  const SPBasicSuite* pica_basicP;
} PF_InData;

enum { PF_MAX_RETURN_MSG_LEN = 256 };  ///< terminator included

typedef struct PF_OutData {
  uint32_t my_version;
  int32_t out_flags;
  int32_t out_flags2;
  int32_t num_params;
  PF_Handle global_data;
  PF_Handle sequence_data;
  char return_msg[PF_MAX_RETURN_MSG_LEN];
} PF_OutData;

// --- Smart pre-render -------------------------------------------------------

typedef struct PF_RenderRequest {
  PF_Rect rect;
  int32_t field;
  int32_t channel_mask;
  uint8_t preserve_rgb_of_zero_alpha;
  uint8_t unused[3];
  int32_t reserved[4];
} PF_RenderRequest;

typedef struct PF_CheckoutResult {
  PF_Rect result_rect;
  PF_Rect max_result_rect;
  int32_t reserved[8];
} PF_CheckoutResult;

/// Called by the host once it is done with a frame: after the smart render
/// that used `pre_render_data`, or instead of it when none follows. It gets
/// that frame's `in_data`, since releasing host memory needs the host's
/// suites and the plug-in keeps nothing between calls.
typedef PF_Err (*PF_DeletePreRenderDataFunc)(const PF_InData* in_data, void* pre_render_data);

typedef struct PF_PreRenderInput {
  PF_RenderRequest output_request;
  int32_t reserved[4];
} PF_PreRenderInput;

typedef struct PF_PreRenderOutput {
  PF_Rect result_rect;
  PF_Rect max_result_rect;
  void* pre_render_data;  ///< the plug-in's; handed back at smart render
  PF_DeletePreRenderDataFunc delete_pre_render_data_func;
  int32_t reserved[4];
} PF_PreRenderOutput;

typedef struct PF_PreRenderCallbacks {
  /// Entry 1: asks for a layer over `req` at the given time.
  PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, int32_t checkout_id,
                           const PF_RenderRequest* req, int32_t what_time, int32_t time_step,
                           uint32_t time_scale, PF_CheckoutResult* checkout_result);
} PF_PreRenderCallbacks;

/// The extra record of `PF_Cmd_SMART_PRE_RENDER`.
typedef struct PF_PreRenderExtra {
  PF_PreRenderInput* input;
  PF_PreRenderOutput* output;
  PF_PreRenderCallbacks* cb;
} PF_PreRenderExtra;

// --- Smart render -----------------------------------------------------------

typedef struct PF_SmartRenderInput {
  void* pre_render_data;  ///< what pre-render stored for this frame
  int32_t reserved[4];
} PF_SmartRenderInput;

typedef struct PF_SmartRenderCallbacks {
  /// Entry 1: the pixels of the layer checked out at pre-render under `checkout_id`.
  PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, int32_t checkout_id,
                                  PF_EffectWorld** pixels);
  PF_ReservedFunc reserved_2;
  /// Entry 3: the world to render into.
  PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
} PF_SmartRenderCallbacks;

/// The extra record of `PF_Cmd_SMART_RENDER`.
typedef struct PF_SmartRenderExtra {
  PF_SmartRenderInput* input;
  PF_SmartRenderCallbacks* cb;
} PF_SmartRenderExtra;

// --- The entry point --------------------------------------------------------

typedef PF_EffectWorld PF_LayerDef;

typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

/// The module's only export.
PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* output, void* extra);

#ifdef __cplusplus
}  // extern "C"
#endif
