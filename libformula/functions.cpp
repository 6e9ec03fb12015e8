// The function library of the formula VM. Every function works on whole columns: one pass (or a
// few) over all bars per call. Semantics are documented in FUNCTIONS.md.
#include "libformula/vm_internal.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdio>
#include <cstring>

namespace fml {
namespace {

constexpr float kInv = kInvalid;

float last(const Value& v, int n) {
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

Period period(const Value& v, int n) {
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

thread_local std::vector<double> scratchA, scratchB;
thread_local std::vector<int> scratchBad, scratchIdx;

// Prefix sums of the valid values and of the count of missing values.
void prefixes(const float* x, int n, bool squares) {
    scratchA.resize(size_t(n) + 1);
    scratchBad.resize(size_t(n) + 1);
    if (squares) {
        scratchB.resize(size_t(n) + 1);
    }
    scratchA[0] = 0;
    scratchBad[0] = 0;
    if (squares) {
        scratchB[0] = 0;
    }
    for (int i = 0; i < n; ++i) {
        bool bad = missing(x[i]);
        double v = bad ? 0.0 : double(x[i]);
        scratchA[size_t(i) + 1] = scratchA[size_t(i)] + v;
        scratchBad[size_t(i) + 1] = scratchBad[size_t(i)] + (bad ? 1 : 0);
        if (squares) {
            scratchB[size_t(i) + 1] = scratchB[size_t(i)] + v * v;
        }
    }
}

// ---- moving statistics ----
bool anyMissing(const float* x, int n) {
    int bad = 0;
    for (int i = 0; i < n; ++i) {
        bad |= missing(x[i]) ? 1 : 0;
    }
    return bad != 0;
}

// Sums of the last N values of f(x) for bars N-1 .. n-1 of a series without missing values,
// handed to emit(i, sum). Four bars per step on the loop-carried chain.
template <class F, class Emit>
void slidingSums(const float* x, int n, int N, F f, Emit emit) {
    double s = 0;
    int head = std::min(N, n);
    for (int i = 0; i < head; ++i) {
        s += f(x[i]);
    }
    if (head == N && N > 0) {
        emit(N - 1, s);
    }
    int i = N;
    for (; i + 4 <= n; i += 4) {
        double d0 = f(x[i]) - f(x[i - N]);
        double d1 = f(x[i + 1]) - f(x[i + 1 - N]);
        double d2 = f(x[i + 2]) - f(x[i + 2 - N]);
        double d3 = f(x[i + 3]) - f(x[i + 3 - N]);
        double p1 = d0 + d1, p2 = p1 + d2, p3 = p2 + d3;
        emit(i, s + d0);
        emit(i + 1, s + p1);
        emit(i + 2, s + p2);
        s += p3;
        emit(i + 3, s);
    }
    for (; i < n; ++i) {
        s += f(x[i]) - f(x[i - N]);
        emit(i, s);
    }
}

inline double same(float v) {
    return double(v);
}
inline double square(float v) {
    return double(v) * double(v);
}
// MA(X,N) over a series without missing values: slidingSums with the means formed, scaled and
// converted two lanes at a time where SSE2 is there; lane by lane the same operations, so the
// same values.
void movingMean(const float* x, int n, int N, double inv, float* o) {
    auto emit = [&](int i, double sum) { o[i] = float(sum * inv); };
#if defined(__SSE2__)
    if (n >= N + 4) {
        double s = 0;
        for (int i = 0; i < N; ++i) {
            s += double(x[i]);
        }
        emit(N - 1, s);
        const __m128d scale = _mm_set1_pd(inv);
        int i = N;
        for (; i + 4 <= n; i += 4) {
            __m128 in = _mm_loadu_ps(x + i), out = _mm_loadu_ps(x + i - N);
            __m128d d01 = _mm_sub_pd(_mm_cvtps_pd(in), _mm_cvtps_pd(out));
            __m128d d23 = _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(in, in)),
                                     _mm_cvtps_pd(_mm_movehl_ps(out, out)));
            double d0 = _mm_cvtsd_f64(d01), d1 = _mm_cvtsd_f64(_mm_unpackhi_pd(d01, d01));
            double d2 = _mm_cvtsd_f64(d23), d3 = _mm_cvtsd_f64(_mm_unpackhi_pd(d23, d23));
            double p1 = d0 + d1, p2 = p1 + d2, p3 = p2 + d3;
            __m128d s01 = _mm_set_pd(s + p1, s + d0), s23 = _mm_set_pd(s + p3, s + p2);
            _mm_storeu_ps(o + i, _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(s01, scale)),
                                               _mm_cvtpd_ps(_mm_mul_pd(s23, scale))));
            s += p3;
        }
        for (; i < n; ++i) {
            s += same(x[i]) - same(x[i - N]);
            emit(i, s);
        }
        return;
    }
#endif
    slidingSums(x, n, N, same, emit);
}

