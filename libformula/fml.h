// libformula: the formula virtual machine of the terminal.
//
// A program reaches the VM through plain C calls and integer handles: one VM per chart, one
// context per formula instance. A context receives its program as a stream of postfix tokens
// and evaluates it column-wise over the bars: every function runs once over the whole series,
// while chains of operators run together block by block (FUNCTIONS.md, "Evaluation").
// The function library and the rules for missing values are described in FUNCTIONS.md next to
// this header.
#ifndef VQ_LIBFORMULA_FML_H
#define VQ_LIBFORMULA_FML_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The missing value. Every bar and output array uses it for "no value"; every computation skips
// it, and a formula's DRAWNULL yields it. It compares equal to itself, so readers test it with ==.
extern const float FMLInvalidValue;

// Handle of one argument (a static argument, a variable read back after a run, a value passed to
// a native function or filled by the miss callback). Valid while its context lives.
typedef intptr_t fml_arg;

// Token codes of a program (see fml_ctx_op_code_push).
enum {
    FML_TOKEN_NAME = 0,      // a = statement name (UTF-8, "" for an unnamed statement)
    FML_TOKEN_IDENT = 1,     // a = identifier: data name, variable or parameter
    FML_TOKEN_NUMBER = 2,    // a = the 32 bits of a float
    FML_TOKEN_STRING = 3,    // a = string literal (UTF-8)
    FML_TOKEN_END = 4,       // end of statement
    FML_TOKEN_CALL = 5,      // a = function or operator name
    FML_TOKEN_ATTRIBUTE = 6  // a = draw kind, b = output name, style = drawing attributes
};

// Draw kinds of drawing statements and of the operations read back after a run.
enum {
    FML_DRAW_CURVE = 0,       // displayed curve; read back as an FML_DRAW_LINE operation
    FML_DRAW_LINE = 1,        // LINE(cond1, price1, cond2, price2, extend), and every curve
    FML_DRAW_STICK = 2,       // STICK(cond, price1, price2, width factor, hollow)
    FML_DRAW_NUMBER = 3,      // NUMBER(cond, price, number)
    FML_DRAW_STRING = 5,      // STRING(cond, price, text)
    FML_DRAW_BAND = 6,        // BAND(series1, colour1, series2, colour2)
    FML_DRAW_ICON = 7,        // ICON(cond, price, icon number)
    FML_DRAW_FIX_NUMBER = 8,  // FIX_NUMBER(value)
    FML_DRAW_FIX_STRING = 9,  // FIX_STRING(cond, x, y, alignment, text)
    FML_DRAW_RECT = 10,       // RECT(cond, width in bars, price1, price2)
    FML_DRAW_K_LINE = 11      // K_LINE(high, open, low, close)
};

// Drawing attributes of a statement. The colour may come in three packings: a literal
// 0x00BBGGRR, a palette colour B<<24|G<<16|R<<8|0xFF, or a Qt QRgb 0xAARRGGBB with alpha 0xFF;
// the VM normalises all of them to 0xBBGGRR in the records below (0 stays "automatic").
typedef struct Style {
    uint32_t color;
    float width;
    int32_t style;
} Style;

// One program token. Text words point to NUL-terminated UTF-8 that the VM copies.
typedef struct fml_token {
    uintptr_t a;
    uintptr_t b;
    const Style* style;
} fml_token;

// Native function arguments: the result handle, then one handle per argument.
#define FML_MAX_NATIVE_ARGS 8
typedef struct fml_call {
    fml_arg result;
    fml_arg argument[FML_MAX_NATIVE_ARGS];
} fml_call;

typedef int (*fml_native_fn)(void* user, fml_call* call);
// Asked for every identifier a program uses that is neither a variable nor a static argument;
// returns 1 when it filled the result handle.
typedef int (*fml_miss_fn)(void* user, int ctx, fml_arg result, const char* name);

// ---- VM ----
int fml_vm_create(void);
void fml_vm_release(int vm);
// Registers a native function callable from formulas; arity is its number of arguments.
int fml_vm_reg_fn(int vm, void* user, const char* name, fml_native_fn fn, int arity);
// Attaches an extension library into slot 1 (RURAZU1) or 3 (VADAZI3). The names the charts pass,
// "formula-plugin.dll" and "cl.dll", select the analysis modules built into this library; any
// other name is opened as a shared object exporting fml_extension_entry (see fml_extension.h).
int fml_vm_load_tdx_dll(int vm, const char* file, int slot);
// Runs a context's program over the bars; 0 = failure (fml_ctx_last_error tells why).
int fml_vm_run(int vm, int ctx);

// ---- contexts ----
int fml_ctx_create(int vm);
void fml_ctx_release(int ctx);
int fml_ctx_op_code_push(int ctx, int code, const fml_token* token);
void fml_ctx_clean(int ctx);
void fml_ctx_data_length(int ctx, int bars);
void fml_ctx_miss_callback(int ctx, void* user, fml_miss_fn fn);
// Text of the last failure of a context (push, link or run), "" when none.
const char* fml_ctx_last_error(int ctx);

