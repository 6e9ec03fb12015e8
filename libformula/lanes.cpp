// Exponential smoothing and window means eight bars at a time in vector lanes. Each block of
// eight is formed from the state before it by a prefix scan in three steps (distance 1, 2, 4), so
// that only one multiply-add (smoothing) or one add (means) per eight bars sits on the chain that
// carries from block to block. The vectors are written with the compiler's generic vector types:
// where the processor has 256-bit lanes a second copy of these loops uses them, elsewhere they
// run two 128-bit halves at a time. Both copies perform the same operations in the same order,
// so they give the same values on every machine.
#include "libformula/library.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fml {
namespace {

typedef double V4d __attribute__((vector_size(32)));
typedef float V4f __attribute__((vector_size(16)));
typedef int V4i __attribute__((vector_size(16)));

// Written element by element, the widening compiles to one conversion of four floats where
// 256-bit lanes are there (the generic conversion is split in halves).
#define widen(v) (V4d{v[0], v[1], v[2], v[3]})

}  // namespace

VQ_LANES
bool finiteAndPresent(const float* x, int n) {
    uint32_t bad = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t b;
        std::memcpy(&b, x + i, sizeof b);
        bad |= ((b & 0x7F800000u) == 0x7F800000u) | (b == kInvalidBits);
    }
    return bad == 0;
}

namespace {

// The constants of one smoothing weight, and one block of eight through it.
struct Weight {
    V4d W, K1, K2, K4, K8, powLow, powHigh;
    explicit Weight(double w) {
        const double keep = 1.0 - w;
        double k[9];
        k[0] = 1.0;
        for (int i = 1; i <= 8; ++i) {
            k[i] = k[i - 1] * keep;
        }
        W = V4d{w, w, w, w};
        K1 = V4d{keep, keep, keep, keep};
        K2 = V4d{k[2], k[2], k[2], k[2]};
        K4 = V4d{k[4], k[4], k[4], k[4]};
        powLow = V4d{k[1], k[2], k[3], k[4]};
        powHigh = V4d{k[5], k[6], k[7], k[8]};
        K8 = V4d{k[8], k[8], k[8], k[8]};
    }
};

inline __attribute__((always_inline)) void smoothBlock(const Weight& c, V4d xLo, V4d xHi, float* o,
                                                       V4d& Y) {
    const V4d zero = {0, 0, 0, 0};
    V4d lo = c.W * xLo;
    V4d hi = c.W * xHi;
    // Step 1: each bar adds keep times the bar before it.
    V4d sLo = __builtin_shufflevector(zero, lo, 0, 4, 5, 6);
    V4d sHi = __builtin_shufflevector(lo, hi, 3, 4, 5, 6);
    lo = lo + c.K1 * sLo;
    hi = hi + c.K1 * sHi;
    // Step 2: keep^2 times the partial sum two bars before.
    sLo = __builtin_shufflevector(zero, lo, 0, 1, 4, 5);
    sHi = __builtin_shufflevector(lo, hi, 2, 3, 4, 5);
    lo = lo + c.K2 * sLo;
    hi = hi + c.K2 * sHi;
    // Step 3: keep^4 times the partial sum four bars before.
    hi = hi + c.K4 * lo;
    V4f fLo = __builtin_convertvector(lo + c.powLow * Y, V4f);
    V4f fHi = __builtin_convertvector(hi + c.powHigh * Y, V4f);
    std::memcpy(o, &fLo, sizeof fLo);
    std::memcpy(o + 4, &fHi, sizeof fHi);
    // The state in every lane: the partial sums do not depend on it, so only a multiply and an
    // add sit on the chain from block to block.
    Y = __builtin_shufflevector(hi, hi, 3, 3, 3, 3) + c.K8 * Y;
}

// Whether eight floats are all finite and present: greater than the missing value (the lowest
// float) and not above the highest, which not-a-number values and infinities fail.
inline __attribute__((always_inline)) bool plain(V4f lo, V4f hi) {
    const V4f lowest = {-FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    const V4f highest = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
    V4i ok = (lo > lowest) & (lo <= highest) & (hi > lowest) & (hi <= highest);
    uint64_t half[2];
    std::memcpy(half, &ok, sizeof half);
    return (half[0] & half[1]) == ~uint64_t(0);
}

// Whole blocks of eight of one smoothing; with kTest, up to the first block holding a value
// `plain` refuses.
template <bool kTest>
inline __attribute__((always_inline)) int smoothBlocks(const Weight& c, const float* x, float* o,
                                                       int n, V4d& y) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        V4f lo4, hi4;
        std::memcpy(&lo4, x + i, sizeof lo4);
        std::memcpy(&hi4, x + i + 4, sizeof hi4);
        if (kTest && !plain(lo4, hi4)) {
            break;
        }
        smoothBlock(c, widen(lo4), widen(hi4), o + i, y);
    }
    return i;
}

}  // namespace