bool fnMa(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "MA")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    if (per.constant) {
        int N = per.k;
        if (N <= 0) {
            std::fill(o, o + n, kInv);
        } else if (!anyMissing(x, n)) {
            const double inv = 1.0 / N;
            std::fill(o, o + std::min(n, N - 1), kInv);
            movingMean(x, n, N, inv, o);
        } else {
            double sum = 0;
            int bad = 0;
            double inv = 1.0 / N;
            for (int i = 0; i < n; ++i) {
                float v = x[i];
                if (missing(v)) {
                    ++bad;
                } else {
                    sum += v;
                }
                if (i >= N) {
                    float w = x[i - N];
                    if (missing(w)) {
                        --bad;
                    } else {
                        sum -= w;
                    }
                }
                o[i] = i >= N - 1 && bad == 0 ? float(sum * inv) : kInv;
            }
        }
    } else {
        prefixes(x, n, false);
        for (int i = 0; i < n; ++i) {
            int N = per.at(i);
            if (N <= 0 || N > i + 1) {
                o[i] = kInv;
                continue;
            }
            int from = i + 1 - N;
            o[i] = scratchBad[size_t(i) + 1] - scratchBad[size_t(from)] > 0
                       ? kInv
                       : float((scratchA[size_t(i) + 1] - scratchA[size_t(from)]) / N);
        }
    }
    out = Value::series(o);
    return true;
}

// SUM(X,N): the sum of the last N bars (missing until N bars are there); N = 0 sums every valid
// value from the first bar.
bool fnSum(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "SUM")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    if (per.constant && per.k == 0) {
        // The running sum alone, added in the same order as the prefix sums below.
        double sum = 0;
        bool started = false;
        for (int i = 0; i < n; ++i) {
            bool bad = missing(x[i]);
            sum += bad ? 0.0 : double(x[i]);
            started |= !bad;
            o[i] = started ? float(sum) : kInv;
        }
        out = Value::series(o);
        return true;
    }
    prefixes(x, n, false);
    int firstValid = n;
    for (int i = 0; i < n; ++i) {
        if (!missing(x[i])) {
            firstValid = i;
            break;
        }
    }
    for (int i = 0; i < n; ++i) {
        int N = per.at(i);
        if (N < 0) {
            o[i] = kInv;
        } else if (N == 0) {
            o[i] = i < firstValid ? kInv : float(scratchA[size_t(i) + 1]);
        } else if (N > i + 1) {
            o[i] = kInv;
        } else {
            int from = i + 1 - N;
            o[i] = scratchBad[size_t(i) + 1] - scratchBad[size_t(from)] > 0
                       ? kInv
                       : float(scratchA[size_t(i) + 1] - scratchA[size_t(from)]);
        }
    }
    out = Value::series(o);
    return true;
}

