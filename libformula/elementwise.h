// The per-bar operations of the formula VM: operators and element-wise functions, each written
// once as a small function object, its tests joined with & and | rather than && and || so that
// the loops over it vectorise. The column functions and the fused evaluation of operator
// chains both apply the same object, so a fused chain gives bar for bar the value the separate
// column passes gave.
#ifndef VQ_LIBFORMULA_ELEMENTWISE_H
#define VQ_LIBFORMULA_ELEMENTWISE_H

#include "libformula/vm_internal.h"

#include <algorithm>
#include <cmath>

namespace fml {
namespace per_bar {

struct Add {
    float operator()(float x, float y) const {
        return (missing(x) | missing(y)) ? kInvalid : x + y;
    }
};
struct Sub {
    float operator()(float x, float y) const {
        return (missing(x) | missing(y)) ? kInvalid : x - y;
    }
};
struct Mul {
    float operator()(float x, float y) const {
        return (missing(x) | missing(y)) ? kInvalid : x * y;
    }
};
struct Div {
    float operator()(float x, float y) const {
        float q = x / (y == 0.0f ? 1.0f : y);
        return (missing(x) | missing(y) | (y == 0.0f)) ? kInvalid : q;
    }
};
struct Neg {
    float operator()(float x) const { return missing(x) ? kInvalid : -x; }
};
// = and <> treat a missing value as a value of its own.
struct Eq {
    float operator()(float x, float y) const { return x == y ? 1.0f : 0.0f; }
};
struct Ne {
    float operator()(float x, float y) const { return x != y ? 1.0f : 0.0f; }
};
// Ordering comparisons with a missing operand are false.
struct Lt {
    float operator()(float x, float y) const {
        return !missing(x) & !missing(y) & (x < y) ? 1.0f : 0.0f;
    }
};
struct Gt {
    float operator()(float x, float y) const {
        return !missing(x) & !missing(y) & (x > y) ? 1.0f : 0.0f;
    }
};
struct Le {
    float operator()(float x, float y) const {
        return !missing(x) & !missing(y) & (x <= y) ? 1.0f : 0.0f;
    }
};
struct Ge {
    float operator()(float x, float y) const {
        return !missing(x) & !missing(y) & (x >= y) ? 1.0f : 0.0f;
    }
};
struct And {
    float operator()(float x, float y) const { return truth(x) & truth(y) ? 1.0f : 0.0f; }
};
struct Or {
    float operator()(float x, float y) const { return truth(x) | truth(y) ? 1.0f : 0.0f; }
};
struct Not {
    float operator()(float x) const { return truth(x) ? 0.0f : 1.0f; }
};
struct If {
    float operator()(float c, float x, float y) const { return truth(c) ? x : y; }
};
struct Max {
    float operator()(float x, float y) const {
        return (missing(x) | missing(y)) ? kInvalid : std::max(x, y);
    }
};
struct Min {
    float operator()(float x, float y) const {
        return (missing(x) | missing(y)) ? kInvalid : std::min(x, y);
    }
};
struct Abs {
    float operator()(float x) const { return missing(x) ? kInvalid : std::fabs(x); }
};
struct Intpart {
    float operator()(float x) const { return missing(x) ? kInvalid : std::trunc(x); }
};
struct Sqrt {
    float operator()(float x) const { return missing(x) | (x < 0) ? kInvalid : std::sqrt(x); }
};
struct Mod {
    float operator()(float x, float y) const {
        return missing(x) | missing(y) | (y == 0.0f) ? kInvalid : std::fmod(x, y);
    }
};
// RANGE(A,B,C): B < A < C.
struct Range {
    float operator()(float x, float lo, float hi) const {
        return !missing(x) & !missing(lo) & !missing(hi) & (lo < x) & (x < hi) ? 1.0f : 0.0f;
    }
};
// BETWEEN(A,B,C): A lies between B and C (either order), bounds included.
struct Between {
    float operator()(float x, float b, float c) const {
        if (missing(x) | missing(b) | missing(c)) {
            return 0.0f;
        }
        return ((b <= x) & (x <= c)) | ((c <= x) & (x <= b)) ? 1.0f : 0.0f;
    }
};
struct Rgb {
    float operator()(float r, float g, float b) const {
        if (missing(r) || missing(g) || missing(b)) {
            return kInvalid;
        }
        auto byte = [](float v) { return uint32_t(std::min(255.0f, std::max(0.0f, v))); };
        return float(byte(r) | byte(g) << 8 | byte(b) << 16);
    }
};

// The operation over `len` bars of its operand arrays; with 256-bit lanes where the processor has
// them (the same operations lane by lane, so the same values).
template <class F>
VQ_LANES void kernel1(float* __restrict o, const float* const* in, int len) {
    const float* __restrict x = in[0];
    F f;
    for (int i = 0; i < len; ++i) {
        o[i] = f(x[i]);
    }
}
template <class F>
VQ_LANES void kernel2(float* __restrict o, const float* const* in, int len) {
    const float* __restrict x = in[0];
    const float* __restrict y = in[1];
    F f;
    for (int i = 0; i < len; ++i) {
        o[i] = f(x[i], y[i]);
    }
}
template <class F>
VQ_LANES void kernel3(float* __restrict o, const float* const* in, int len) {
    const float* __restrict x = in[0];
    const float* __restrict y = in[1];
    const float* __restrict z = in[2];
    F f;
    for (int i = 0; i < len; ++i) {
        o[i] = f(x[i], y[i], z[i]);
    }
}

}  // namespace per_bar
}  // namespace fml

#endif