VQ_LANES
int smoothInLanes(const float* x, float* o, int n, double w, double* state, bool clean) {
    const Weight c(w);
    V4d y = {*state, *state, *state, *state};
    int i = clean ? smoothBlocks<false>(c, x, o, n, y) : smoothBlocks<true>(c, x, o, n, y);
    *state = y[0];
    return i;
}

VQ_LANES
int smoothTwoInLanes(const float* x, float* o1, float* o2, int n, double w1, double w2,
                     double* state1, double* state2, bool clean) {
    const Weight c1(w1), c2(w2);
    V4d y1 = {*state1, *state1, *state1, *state1}, y2 = {*state2, *state2, *state2, *state2};
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        V4f lo4, hi4;
        std::memcpy(&lo4, x + i, sizeof lo4);
        std::memcpy(&hi4, x + i + 4, sizeof hi4);
        if (!clean && !plain(lo4, hi4)) {
            break;
        }
        const V4d lo = widen(lo4), hi = widen(hi4);
        smoothBlock(c1, lo, hi, o1 + i, y1);
        smoothBlock(c2, lo, hi, o2 + i, y2);
    }
    *state1 = y1[0];
    *state2 = y2[0];
    return i;
}

VQ_LANES
int meanInLanes(const float* x, float* o, int n, int N, double inv, double* sum) {
    const V4d zero = {0, 0, 0, 0};
    const V4d scale = {inv, inv, inv, inv};
    double s = *sum;
    int i = N;
    for (; i + 8 <= n; i += 8) {
        V4f inLo, inHi, outLo, outHi;
        std::memcpy(&inLo, x + i, sizeof inLo);
        std::memcpy(&inHi, x + i + 4, sizeof inHi);
        std::memcpy(&outLo, x + i - N, sizeof outLo);
        std::memcpy(&outHi, x + i + 4 - N, sizeof outHi);
        V4d lo = widen(inLo) - widen(outLo);
        V4d hi = widen(inHi) - widen(outHi);
        V4d sLo = __builtin_shufflevector(zero, lo, 0, 4, 5, 6);
        V4d sHi = __builtin_shufflevector(lo, hi, 3, 4, 5, 6);
        lo = lo + sLo;
        hi = hi + sHi;
        sLo = __builtin_shufflevector(zero, lo, 0, 1, 4, 5);
        sHi = __builtin_shufflevector(lo, hi, 2, 3, 4, 5);
        lo = lo + sLo;
        hi = hi + sHi;
        hi = hi + lo;
        const V4d S = {s, s, s, s};
        V4f fLo = __builtin_convertvector((S + lo) * scale, V4f);
        V4f fHi = __builtin_convertvector((S + hi) * scale, V4f);
        std::memcpy(o + i, &fLo, sizeof fLo);
        std::memcpy(o + i + 4, &fHi, sizeof fHi);
        s = s + hi[3];
    }
    *sum = s;
    return i;
}

VQ_LANES
void prefixInLanes(const float* x, int n, double* sums) {
    const V4d zero = {0, 0, 0, 0};
    double s = 0;
    sums[0] = 0;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        V4f lo4, hi4;
        std::memcpy(&lo4, x + i, sizeof lo4);
        std::memcpy(&hi4, x + i + 4, sizeof hi4);
        V4d lo = widen(lo4), hi = widen(hi4);
        lo = lo + __builtin_shufflevector(zero, lo, 0, 4, 5, 6);
        hi = hi + __builtin_shufflevector(zero, hi, 0, 4, 5, 6);
        lo = lo + __builtin_shufflevector(zero, lo, 0, 1, 4, 5);
        hi = hi + __builtin_shufflevector(zero, hi, 0, 1, 4, 5);
        hi = hi + __builtin_shufflevector(lo, lo, 3, 3, 3, 3);
        const V4d S = {s, s, s, s};
        lo = S + lo;
        hi = S + hi;
        std::memcpy(sums + i + 1, &lo, sizeof lo);
        std::memcpy(sums + i + 5, &hi, sizeof hi);
        s = hi[3];
    }
    for (; i < n; ++i) {
        s += double(x[i]);
        sums[i + 1] = s;
    }
}

VQ_LANES
void meanOfPrefix(const double* sums, int n, int N, double inv, float* o) {
    for (int i = N - 1; i < n; ++i) {
        o[i] = float((sums[i + 1] - sums[i + 1 - N]) * inv);
    }
}

