// Interface of a formula extension library (the modules behind RURAZU1 and VADAZI3).
//
// A formula calls EXT(selector, a, b, c); the VM spreads scalar arguments over every bar and hands
// the module the three series. Each context keeps one state object per slot, so that a selector
// that prepares an analysis (for example RURAZU1(8, H, L, 0)) can be read by later selectors of
// the same run.
#ifndef VQ_LIBFORMULA_FML_EXTENSION_H
#define VQ_LIBFORMULA_FML_EXTENSION_H

#ifdef __cplusplus
extern "C" {
#endif

#define FML_EXTENSION_VERSION 1

typedef struct fml_extension {
    int version;  // FML_EXTENSION_VERSION
    const char* name;
    void* (*create)(void);
    void (*destroy)(void* state);
    // Computes `selector` over n bars into out (n floats). Returns 1 on success, 0 for an unknown
    // selector or unusable arguments (the run then fails).
    int (*call)(void* state, int selector, int n, const float* a, const float* b, const float* c,
                float* out);
} fml_extension;

// Entry point a shared-object extension exports.
typedef const fml_extension* (*fml_extension_entry_fn)(void);

// The modules built into libformula ("formula-plugin.dll" and "cl.dll").
const fml_extension* fml_swing_extension(void);
const fml_extension* fml_stroke_extension(void);

#ifdef __cplusplus
}
#endif

#endif
