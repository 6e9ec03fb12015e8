// Moving statistics over a window of the last N bars: MA, SUM, STD and AVEDEV, and MA and STD of
// one window from one pass.
#include "libformula/library.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

namespace fml {
namespace {

thread_local std::vector<double> scratchA, scratchB;

// Up to this many bars a table of running sums stays in the second-level cache, and reading two
// of its doubles per mean costs less than sliding a window; beyond it the window slides.
constexpr int kSharedSumsBars = 65536;
thread_local std::vector<int> scratchBad;

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
// MA(X,N) over a series without missing values: eight bars at a time in vector lanes when the
// series is also free of infinities and not-a-number values (`finite`), otherwise slidingSums with
// the means formed, scaled and converted two lanes at a time where SSE2 is there.
void movingMean(const float* x, int n, int N, double inv, float* o, bool finite) {
    auto emit = [&](int i, double sum) { o[i] = float(sum * inv); };
    if (finite && n >= N + 8) {
        double s = 0;
        for (int i = 0; i < N; ++i) {
            s += double(x[i]);
        }
        emit(N - 1, s);
        int i = meanInLanes(x, o, n, N, inv, &s);
        for (; i < n; ++i) {
            s += same(x[i]) - same(x[i - N]);
            emit(i, s);
        }
        return;
    }
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
        } else if (bool finite = e.finite(x); finite || !anyMissing(x, n)) {
            const double inv = 1.0 / N;
            std::fill(o, o + std::min(n, N - 1), kInv);
            if (finite && n <= kSharedSumsBars) {
                // Several windows over one series (MA5, MA10, MA20, MA60 of the close) share one
                // table of running sums; each mean is then a difference of two of them.
                meanOfPrefix(e.runningSums(x), n, N, inv, o);
            } else {
                movingMean(x, n, N, inv, o, finite);
            }
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
    if (e.finite(x)) {
        // Nothing missing: every sum is a difference of the shared running sums.
        const double* sums = e.runningSums(x);
        for (int i = 0; i < n; ++i) {
            int N = per.at(i);
            if (N < 0 || N > i + 1) {
                o[i] = kInv;
            } else {
                o[i] = float(sums[i + 1] - sums[N == 0 ? 0 : i + 1 - N]);
            }
        }
        out = Value::series(o);
        return true;
    }
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
void movingDeviation(const float* x, int n, int N, float* mean, float* o, bool finite) {
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
    if (finite) {
        // Eight bars at a time in vector lanes, a block of 1024 bars between square roots.
        while (i + 8 <= n) {
            roots(i);
            i = deviationInLanes(x, WithMean ? mean : nullptr, o, i, std::min(n, i + 1024), N, &sum,
                                 &sq);
        }
    }
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
    bool finite = per.constant && per.k >= 2 && e.finite(x);
    if (per.constant && per.k >= 2 && (finite || !anyMissing(x, n))) {
        movingDeviation<false>(x, n, per.k, nullptr, o, finite);
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
const FunctionInfo kTable[] = {
    {"MA", 2, fnMa},
    {"STD", 2, fnStd},
    {"AVEDEV", 2, fnAvedev},
    {"SUM", 2, fnSum},
};

}  // namespace

const FunctionInfo* movingFunctions(size_t* count) {
    *count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

bool movingMeanAndDeviation(Eval& e, const Value* a, Value& mean, Value& deviation) {
    if (a[0].type != Value::Series || a[1].type != Value::Scalar) {
        return false;
    }
    Period per = period(a[1], e.n);
    bool finite = per.k >= 2 && e.finite(a[0].p);
    if (per.k < 2 || (!finite && anyMissing(a[0].p, e.n))) {
        return false;
    }
    float* m = e.alloc();
    float* d = e.alloc();
    movingDeviation<true>(a[0].p, e.n, per.k, m, d, finite);
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
}  // namespace fml
