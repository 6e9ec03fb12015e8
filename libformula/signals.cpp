// Signals and series reshaped around them: crosses, bars since an event, BACKSET, FILTER, FILTERX,
// CONST and the zigzag.
#include "libformula/library.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace fml {
namespace {

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
    // Tests joined without short-circuits and the run counted without branches: on prices the
    // comparisons come out at random.
    for (int i = 0; i < n; ++i) {
        bool valid = !missing(x[i]) & !missing(y[i]);
        int N = per.at(i);
        bool hit = valid & (N >= 0) & (i > 0) & (below >= std::max(N, 1)) & (x[i] > y[i]);
        o[i] = hit ? 1.0f : 0.0f;
        below = (below + 1) & -int(valid & (x[i] < y[i]));
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
    auto step = [&](int i) {
        int held = -int(truth(x[i]));  // all ones where X holds: no branch to mispredict
        lastTrue = (i & held) | (lastTrue & ~held);
        o[i] = lastTrue < 0 ? kInv : float(i - lastTrue);
    };
    // Signals are rare: blocks of eight bars without one only count on from the last.
    int i = 0;
    for (; i + 8 <= e.n; i += 8) {
        uint32_t any = 0;
        for (int k = 0; k < 8; ++k) {
            any |= truth(x[i + k]) ? 1u : 0u;
        }
        if (any) {
            for (int k = 0; k < 8; ++k) {
                step(i + k);
            }
        } else if (lastTrue < 0) {
            std::fill(o + i, o + i + 8, kInv);
        } else {
            for (int k = 0; k < 8; ++k) {
                o[i + k] = float(i + k - lastTrue);
            }
        }
    }
    for (; i < e.n; ++i) {
        step(i);
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
const FunctionInfo kTable[] = {
    {"CROSS", 2, fnCross},           {"LONGCROSS", 3, fnLongcross},
    {"BARSLAST", 1, fnBarslast},     {"BARSCOUNT", 1, fnBarscount},
    {"BARSSINCEN", 2, fnBarssincen}, {"BACKSET", 2, fnBackset},
    {"CONST", 1, fnConst},           {"FILTER", 2, fnFilter},
    {"FILTERX", 2, fnFilterx},       {"ZIG", 2, fnZig},
};

}  // namespace

const FunctionInfo* signalFunctions(size_t* count) {
    *count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

}  // namespace fml
