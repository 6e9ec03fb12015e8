// "formula-plugin.dll" (slot 1, RURAZU1): swing tops and bottoms, trend turns, trend lines and
// resistance levels of the bars, and the consolidation boxes that 潜龙出海 marks.
//
// Selectors (a, b, c are the three arguments after the selector):
//   2  a = box length k at a signal bar: returns 1 on the bar k bars before (the box start),
//      2 on the signal bar, 3 on the bars in between, 0 elsewhere.
//   3  a = box marks (selector 2), b = high: the highest b over each box, on the box's bars.
//   4  a = box marks, b = low: the lowest b over each box, on the box's bars.
//   8  a = high, b = low: runs the swing analysis and keeps it for selector 9; returns 1.
//   9  a = which result of the last selector-8 analysis:
//        0 TB  1 on a swing top, 2 on a swing bottom, 0 elsewhere
//        3 TUD 1 where the trend turns up (a bottom above the previous bottom after a fall),
//              2 where it turns down (a top below the previous top after a rise)
//        5 TP  the pivot price (the top's high, the bottom's low) on pivot bars, missing elsewhere
//        6 TLU 1 and 2 at the first and last bottom of a run of rising bottoms (support line)
//        7 TLD 1 and 2 at the first and last top of a run of falling tops (resistance line)
//        8 TBL 1 at a top, 2 at the bar whose high first breaks above it
//        9 TBP the level of that top on the bars from the top to the break, missing elsewhere
//      Selector 9 fails when selector 8 has not run over the same number of bars.
#include "libformula/fml.h"
#include "libformula/fml_extension.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kSwingReach = 4;  // bars on each side that a swing extreme must dominate

struct SwingState {
    int bars = -1;
    std::vector<float> tb, tud, tp, tlu, tld, tbl, tbp;
};

bool missing(float v) {
    return v == FMLInvalidValue;
}

struct Pivot {
    int bar;
    int type;  // 1 top, 2 bottom
    float price;
};

bool bits(float v, uint32_t pattern) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b == pattern;
}

// Whether bar i dominates its neighbours within kSwingReach bars as a top and as a bottom. Ties
// go to the earlier bar so that a flat top gives one pivot. Without branches: on a random walk
// the outcome of each comparison cannot be predicted.
void dominates(int n, const float* h, const float* l, int i, bool* top, bool* bottom) {
    bool t = true, b = true;
    const float hi = h[i], lo = l[i];
    for (int k = std::max(0, i - kSwingReach); k <= std::min(n - 1, i + kSwingReach); ++k) {
        bool counts = (k != i) & !missing(h[k]) & !missing(l[k]);
        bool earlier = k < i;
        t &= !(counts & ((h[k] > hi) | ((h[k] == hi) & earlier)));
        b &= !(counts & ((l[k] < lo) | ((l[k] == lo) & earlier)));
    }
    *top = t;
    *bottom = b;
}

std::vector<Pivot> findPivots(int n, const float* h, const float* l) {
    // Bars with a full reach on both sides: the same tests one neighbour offset at a time over
    // all of them, so that the loops run in vector lanes.
    const int from = std::min(n, kSwingReach), to = std::max(from, n - kSwingReach);
    uint32_t invalid;
    std::memcpy(&invalid, &FMLInvalidValue, sizeof invalid);
    std::vector<uint32_t> tops(size_t(n), 1u), bottoms(size_t(n), 1u);
    for (int d = -kSwingReach; d <= kSwingReach; ++d) {
        if (d == 0) {
            continue;
        }
        const uint32_t earlier = d < 0 ? 1u : 0u;
        for (int i = from; i < to; ++i) {
            const int k = i + d;
            uint32_t counts = !bits(h[k], invalid) & !bits(l[k], invalid);
            uint32_t higher = (h[k] > h[i]) | ((h[k] == h[i]) & earlier);
            uint32_t lower = (l[k] < l[i]) | ((l[k] == l[i]) & earlier);
            tops[size_t(i)] &= ~(counts & higher) & 1u;
            bottoms[size_t(i)] &= ~(counts & lower) & 1u;
        }
    }
    std::vector<Pivot> raw;
    for (int i = 0; i < n; ++i) {
        if (missing(h[i]) || missing(l[i])) {
            continue;
        }
        bool top, bottom;
        if (i >= from && i < to) {
            top = tops[size_t(i)] != 0;
            bottom = bottoms[size_t(i)] != 0;
        } else {
            dominates(n, h, l, i, &top, &bottom);
        }
        if (top && !bottom) {
            raw.push_back({i, 1, h[i]});
        } else if (bottom && !top) {
            raw.push_back({i, 2, l[i]});
        }
    }
    // Tops and bottoms alternate: of two in a row keep the more extreme one.
    std::vector<Pivot> p;
    for (const Pivot& v : raw) {
        if (!p.empty() && p.back().type == v.type) {
            bool better = v.type == 1 ? v.price > p.back().price : v.price < p.back().price;
            if (better) {
                p.back() = v;
            }
            continue;
        }
        p.push_back(v);
    }
    return p;
}