VQ_LANES
int deviationInLanes(const float* x, float* mean, float* o, int from, int to, int N, double* sum,
                     double* squares) {
    const V4d zero = {0, 0, 0, 0};
    const double invN = 1.0 / N, invN1 = 1.0 / (N - 1);
    const V4d scaleN = {invN, invN, invN, invN}, scaleN1 = {invN1, invN1, invN1, invN1};
    double s = *sum, q = *squares;
    int i = from;
    for (; i + 8 <= to; i += 8) {
        V4f inLo, inHi, outLo, outHi;
        std::memcpy(&inLo, x + i, sizeof inLo);
        std::memcpy(&inHi, x + i + 4, sizeof inHi);
        std::memcpy(&outLo, x + i - N, sizeof outLo);
        std::memcpy(&outHi, x + i + 4 - N, sizeof outHi);
        V4d aLo = widen(inLo), aHi = widen(inHi);
        V4d bLo = widen(outLo), bHi = widen(outHi);
        V4d lo = aLo - bLo, hi = aHi - bHi;
        V4d sqLo = aLo * aLo - bLo * bLo, sqHi = aHi * aHi - bHi * bHi;
        V4d sLo = __builtin_shufflevector(zero, lo, 0, 4, 5, 6);
        V4d sHi = __builtin_shufflevector(lo, hi, 3, 4, 5, 6);
        V4d tLo = __builtin_shufflevector(zero, sqLo, 0, 4, 5, 6);
        V4d tHi = __builtin_shufflevector(sqLo, sqHi, 3, 4, 5, 6);
        lo = lo + sLo;
        hi = hi + sHi;
        sqLo = sqLo + tLo;
        sqHi = sqHi + tHi;
        sLo = __builtin_shufflevector(zero, lo, 0, 1, 4, 5);
        sHi = __builtin_shufflevector(lo, hi, 2, 3, 4, 5);
        tLo = __builtin_shufflevector(zero, sqLo, 0, 1, 4, 5);
        tHi = __builtin_shufflevector(sqLo, sqHi, 2, 3, 4, 5);
        lo = lo + sLo;
        hi = hi + sHi;
        sqLo = sqLo + tLo;
        sqHi = sqHi + tHi;
        hi = hi + lo;
        sqHi = sqHi + sqLo;
        const V4d S = {s, s, s, s}, Q = {q, q, q, q};
        V4d sumLo = S + lo, sumHi = S + hi;
        V4d varLo = ((Q + sqLo) - sumLo * sumLo * scaleN) * scaleN1;
        V4d varHi = ((Q + sqHi) - sumHi * sumHi * scaleN) * scaleN1;
        V4f fLo = __builtin_convertvector(varLo, V4f), fHi = __builtin_convertvector(varHi, V4f);
        std::memcpy(o + i, &fLo, sizeof fLo);
        std::memcpy(o + i + 4, &fHi, sizeof fHi);
        if (mean) {
            V4f mLo = __builtin_convertvector(sumLo * scaleN, V4f);
            V4f mHi = __builtin_convertvector(sumHi * scaleN, V4f);
            std::memcpy(mean + i, &mLo, sizeof mLo);
            std::memcpy(mean + i + 4, &mHi, sizeof mHi);
        }
        s = s + hi[3];
        q = q + sqHi[3];
    }
    *sum = s;
    *squares = q;
    return i;
}

void heldBars(const float* a, const float* b, int n, uint64_t* words) {
    const int count = (n + 63) / 64;
    std::fill(words, words + count, uint64_t(0));
    int i = 0;
#if defined(__SSE2__)
    // Sixty-four bars to a word, four at a time: a bar holds unless its bits are a zero of either
    // sign or the missing value, in both series.
    const __m128i magnitude = _mm_set1_epi32(0x7FFFFFFF), zero = _mm_setzero_si128();
    const __m128i invalid = _mm_set1_epi32(int(kInvalidBits));
    for (; i + 64 <= n; i += 64) {
        uint64_t word = 0;
        for (int k = 0; k < 64; k += 4) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + k));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + k));
            const __m128i offX = _mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(x, magnitude), zero),
                                              _mm_cmpeq_epi32(x, invalid));
            const __m128i offY = _mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(y, magnitude), zero),
                                              _mm_cmpeq_epi32(y, invalid));
            const int off = _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(offX, offY)));
            word |= uint64_t(~off & 0xF) << k;
        }
        words[i >> 6] = word;
    }
#endif
    for (; i < n; ++i) {
        words[i >> 6] |= uint64_t(truth(a[i]) | truth(b[i])) << (i & 63);
    }
}

}  // namespace fml
