// Pieces the files of the function library share: reading a number or a period out of an
// argument, and the test for missing values.
#ifndef VQ_LIBFORMULA_LIBRARY_H
#define VQ_LIBFORMULA_LIBRARY_H

#include "libformula/vm_internal.h"

#include <cmath>

namespace fml {

constexpr float kInv = kInvalid;

// The last bar's value of a number or a series; missing for a text.
inline float last(const Value& v, int n) {
    if (v.type == Value::Scalar) {
        return v.s;
    }
    if (v.type == Value::Series && n > 0) {
        return v.p[n - 1];
    }
    return kInv;
}
// A period argument: a number or a series of numbers, truncated to integers; missing gives -1.
struct Period {
    bool constant = true;
    int k = 0;
    const float* p = nullptr;
    int at(int i) const {
        if (constant) {
            return k;
        }
        float v = p[i];
        if (missing(v) || !std::isfinite(v)) {
            return -1;
        }
        if (v > 1e9f) {
            return 1000000000;
        }
        return v < 0 ? -1 : int(v);
    }
};

inline Period period(const Value& v, int n) {
    Period r;
    if (v.type == Value::Series) {
        r.constant = false;
        r.p = v.p;
        return r;
    }
    float s = v.s;
    r.k = missing(s) || !std::isfinite(s) || s < 0 ? -1 : (s > 1e9f ? 1000000000 : int(s));
    return r;
}

inline bool anyMissing(const float* x, int n) {
    int bad = 0;
    for (int i = 0; i < n; ++i) {
        bad |= missing(x[i]) ? 1 : 0;
    }
    return bad != 0;
}

// Vector-lane forms of the hot recurrences (lanes.cpp), for series that finiteAndPresent accepts:
// no missing, infinite or not-a-number values.
bool finiteAndPresent(const float* x, int n);
// Y = w*X + (1-w)*Y' for whole blocks of eight bars from the state *y (0 < w <= 1), up to the
// first block holding a value finiteAndPresent would refuse (with `clean`, the caller has found
// none: every whole block is done, untested); returns the bars done and leaves the state after
// them in *y.
int smoothInLanes(const float* x, float* o, int n, double w, double* y, bool clean = false);
// Two such smoothings of one series, with weights w1 and w2, in one pass.
int smoothTwoInLanes(const float* x, float* o1, float* o2, int n, double w1, double w2,
                     double* state1, double* state2, bool clean = false);
// MA(X,N) for bars N .. n-1 in whole blocks of eight, from *sum, the sum of the N bars before bar
// N; returns the first bar not done and leaves the window sum before it in *sum.
int meanInLanes(const float* x, float* o, int n, int N, double inv, double* sum);
// Running sums of a series in double: sums[0] = 0, sums[i+1] = x[0] + ... + x[i].
void prefixInLanes(const float* x, int n, double* sums);
// MA(X,N) for bars N-1 .. n-1 as differences of those running sums.
void meanOfPrefix(const double* sums, int n, int N, double inv, float* o);
// The sample variance of the last N bars (N >= 2), and MA(X,N) into `mean` unless it is null, for
// bars from .. to-1 (from >= N) in whole blocks of eight, from the window sums of the values and
// of their squares before bar `from`; returns the first bar not done, the sums before it left in
// *sum and *squares.
int deviationInLanes(const float* x, float* mean, float* o, int from, int to, int N, double* sum,
                     double* squares);

// One bit per bar, in 64-bit words from bar 0: set where a or b holds (see truth).
void heldBars(const float* a, const float* b, int n, uint64_t* words);

}  // namespace fml

#endif
