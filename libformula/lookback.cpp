// Functions over the last N bars of a series: HHV, LLV, REF, COUNT, EXIST and LAST.
#include "libformula/library.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace fml {
namespace {

thread_local std::vector<int> scratchBad, scratchIdx;
thread_local std::vector<float> scratchG, scratchH;
// The levels of the sparse table of a period that changes, kept so that a run allocates nothing.
thread_local std::vector<std::vector<float>> scratchTable;

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
    std::vector<std::vector<float>>& table = scratchTable;
    if (table.size() < size_t(levels)) {
        table.resize(size_t(levels));
    }
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
    const int* held = scratchBad.data();
    if (per.constant && per.k > 0) {
        // A fixed window: partial at the start, then sliding, in loops without branches.
        const int N = per.k, head = std::min(n, N);
        for (int i = 0; i < head; ++i) {
            o[i] = float(held[i + 1]);
        }
        for (int i = head; i < n; ++i) {
            o[i] = float(held[i + 1] - held[i + 1 - N]);
        }
        out = Value::series(o);
        return true;
    }
    for (int i = 0; i < n; ++i) {
        int N = per.at(i);
        if (N < 0) {
            o[i] = kInv;
            continue;
        }
        int from = N == 0 ? 0 : std::max(0, i + 1 - N);
        o[i] = float(held[i + 1] - held[from]);
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

const FunctionInfo kTable[] = {
    {"HHV", 2, fnHhv},     {"LLV", 2, fnLlv},     {"REF", 2, fnRef},
    {"COUNT", 2, fnCount}, {"EXIST", 2, fnExist}, {"LAST", 3, fnLast},
};

}  // namespace

const FunctionInfo* lookbackFunctions(size_t* count) {
    *count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

}  // namespace fml