// STD(X,N) over a series without missing values and N >= 2, and MA(X,N) beside it when `mean`
// is given: the window sums of the values and of their squares on two blocked chains in one pass.
// The sums are the ones slidingSums forms, so the mean is the one fnMa gives.
template <bool WithMean>
void movingDeviation(const float* x, int n, int N, float* mean, float* o) {
    const double invN = 1.0 / N, invN1 = 1.0 / (N - 1);
    std::fill(o, o + std::min(n, N - 1), kInv);
    if (WithMean) {
        std::fill(mean, mean + std::min(n, N - 1), kInv);
    }
    // The variance first; its floor at 0 and the square roots after, in a loop of their own
    // that vectorises.
    auto emit = [&](int i, double sum, double sq) {
        o[i] = float((sq - sum * sum * invN) * invN1);
        if (WithMean) {
            mean[i] = float(sum * invN);
        }
    };
    double sum = 0, sq = 0;
    for (int i = 0; i < std::min(N, n); ++i) {
        sum += x[i];
        sq += square(x[i]);
    }
    if (n >= N) {
        emit(N - 1, sum, sq);
    }
    // The square roots follow a block of 1024 bars behind, while its variances are in the cache.
    int rooted = N - 1;
    auto roots = [&](int to) {
        for (int k = rooted; k < to; ++k) {
            o[k] = std::sqrt(std::max(0.0f, o[k]));
        }
        rooted = std::max(rooted, to);
    };
    int i = N;
    for (; i + 4 <= n; i += 4) {
        if (((i - N) & 1023) == 0) {
            roots(i);
        }
        double d[4], e2[4];
        for (int k = 0; k < 4; ++k) {
            d[k] = double(x[i + k]) - x[i + k - N];
            e2[k] = square(x[i + k]) - square(x[i + k - N]);
        }
        double p1 = d[0] + d[1], p2 = p1 + d[2], p3 = p2 + d[3];
        double q1 = e2[0] + e2[1], q2 = q1 + e2[2], q3 = q2 + e2[3];
        // The four windows' sums side by side, so that the variances form in vector lanes.
        const double sums[4] = {sum + d[0], sum + p1, sum + p2, sum + p3};
        const double squares[4] = {sq + e2[0], sq + q1, sq + q2, sq + q3};
        for (int k = 0; k < 4; ++k) {
            emit(i + k, sums[k], squares[k]);
        }
        sum = sums[3];
        sq = squares[3];
    }
    for (; i < n; ++i) {
        sum += double(x[i]) - x[i - N];
        sq += square(x[i]) - square(x[i - N]);
        emit(i, sum, sq);
    }
    roots(n);
}

// STD(X,N): sample standard deviation of the last N bars.
bool fnStd(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "STD")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    if (per.constant && per.k >= 2 && !anyMissing(x, n)) {
        movingDeviation<false>(x, n, per.k, nullptr, o);
        out = Value::series(o);
        return true;
    }
    if (per.constant) {
        int N = per.k;
        double s = 0, q = 0;
        int bad = 0;
        const double invN = N > 0 ? 1.0 / N : 0, invN1 = N > 1 ? 1.0 / (N - 1) : 0;
        for (int i = 0; i < n; ++i) {
            float v = x[i];
            if (missing(v)) {
                ++bad;
            } else {
                s += v;
                q += double(v) * v;
            }
            if (N > 0 && i >= N) {
                float w = x[i - N];
                if (missing(w)) {
                    --bad;
                } else {
                    s -= w;
                    q -= double(w) * w;
                }
            }
            if (N < 2 || i + 1 < N || bad > 0) {
                o[i] = kInv;
                continue;
            }
            double var = (q - s * s * invN) * invN1;
            o[i] = float(std::sqrt(std::max(0.0, var)));
        }
        out = Value::series(o);
        return true;
    }
    prefixes(x, n, true);
    for (int i = 0; i < n; ++i) {
        int N = per.at(i);
        if (N < 2 || N > i + 1) {
            o[i] = kInv;
            continue;
        }
        int from = i + 1 - N;
        if (scratchBad[size_t(i) + 1] - scratchBad[size_t(from)] > 0) {
            o[i] = kInv;
            continue;
        }
        double s = scratchA[size_t(i) + 1] - scratchA[size_t(from)];
        double q = scratchB[size_t(i) + 1] - scratchB[size_t(from)];
        double var = (q - s * s / N) / (N - 1);
        o[i] = float(std::sqrt(std::max(0.0, var)));
    }
    out = Value::series(o);
    return true;
}

// AVEDEV(X,N): mean absolute deviation from the mean of the last N bars.
bool fnAvedev(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "AVEDEV")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    prefixes(x, n, false);
    for (int i = 0; i < n; ++i) {
        int N = per.at(i);
        if (N <= 0 || N > i + 1) {
            o[i] = kInv;
            continue;
        }
        int from = i + 1 - N;
        if (scratchBad[size_t(i) + 1] - scratchBad[size_t(from)] > 0) {
            o[i] = kInv;
            continue;
        }
        double mean = (scratchA[size_t(i) + 1] - scratchA[size_t(from)]) / N;
        double dev = 0;
        for (int k = from; k <= i; ++k) {
            dev += std::fabs(double(x[k]) - mean);
        }
        o[i] = float(dev / N);
    }
    out = Value::series(o);
    return true;
}

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

