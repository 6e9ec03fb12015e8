// Tables of the built-in formulas (standard indicators, base series and strategy formulas).
#ifndef VQ_FORMULA_BUILTINS_H
#define VQ_FORMULA_BUILTINS_H

#include "formula/compiler.h"

#include <array>
#include <cstddef>

namespace formula {

struct BuiltinParam {
    const char* name = nullptr;
    float value = 0, min = 0, max = 0;
};
// A static argument a builder sets after pushing the program (not a user parameter).
struct BuiltinStatic {
    const char* name = nullptr;
    float value = 0;
};

struct BuiltinFormula {
    int kind;
    const char* code;
    const char* name;
    const char* hint;
    BuiltinParam params[10];
    const char* program;
    BuiltinStatic statics[4] = {};
};

size_t builtinCount();
const BuiltinFormula& builtin(size_t index);
// The compiled program of a built-in; false when its text does not compile.
bool builtinProgram(size_t index, Program* out);

}  // namespace formula

#endif