// ---- arguments ----
fml_arg fml_get_static_argument(int ctx, const char* name);
// Handle of a formula variable after a run (scalars are spread over every bar); 0 if unknown.
fml_arg fml_get_argument(int ctx, const char* name);
void fml_argument_literal(fml_arg h, int literal);
float* fml_argument_data(fml_arg h, int n);
// A pointer to the argument's values; floats lent by the host are copied first, so writes through
// it never reach the host's memory.
float* fml_argument_data_number(fml_arg h);
// Hands the VM `n` floats to read where they lie instead of copying them into a buffer: the host
// keeps them alive and unchanged until the context is cleaned, run again or released (the results
// of a run may point into them). Returns 0 for a null handle or data.
int fml_argument_lend(fml_arg h, const float* data, int n);
void fml_argument_string(fml_arg h, const char* chars, int length);
// Helpers beyond the charts' needs: element count and string value of an argument.
int fml_argument_length(fml_arg h);
const char* fml_argument_text(fml_arg h);

// ---- results ----
// Records of the drawing operations. Arrays hold `count` floats, one per bar; pointers stay
// valid until the context is cleaned, run again or released. Colours are 0xBBGGRR, 0 = automatic.
typedef struct fml_op_line {  // kind 1
    const char* name;
    const float* values;
    int32_t count;
    uint32_t color;
    float width;
    int32_t style;
} fml_op_line;

typedef struct fml_op_stick {  // kind 2; bars whose condition is 0 or missing draw nothing
    const float* condition;
    const float* price1;
    const float* price2;
    int32_t count;
    float width_factor;
    int32_t hollow;
    uint32_t color;
    float width;
    int32_t style;
} fml_op_stick;

typedef struct fml_op_number {  // kind 3; price is missing where the condition is false
    const float* price;
    const float* number;
    int32_t count;
    uint32_t color;
} fml_op_number;

typedef struct fml_op_string {  // kind 5; price is missing where the condition is false
    const float* price;
    const char* text;
    int32_t count;
    uint32_t color;
} fml_op_string;

typedef struct fml_op_band {  // kind 6
    const float* series1;
    const float* series2;
    int32_t count;
    uint32_t color1;
    uint32_t color2;
} fml_op_band;

typedef struct fml_op_icon {  // kind 7; price is missing where the condition is false
    const float* price;
    int32_t count;
    int32_t icon;
    uint32_t color;
} fml_op_icon;

typedef struct fml_op_fix_number {  // kind 8
    float value;
    uint32_t color;
    float width;
    int32_t style;
} fml_op_fix_number;

typedef struct fml_op_fix_string {  // kind 9
    int32_t visible;                // the condition on the last bar
    float x;                        // fraction of the plot width
    float y;                        // fraction of the plot height
    int32_t align;
    const char* text;
    uint32_t color;
} fml_op_fix_string;

typedef struct fml_op_rect {  // kind 10
    const float* condition;
    const float* bars;
    const float* price1;
    const float* price2;
    int32_t count;
    uint32_t color;
    float width;
    int32_t style;
} fml_op_rect;

typedef struct fml_op_k_line {  // kind 11
    const float* high;
    const float* open;
    const float* low;
    const float* close;
    int32_t count;
    uint32_t color;
    float width;
    int32_t style;
} fml_op_k_line;

// Number of drawing operations of the last run whose kind equals `kind` (-1 = all kinds).
int fml_ctx_op_count(int ctx, int kind);
// Kind and handle of the j-th drawing operation (in statement order); 0 when j is out of range.
int fml_ctx_op_seq_get(int ctx, int j, int* kind, int* op);
int fml_ctx_op_line(int ctx, fml_op_line* record, int op);
int fml_ctx_op_stick(int ctx, fml_op_stick* record, int op);
int fml_ctx_op_number(int ctx, fml_op_number* record, int op);
int fml_ctx_op_string(int ctx, fml_op_string* record, int op);
int fml_ctx_op_band(int ctx, fml_op_band* record, int op);
int fml_ctx_op_icon(int ctx, fml_op_icon* record, int op);
int fml_ctx_op_fix_number(int ctx, fml_op_fix_number* record, int op);
int fml_ctx_op_fix_string(int ctx, fml_op_fix_string* record, int op);
int fml_ctx_op_rect(int ctx, fml_op_rect* record, int op);
int fml_ctx_op_k_line(int ctx, fml_op_k_line* record, int op);

// Highest and lowest valid value of every output over bars first .. first+count-1. Returns 1
// when a value was found; otherwise 0 and both are set to FMLInvalidValue.
int fml_ctx_output_maxmin(int ctx, int first, int count, float* max, float* min);

// Values of the named outputs at one bar.
//  mode FML_SELECTED_RECORDS: dest is an array of at least 10 fml_selected records; returns
//    the number written (at most 10).
//  mode FML_SELECTED_TEXT: dest is an fml_text buffer that receives "NAME:value NAME:value"
//    (UTF-8, NUL-terminated, cut to fit); returns the text length.
enum { FML_SELECTED_TEXT = 5, FML_SELECTED_RECORDS = 10 };
typedef struct fml_selected {
    const char* name;
    float value;
    uint32_t color;
} fml_selected;
typedef struct fml_text {
    char* data;
    int32_t capacity;
} fml_text;
int fml_ctx_output_selected_value(int ctx, int bar, void* dest, int mode);

// ---- library description (used by the formula compiler for its diagnostics) ----
// Arity of a built-in function or operator (case-insensitive), -1 when there is none.
int fml_function_arity(const char* name);
// Number of operands a drawing statement of that kind takes, -1 for an unknown kind.
int fml_draw_arity(int kind);

#ifdef __cplusplus
}
#endif

#endif