void analyse(SwingState& s, int n, const float* h, const float* l) {
    s.bars = n;
    for (auto* v : {&s.tb, &s.tud, &s.tlu, &s.tld, &s.tbl}) {
        v->assign(size_t(n), 0.0f);
    }
    s.tp.assign(size_t(n), FMLInvalidValue);
    s.tbp.assign(size_t(n), FMLInvalidValue);
    std::vector<Pivot> p = findPivots(n, h, l);
    int trend = 0;  // 1 rising, -1 falling
    const Pivot* lastTop = nullptr;
    const Pivot* lastBottom = nullptr;
    for (const Pivot& v : p) {
        s.tb[size_t(v.bar)] = float(v.type);
        s.tp[size_t(v.bar)] = v.price;
        if (v.type == 2) {
            if (lastBottom && v.price > lastBottom->price && trend != 1) {
                s.tud[size_t(v.bar)] = 1;
                trend = 1;
            } else if (lastBottom && v.price < lastBottom->price) {
                trend = -1;
            }
            lastBottom = &v;
        } else {
            if (lastTop && v.price < lastTop->price && trend != -1) {
                s.tud[size_t(v.bar)] = 2;
                trend = -1;
            } else if (lastTop && v.price > lastTop->price) {
                trend = 1;
            }
            lastTop = &v;
        }
    }
    // Runs of rising bottoms and falling tops.
    auto runs = [&](int type, std::vector<float>& marks) {
        std::vector<const Pivot*> same;
        for (const Pivot& v : p) {
            if (v.type == type) {
                same.push_back(&v);
            }
        }
        size_t k = 0;
        while (k + 1 < same.size()) {
            size_t j = k;
            auto continues = [&](size_t a) {
                return type == 2 ? same[a + 1]->price > same[a]->price
                                 : same[a + 1]->price < same[a]->price;
            };
            while (j + 1 < same.size() && continues(j)) {
                ++j;
            }
            if (j > k) {
                marks[size_t(same[k]->bar)] = 1;
                marks[size_t(same[j]->bar)] = 2;
                k = j + 1;
            } else {
                ++k;
            }
        }
    };
    runs(2, s.tlu);
    runs(1, s.tld);
    // Resistance levels: from each top to the first bar whose high breaks above it. A newer top
    // on or before the break bar replaces the level.
    for (size_t k = 0; k < p.size(); ++k) {
        if (p[k].type != 1) {
            continue;
        }
        int t = p[k].bar;
        float level = p[k].price;
        int next = n;
        for (size_t m = k + 1; m < p.size(); ++m) {
            if (p[m].type == 1) {
                next = p[m].bar;
                break;
            }
        }
        for (int j = t + 1; j < n && j < next; ++j) {
            if (!missing(h[j]) && h[j] > level) {
                if (s.tbl[size_t(t)] == 0) {
                    s.tbl[size_t(t)] = 1;
                }
                s.tbl[size_t(j)] = 2;
                for (int b = t; b <= j; ++b) {
                    s.tbp[size_t(b)] = level;
                }
                break;
            }
        }
    }
}

// Boxes of 潜龙出海: a positive length k on bar i spans bars i-k .. i.
void boxes(int n, const float* len, float* out) {
    std::fill(out, out + n, 0.0f);
    for (int i = 0; i < n; ++i) {
        float v = len[i];
        if (missing(v) || !(v >= 1) || v > float(i)) {
            continue;
        }
        int start = i - int(v);
        if (start < 0) {
            continue;
        }
        for (int k = start + 1; k < i; ++k) {
            if (out[k] == 0) {
                out[k] = 3;
            }
        }
        out[start] = 1;
        out[i] = 2;
    }
}

template <bool High>
void boxExtreme(int n, const float* marks, const float* price, float* out) {
    std::fill(out, out + n, FMLInvalidValue);
    int start = -1;
    for (int i = 0; i < n; ++i) {
        if (marks[i] == 1) {
            start = i;
        } else if (marks[i] == 2 && start >= 0) {
            float ext = FMLInvalidValue;
            for (int k = start; k <= i; ++k) {
                float v = price[k];
                if (!missing(v) && (missing(ext) || (High ? v > ext : v < ext))) {
                    ext = v;
                }
            }
            for (int k = start; k <= i; ++k) {
                out[k] = ext;
            }
            start = -1;
        }
    }
}

void* create() {
    return new SwingState;
}
void destroy(void* s) {
    delete static_cast<SwingState*>(s);
}

int call(void* state, int selector, int n, const float* a, const float* b, const float*,
         float* out) {
    auto& s = *static_cast<SwingState*>(state);
    switch (selector) {
        case 2:
            boxes(n, a, out);
            return 1;
        case 3:
            boxExtreme<true>(n, a, b, out);
            return 1;
        case 4:
            boxExtreme<false>(n, a, b, out);
            return 1;
        case 8:
            analyse(s, n, a, b);
            std::fill(out, out + n, 1.0f);
            return 1;
        case 9: {
            if (s.bars != n) {
                return 0;
            }
            int which = -1;
            if (n == 0) {
                which = 0;
            } else if (!missing(a[n - 1]) && a[n - 1] >= 0 && a[n - 1] < 100) {
                which = int(a[n - 1]);
            }
            const std::vector<float>* src = nullptr;
            switch (which) {
                case 0:
                    src = &s.tb;
                    break;
                case 3:
                    src = &s.tud;
                    break;
                case 5:
                    src = &s.tp;
                    break;
                case 6:
                    src = &s.tlu;
                    break;
                case 7:
                    src = &s.tld;
                    break;
                case 8:
                    src = &s.tbl;
                    break;
                case 9:
                    src = &s.tbp;
                    break;
                default:
                    return 0;
            }
            std::copy(src->begin(), src->end(), out);
            return 1;
        }
        default:
            return 0;
    }
}

const fml_extension kSwing{FML_EXTENSION_VERSION, "formula-plugin.dll", create, destroy, call};

}  // namespace

extern "C" const fml_extension* fml_swing_extension(void) {
    return &kSwing;
}