// Y = w*X + (1-w)*Y', starting from the first valid X; w < 0 means "no result".
void smoothConstant(Eval& e, const float* x, float* o, double w) {
    int n = e.n;
    if (w < 0) {
        std::fill(o, o + n, kInv);
        return;
    }
    double keep = 1.0 - w;
    int i = 0;
    for (; i < n && missing(x[i]); ++i) {
        o[i] = kInv;
    }
    if (i == n) {
        return;
    }
    double y = x[i];
    o[i++] = float(y);
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
        smoothConstant(e, x, o, per.k <= 0 ? -1.0 : 2.0 / (per.k + 1));
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
        float M = a[2].s;
        smoothConstant(e, x, o, per.k <= 0 || missing(M) ? -1.0 : double(M) / per.k);
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

thread_local std::vector<float> scratchG, scratchH;

// Extreme over a sliding window of N bars without branches (van Herk / Gil-Werman): per block
// of N bars a running extreme from the block start (g) and one towards the block end (h); the
// window ending at i is then the extreme of h at its first bar and g at i. Missing values take
// the neutral sentinel and never win.
template <bool High>
void extremeWindow(const float* x, int n, int N, float* o) {
    const float none = High ? -FLT_MAX : FLT_MAX;
    auto pick = [](float p, float q) { return High ? (p > q ? p : q) : (p < q ? p : q); };
    scratchG.resize(size_t(n));
    scratchH.resize(size_t(n));
    float* __restrict g = scratchG.data();
    float* __restrict h = scratchH.data();
    for (int start = 0; start < n; start += N) {
        int end = std::min(n, start + N);
        float run = none;
        for (int i = start; i < end; ++i) {
            float v = missing(x[i]) ? none : x[i];
            run = pick(run, v);
            g[i] = run;
        }
        run = none;
        for (int i = end - 1; i >= start; --i) {
            float v = missing(x[i]) ? none : x[i];
            run = pick(run, v);
            h[i] = run;
        }
    }
    // The first N-1 bars see a shorter window: the running extreme from bar 0.
    int head = std::min(n, N - 1);
    for (int i = 0; i < head; ++i) {
        o[i] = g[i];
    }
    for (int i = head; i < n; ++i) {
        o[i] = pick(h[i - N + 1], g[i]);
    }
    for (int i = 0; i < n; ++i) {
        o[i] = o[i] == none ? kInv : o[i];
    }
}

// HHV/LLV: extreme of the last N bars (fewer at the start); N = 0 means every bar so far.
template <bool High>
bool extreme(Eval& e, Value* a, Value& out, const char* name) {
    if (!needNumbers(e, a, 2, name)) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    auto better = [](float p, float q) { return High ? p >= q : p <= q; };
    if (per.constant) {
        int N = per.k;
        if (N < 0) {
            std::fill(o, o + n, kInv);
        } else {
            if (N > 0) {
                extremeWindow<High>(x, n, N, o);
                out = Value::series(o);
                return true;
            }
            // Monotonic queue of bar indices in a flat array: head..tail-1.
            scratchIdx.resize(size_t(n) + 1);
            int* q = scratchIdx.data();
            int head = 0, tail = 0;
            for (int i = 0; i < n; ++i) {
                if (!missing(x[i])) {
                    while (tail > head && better(x[i], x[q[tail - 1]])) {
                        --tail;
                    }
                    q[tail++] = i;
                }
                if (N > 0) {
                    while (tail > head && q[head] <= i - N) {
                        ++head;
                    }
                }
                o[i] = tail > head ? x[q[head]] : kInv;
            }
        }
        out = Value::series(o);
        return true;
    }
    // A period that changes from bar to bar: a sparse table with enough levels for the longest
    // period asked for; N = 0 reads a running extreme instead.
    const float none = High ? -FLT_MAX : FLT_MAX;
    auto pick = [](float p, float q) { return High ? std::max(p, q) : std::min(p, q); };
    int longest = 0;
    for (int i = 0; i < n; ++i) {
        longest = std::max(longest, per.at(i));
    }
    int maxN = std::max(1, std::min(longest, n));
    int levels = 1;
    while ((1 << (levels - 1)) < maxN) {
        ++levels;
    }
    std::vector<std::vector<float>> table(static_cast<size_t>(levels));
    table[0].resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        table[0][size_t(i)] = missing(x[i]) ? none : x[i];
    }
    for (int l = 1; l < levels; ++l) {
        int span = 1 << l;
        table[size_t(l)].resize(size_t(std::max(0, n - span + 1)));
        for (int i = 0; i + span <= n; ++i) {
            table[size_t(l)][size_t(i)] =
                pick(table[size_t(l - 1)][size_t(i)], table[size_t(l - 1)][size_t(i + span / 2)]);
        }
    }
    float running = none;
    for (int i = 0; i < n; ++i) {
        running = pick(running, table[0][size_t(i)]);
        int N = per.at(i);
        float r;
        if (N < 0) {
            o[i] = kInv;
            continue;
        } else if (N == 0 || N >= i + 1) {
            r = running;
        } else {
            int from = i + 1 - N;
            int l = 0;
            while ((2 << l) <= N) {
                ++l;
            }
            r = pick(table[size_t(l)][size_t(from)], table[size_t(l)][size_t(i - (1 << l) + 1)]);
        }
        o[i] = r == none ? kInv : r;
    }
    out = Value::series(o);
    return true;
}
bool fnHhv(Eval& e, Value* a, Value& out) {
    return extreme<true>(e, a, out, "HHV");
}
bool fnLlv(Eval& e, Value* a, Value& out) {
    return extreme<false>(e, a, out, "LLV");
}

