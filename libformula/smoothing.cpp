// Recursive averages: EMA, SMA and DMA.
#include "libformula/library.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>

namespace fml {
namespace {

// Recursive averages. A missing input leaves the state as it was and gives a missing value.
template <class Step>
void recursive(Eval& e, const float* x, float* o, Step step) {
    bool have = false;
    double y = 0;
    for (int i = 0; i < e.n; ++i) {
        float v = x[i];
        if (missing(v)) {
            o[i] = kInv;
            continue;
        }
        if (!step(i, v, have, y)) {
            o[i] = kInv;
            continue;
        }
        o[i] = float(y);
    }
}

// Whether one of four values is missing, compared as bits in one go.
inline bool anyMissingOf4(const float* x) {
    uint32_t bits[4];
    std::memcpy(bits, x, sizeof bits);
    uint32_t bad = 0;
    for (int k = 0; k < 4; ++k) {
        bad |= bits[k] == kInvalidBits ? 1u : 0u;
    }
    return bad != 0;
}

double smoothFrom(const float* x, float* o, int n, double w, int i, double y);

// Y = w*X + (1-w)*Y', starting from the first valid X; w < 0 means "no result".
void smoothConstant(Eval& e, const float* x, float* o, double w) {
    double y = 0;
    bool started = false;
    smoothSpan(x, o, e.n, w, y, started);
}

// The bars from i on, from the state y before them; returns the state after them.
double smoothFrom(const float* x, float* o, int n, double w, int i, double y) {
    const double keep = 1.0 - w;
    // Four bars at a time, each written from the state before the block, so that only one
    // multiply-add per block sits on the loop-carried chain.
    const double k2 = keep * keep, k3 = k2 * keep, k4 = k3 * keep;
    const double power[4] = {keep, k2, k3, k4};
#if defined(__SSE2__)
    // The same arithmetic in vector lanes where the lanes are independent: the products w*X,
    // the four results from the state and their conversion to float. Lane by lane the operations
    // are the scalar ones, so the values are bit for bit those of the loop below.
    const __m128d W = _mm_set1_pd(w), low = _mm_set_pd(k2, keep), high = _mm_set_pd(k4, k3);
    const __m128i invalid = _mm_set1_epi32(int(kInvalidBits));
    for (; i + 4 <= n; i += 4) {
        __m128 v = _mm_loadu_ps(x + i);
        if (_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(v), invalid)))) {
            break;
        }
        __m128d a01 = _mm_mul_pd(W, _mm_cvtps_pd(v));
        __m128d a23 = _mm_mul_pd(W, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
        double a0 = _mm_cvtsd_f64(a01), a1 = _mm_cvtsd_f64(_mm_unpackhi_pd(a01, a01));
        double a2 = _mm_cvtsd_f64(a23), a3 = _mm_cvtsd_f64(_mm_unpackhi_pd(a23, a23));
        double p1 = a1 + keep * a0, p2 = a2 + keep * p1, p3 = a3 + keep * p2;
        __m128d state = _mm_set1_pd(y);
        __m128d o01 = _mm_add_pd(_mm_set_pd(p1, a0), _mm_mul_pd(low, state));
        __m128d o23 = _mm_add_pd(_mm_set_pd(p3, p2), _mm_mul_pd(high, state));
        _mm_storeu_ps(o + i, _mm_movelh_ps(_mm_cvtpd_ps(o01), _mm_cvtpd_ps(o23)));
        y = p3 + k4 * y;
    }
#endif
    while (i < n) {
        if (i + 4 <= n && !anyMissingOf4(x + i)) {
            double a[4], p[4];
            for (int k = 0; k < 4; ++k) {
                a[k] = w * x[i + k];
            }
            p[0] = a[0];
            p[1] = a[1] + keep * p[0];
            p[2] = a[2] + keep * p[1];
            p[3] = a[3] + keep * p[2];
            for (int k = 0; k < 4; ++k) {
                o[i + k] = float(p[k] + power[k] * y);
            }
            y = p[3] + k4 * y;
            i += 4;
            continue;
        }
        float v = x[i];
        if (missing(v)) {
            o[i] = kInv;
        } else {
            y = w * v + keep * y;
            o[i] = float(y);
        }
        ++i;
    }
    return y;
}