// REF(X,N): the value N bars ago; N may change from bar to bar.
bool fnRef(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "REF")) {
        return false;
    }
    int n = e.n;
    if (a[0].type == Value::Scalar) {
        Period per = period(a[1], n);
        if (per.constant) {
            out = Value::scalar(per.k < 0 ? kInv : a[0].s);
            return true;
        }
    }
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    if (per.constant) {
        int N = per.k;
        int head = N < 0 ? n : std::min(n, N);
        std::fill(o, o + head, kInv);
        if (head < n) {
            std::memcpy(o + head, x, size_t(n - head) * sizeof(float));
        }
    } else {
        for (int i = 0; i < n; ++i) {
            int N = per.at(i);
            o[i] = N >= 0 && i >= N ? x[i - N] : kInv;
        }
    }
    out = Value::series(o);
    return true;
}

// COUNT(X,N): bars of the last N (fewer at the start; 0 = all so far) on which X holds.
bool fnCount(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "COUNT")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    scratchBad.resize(size_t(n) + 1);
    scratchBad[0] = 0;
    for (int i = 0; i < n; ++i) {
        scratchBad[size_t(i) + 1] = scratchBad[size_t(i)] + (truth(x[i]) ? 1 : 0);
    }
    for (int i = 0; i < n; ++i) {
        int N = per.at(i);
        if (N < 0) {
            o[i] = kInv;
            continue;
        }
        int from = N == 0 ? 0 : std::max(0, i + 1 - N);
        o[i] = float(scratchBad[size_t(i) + 1] - scratchBad[size_t(from)]);
    }
    out = Value::series(o);
    return true;
}

// EXIST(X,N): X held on at least one of the last N bars.
bool fnExist(Eval& e, Value* a, Value& out) {
    if (!fnCount(e, a, out)) {
        return false;
    }
    float* o = const_cast<float*>(out.p);
    for (int i = 0; i < e.n; ++i) {
        o[i] = missing(o[i]) ? kInv : (o[i] > 0 ? 1.0f : 0.0f);
    }
    return true;
}

// LAST(X,A,B): X held on every bar from A bars ago to B bars ago (A = 0: from the first bar).
bool fnLast(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 3, "LAST")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period pa = period(a[1], n), pb = period(a[2], n);
    float* o = e.alloc();
    // run[i]: consecutive bars ending at i on which X holds.
    std::vector<int> run(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        run[size_t(i)] = truth(x[i]) ? (i > 0 ? run[size_t(i - 1)] : 0) + 1 : 0;
    }
    for (int i = 0; i < n; ++i) {
        int A = pa.at(i), B = pb.at(i);
        if (A < 0 || B < 0) {
            o[i] = kInv;
            continue;
        }
        int from = A == 0 ? 0 : i - A;
        int to = i - B;
        if (from < 0 || to < from || to >= n) {
            o[i] = 0.0f;
            continue;
        }
        o[i] = run[size_t(to)] >= to - from + 1 ? 1.0f : 0.0f;
    }
    out = Value::series(o);
    return true;
}

// ---- signals ----
bool fnCross(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "CROSS")) {
        return false;
    }
    int n = e.n;
    const float* __restrict x = e.series(a[0]);
    const float* __restrict y = e.series(a[1]);
    float* __restrict o = e.alloc();
    if (n > 0) {
        o[0] = 0.0f;
    }
    // Without short-circuits, so that the loop vectorises.
    for (int i = 1; i < n; ++i) {
        bool valid = !missing(x[i]) & !missing(y[i]) & !missing(x[i - 1]) & !missing(y[i - 1]);
        bool c = valid & (x[i - 1] < y[i - 1]) & (x[i] > y[i]);
        o[i] = c ? 1.0f : 0.0f;
    }
    out = Value::series(o);
    return true;
}

// LONGCROSS(A,B,N): A was below B on each of the N bars before and is above it now.
bool fnLongcross(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 3, "LONGCROSS")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    const float* y = e.series(a[1]);
    Period per = period(a[2], n);
    float* o = e.alloc();
    int below = 0;  // bars in a row, up to i-1, with A below B
    for (int i = 0; i < n; ++i) {
        bool valid = !missing(x[i]) && !missing(y[i]);
        int N = per.at(i);
        o[i] = valid && N >= 0 && i > 0 && below >= std::max(N, 1) && x[i] > y[i] ? 1.0f : 0.0f;
        below = valid && x[i] < y[i] ? below + 1 : 0;
    }
    out = Value::series(o);
    return true;
}

// BARSLAST(X): bars since X last held (0 on such a bar); missing before the first time.
bool fnBarslast(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 1, "BARSLAST")) {
        return false;
    }
    const float* x = e.series(a[0]);
    float* o = e.alloc();
    int lastTrue = -1;
    for (int i = 0; i < e.n; ++i) {
        if (truth(x[i])) {
            lastTrue = i;
        }
        o[i] = lastTrue < 0 ? kInv : float(i - lastTrue);
    }
    out = Value::series(o);
    return true;
}

// BARSCOUNT(X): bars from the first valid X up to and including this one.
bool fnBarscount(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 1, "BARSCOUNT")) {
        return false;
    }
    const float* x = e.series(a[0]);
    float* o = e.alloc();
    int first = -1;
    for (int i = 0; i < e.n; ++i) {
        if (first < 0 && !missing(x[i])) {
            first = i;
        }
        o[i] = first < 0 ? kInv : float(i - first + 1);
    }
    out = Value::series(o);
    return true;
}

// BARSSINCEN(X,N): within the last N bars, bars since X first held; missing when it did not.
bool fnBarssincen(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "BARSSINCEN")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    std::vector<int> trues;
    for (int i = 0; i < n; ++i) {
        if (truth(x[i])) {
            trues.push_back(i);
        }
        int N = per.at(i);
        if (N <= 0) {
            o[i] = kInv;
            continue;
        }
        int from = i + 1 - N;
        auto it = std::lower_bound(trues.begin(), trues.end(), from);
        o[i] = it == trues.end() ? kInv : float(i - *it);
    }
    out = Value::series(o);
    return true;
}

// BACKSET(X,N): where X holds, sets this bar and the N-1 bars before it to 1.
bool fnBackset(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "BACKSET")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    int remaining = 0;
    for (int i = n - 1; i >= 0; --i) {
        if (truth(x[i])) {
            remaining = std::max(remaining, per.at(i));
        }
        o[i] = remaining > 0 ? 1.0f : 0.0f;
        if (remaining > 0) {
            --remaining;
        }
    }
    out = Value::series(o);
    return true;
}

// CONST(X): the last bar's value, as a number.
bool fnConst(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text) {
        out = a[0];
        return true;
    }
    out = Value::scalar(last(a[0], e.n));
    return true;
}

// FILTER(X,N): keeps a signal and clears the N bars after it.
bool fnFilter(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "FILTER")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    int blockedTo = -1;
    for (int i = 0; i < n; ++i) {
        if (i > blockedTo && truth(x[i])) {
            o[i] = 1.0f;
            blockedTo = i + std::max(0, per.at(i));
        } else {
            o[i] = 0.0f;
        }
    }
    out = Value::series(o);
    return true;
}

// FILTERX(X,N): keeps a signal and clears the N bars before it, working from the newest bar.
bool fnFilterx(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "FILTERX")) {
        return false;
    }
    int n = e.n;
    const float* x = e.series(a[0]);
    Period per = period(a[1], n);
    float* o = e.alloc();
    int blockedFrom = n;
    for (int i = n - 1; i >= 0; --i) {
        if (i < blockedFrom && truth(x[i])) {
            o[i] = 1.0f;
            blockedFrom = i - std::max(0, per.at(i));
        } else {
            o[i] = 0.0f;
        }
    }
    out = Value::series(o);
    return true;
}