bool fnEma(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "EMA")) {
        return false;
    }
    const float* x = e.series(a[0]);
    Period per = period(a[1], e.n);
    float* o = e.alloc();
    if (per.constant) {
        // Y = a*X + (1-a)*Y' with a = 2/(N+1): the same recurrence without a division per bar.
        double w = -1;
        smoothingWeight(fnEma, a, 2, &w);
        smoothConstant(e, x, o, w);
        out = Value::series(o);
        return true;
    }
    recursive(e, x, o, [&](int i, float v, bool& have, double& y) {
        int N = per.at(i);
        if (N <= 0) {
            return false;
        }
        if (!have) {
            y = v;
            have = true;
        } else {
            y = (2.0 * v + (N - 1) * y) / (N + 1);
        }
        return true;
    });
    out = Value::series(o);
    return true;
}

// SMA(X,N,M): Y = (M*X + (N-M)*Y') / N.
bool fnSma(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 3, "SMA")) {
        return false;
    }
    const float* x = e.series(a[0]);
    Period per = period(a[1], e.n);
    float* o = e.alloc();
    if (per.constant && a[2].type == Value::Scalar) {
        double w = -1;
        smoothingWeight(fnSma, a, 3, &w);
        smoothConstant(e, x, o, w);
        out = Value::series(o);
        return true;
    }
    const float* m = e.series(a[2]);
    recursive(e, x, o, [&](int i, float v, bool& have, double& y) {
        int N = per.at(i);
        float M = m[i];
        if (N <= 0 || missing(M)) {
            return false;
        }
        if (!have) {
            y = v;
            have = true;
        } else {
            y = (M * double(v) + (N - M) * y) / N;
        }
        return true;
    });
    out = Value::series(o);
    return true;
}

// DMA(X,A): Y = A*X + (1-A)*Y', A limited to 0..1.
bool fnDma(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "DMA")) {
        return false;
    }
    const float* x = e.series(a[0]);
    const float* w = e.series(a[1]);
    float* o = e.alloc();
    recursive(e, x, o, [&](int i, float v, bool& have, double& y) {
        float A = w[i];
        if (missing(A) || !std::isfinite(A)) {
            return have;
        }
        double k = std::min(1.0, std::max(0.0, double(A)));
        if (!have) {
            y = v;
            have = true;
        } else {
            y = k * v + (1 - k) * y;
        }
        return true;
    });
    out = Value::series(o);
    return true;
}
const FunctionInfo kTable[] = {
    {"EMA", 2, fnEma},
    {"SMA", 3, fnSma},
    {"DMA", 2, fnDma},
};

}  // namespace

const FunctionInfo* smoothingFunctions(size_t* count) {
    *count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

bool smoothingWeight(LibFn fn, const Value* a, int argc, double* weight) {
    if (fn == fnEma && argc == 2 && a[1].type == Value::Scalar) {
        const Period per = period(a[1], 0);
        *weight = per.k <= 0 ? -1.0 : 2.0 / (per.k + 1);
        return true;
    }
    if (fn == fnSma && argc == 3 && a[1].type == Value::Scalar && a[2].type == Value::Scalar) {
        const Period per = period(a[1], 0);
        const float M = a[2].s;
        *weight = per.k <= 0 || missing(M) ? -1.0 : double(M) / per.k;
        return true;
    }
    return false;
}

void smoothSpan(const float* x, float* o, int len, double w, double& y, bool& started) {
    if (w < 0) {
        std::fill(o, o + len, kInv);
        return;
    }
    int i = 0;
    if (!started) {
        for (; i < len && missing(x[i]); ++i) {
            o[i] = kInv;
        }
        if (i == len) {
            return;
        }
        y = x[i];
        o[i++] = float(y);
        started = true;
    }
    // A plain series and a weight that keeps the recurrence contracting: eight bars at a time.
    if (w > 0 && w <= 1) {
        i += smoothInLanes(x + i, o + i, len - i, w, &y, finiteAndPresent(x + i, len - i));
    }
    y = smoothFrom(x, o, len, w, i, y);
}

void smoothTwoSpans(const float* x, float* o1, float* o2, int len, const double* w, double* y,
                    bool* started) {
    if (!started[0] || !started[1] || !(w[0] > 0 && w[0] <= 1) || !(w[1] > 0 && w[1] <= 1)) {
        smoothSpan(x, o1, len, w[0], y[0], started[0]);
        smoothSpan(x, o2, len, w[1], y[1], started[1]);
        return;
    }
    int i = smoothTwoInLanes(x, o1, o2, len, w[0], w[1], &y[0], &y[1], finiteAndPresent(x, len));
    y[0] = smoothFrom(x, o1, len, w[0], i, y[0]);
    y[1] = smoothFrom(x, o2, len, w[1], i, y[1]);
}

}  // namespace fml