// ZIG(K,N): zigzag of a price (K: 0 open, 1 high, 2 low, 3 close, or a series) that turns when
// the price moves N percent against the running extreme; straight between turning points.
bool fnZig(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "ZIG")) {
        return false;
    }
    int n = e.n;
    const float* p = nullptr;
    if (a[0].type == Value::Series) {
        p = a[0].p;
    } else {
        static const char* names[] = {"O", "H", "L", "C"};
        int k = toInt(a[0].s, -1);
        if (k < 0 || k > 3) {
            return e.fail("ZIG: the price selector must be 0, 1, 2 or 3");
        }
        if (!e.dataSeries(names[k], &p)) {
            return false;
        }
    }
    float pct = last(a[1], n);
    float* o = e.alloc();
    std::fill(o, o + n, kInv);
    if (missing(pct) || pct <= 0) {
        out = Value::series(o);
        return true;
    }
    double f = pct / 100.0;
    int s = 0;
    while (s < n && missing(p[s])) {
        ++s;
    }
    if (s >= n) {
        out = Value::series(o);
        return true;
    }
    std::vector<int> pivots{s};
    int trend = 0, ext = s;
    for (int i = s + 1; i < n; ++i) {
        float v = p[i];
        if (missing(v)) {
            continue;
        }
        double pe = p[ext];
        if (trend == 0) {
            if (v >= pe * (1 + f)) {
                trend = 1;
                ext = i;
            } else if (v <= pe * (1 - f)) {
                trend = -1;
                ext = i;
            }
        } else if (trend > 0) {
            if (v >= pe) {
                ext = i;
            } else if (v <= pe * (1 - f)) {
                pivots.push_back(ext);
                trend = -1;
                ext = i;
            }
        } else {
            if (v <= pe) {
                ext = i;
            } else if (v >= pe * (1 + f)) {
                pivots.push_back(ext);
                trend = 1;
                ext = i;
            }
        }
    }
    if (ext != pivots.back()) {
        pivots.push_back(ext);
    }
    int lastValid = n - 1;
    while (lastValid > 0 && missing(p[lastValid])) {
        --lastValid;
    }
    if (lastValid != pivots.back()) {
        pivots.push_back(lastValid);
    }
    o[pivots[0]] = p[pivots[0]];
    for (size_t k = 1; k < pivots.size(); ++k) {
        int i0 = pivots[k - 1], i1 = pivots[k];
        float v0 = p[i0], v1 = p[i1];
        for (int i = i0; i <= i1; ++i) {
            o[i] = v0 + (v1 - v0) * float(i - i0) / float(std::max(1, i1 - i0));
        }
    }
    out = Value::series(o);
    return true;
}

// ---- texts ----
std::string asText(const Value& v, int n) {
    if (v.type == Value::Text) {
        return v.text;
    }
    float x = last(v, n);
    if (missing(x)) {
        return std::string();
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(x));
    return buf;
}

bool fnStrcat(Eval& e, Value* a, Value& out) {
    out = Value::string(asText(a[0], e.n) + asText(a[1], e.n));
    return true;
}

// CON2STR(X,D): the last bar's value with D decimals; "" when it is missing.
bool fnCon2str(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "CON2STR")) {
        return false;
    }
    float x = last(a[0], e.n);
    float d = last(a[1], e.n);
    int digits = std::max(0, std::min(10, toInt(d, 2)));
    if (missing(x) || !std::isfinite(x)) {
        out = Value::string(std::string());
        return true;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, double(x));
    out = Value::string(buf);
    return true;
}

// STRCMP(A,B): 1 when the two texts are equal, else 0.
bool fnStrcmp(Eval& e, Value* a, Value& out) {
    out = Value::scalar(asText(a[0], e.n) == asText(a[1], e.n) ? 1.0f : 0.0f);
    return true;
}

// OPRENAME(COND,OLD,NEW): when COND holds on the last bar, the output named OLD is shown as NEW.
bool fnOprename(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text) {
        return needNumbers(e, a, 1, "OPRENAME");
    }
    bool renamed = false;
    if (truth(last(a[0], e.n))) {
        std::string from = asText(a[1], e.n), to = asText(a[2], e.n);
        for (auto it = e.ctx.ops.rbegin(); it != e.ctx.ops.rend(); ++it) {
            if (it->name == from) {
                it->name = to;
                renamed = true;
                break;
            }
        }
    }
    out = Value::scalar(renamed ? 1.0f : 0.0f);
    return true;
}

// ---- extension libraries ----
bool extension(Eval& e, Value* a, Value& out, int slot, const char* name) {
    if (!needNumbers(e, a, 4, name)) {
        return false;
    }
    const fml_extension* ext = e.vm.slots[slot];
    if (!ext) {
        return e.fail(std::string(name) + ": no extension library is loaded in slot " +
                      std::to_string(slot));
    }
    float sel = last(a[0], e.n);
    if (missing(sel)) {
        return e.fail(std::string(name) + ": the selector is missing");
    }
    void*& state = e.ctx.extState[slot];
    if (!state && ext->create) {
        state = ext->create();
    }
    float* o = e.alloc();
    if (ext->call(state, toInt(sel), e.n, e.series(a[1]), e.series(a[2]), e.series(a[3]), o) != 1) {
        return e.fail(std::string(name) + ": selector " + std::to_string(toInt(sel)) +
                      " is not provided by " + (ext->name ? ext->name : "the extension"));
    }
    out = Value::series(o);
    return true;
}
bool fnRurazu1(Eval& e, Value* a, Value& out) {
    return extension(e, a, out, 1, "RURAZU1");
}
bool fnVadazi3(Eval& e, Value* a, Value& out) {
    return extension(e, a, out, 3, "VADAZI3");
}

const FunctionInfo kFunctions[] = {
    {"MA", 2, fnMa},
    {"EMA", 2, fnEma},
    {"SMA", 3, fnSma},
    {"DMA", 2, fnDma},
    {"STD", 2, fnStd},
    {"AVEDEV", 2, fnAvedev},
    {"HHV", 2, fnHhv},
    {"LLV", 2, fnLlv},
    {"REF", 2, fnRef},
    {"SUM", 2, fnSum},
    {"COUNT", 2, fnCount},
    {"EXIST", 2, fnExist},
    {"LAST", 3, fnLast},
    {"CROSS", 2, fnCross},
    {"LONGCROSS", 3, fnLongcross},
    {"BARSLAST", 1, fnBarslast},
    {"BARSCOUNT", 1, fnBarscount},
    {"BARSSINCEN", 2, fnBarssincen},
    {"BACKSET", 2, fnBackset},
    {"CONST", 1, fnConst},
    {"FILTER", 2, fnFilter},
    {"FILTERX", 2, fnFilterx},
    {"ZIG", 2, fnZig},
    {"STRCAT", 2, fnStrcat},
    {"CON2STR", 2, fnCon2str},
    {"STRCMP", 2, fnStrcmp},
    {"OPRENAME", 3, fnOprename},
    {"RURAZU1", 4, fnRurazu1},
    {"VADAZI3", 4, fnVadazi3},
};

}  // namespace

bool movingMeanAndDeviation(Eval& e, const Value* a, Value& mean, Value& deviation) {
    if (a[0].type != Value::Series || a[1].type != Value::Scalar) {
        return false;
    }
    Period per = period(a[1], e.n);
    if (per.k < 2 || anyMissing(a[0].p, e.n)) {
        return false;
    }
    float* m = e.alloc();
    float* d = e.alloc();
    movingDeviation<true>(a[0].p, e.n, per.k, m, d);
    mean = Value::series(m);
    deviation = Value::series(d);
    return true;
}

LibFn movingMeanFunction() {
    return fnMa;
}
LibFn movingDeviationFunction() {
    return fnStd;
}

const FunctionInfo* findFunction(const std::string& name) {
    static const std::unordered_map<std::string, const FunctionInfo*> table = [] {
        std::unordered_map<std::string, const FunctionInfo*> t;
        for (const FunctionInfo& f : kFunctions) {
            t.emplace(f.name, &f);
        }
        size_t count = 0;
        const FunctionInfo* elementwise = elementwiseFunctions(&count);
        for (size_t i = 0; i < count; ++i) {
            t.emplace(elementwise[i].name, &elementwise[i]);
        }
        return t;
    }();
    std::string key = name;
    for (char& ch : key) {
        if (ch >= 'a' && ch <= 'z') {
            ch = char(ch - 'a' + 'A');
        }
    }
    auto it = table.find(key);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace fml
