// "cl.dll" (slot 3, VADAZI3): stroke-and-pivot analysis of the bars, as 龙禅 draws it.
//
// The bars are first merged where one contains the other (in a rising sequence the merged bar
// keeps the higher high and the higher low, in a falling one the lower of both). Top fractals are
// merged bars higher than both neighbours, bottom fractals lower than both. Strokes join
// alternating fractals at least four merged bars apart, a top always above the bottoms around
// it; of two fractals of the same type in a row the more extreme one ends the stroke. A pivot
// zone is where three consecutive strokes overlap: its high is the lowest stroke high, its low
// the highest stroke low, and it grows while the following strokes still reach into it.
//
// Selectors (arguments a, b, c are high, low, close unless noted):
//   100  a = the chart period: returns it on every bar (kept for the other selectors)
//   1    KX    direction of the merged bar holding this bar: 1 rising, -1 falling
//   2    KXG   high of that merged bar          3  KXD  low of that merged bar
//   4    BI    1 on the bar of a stroke's top, -1 on the bar of a stroke's bottom, 0 elsewhere
//   6    BILAST direction of the stroke the bar belongs to (1 up, -1 down; the open stroke after
//              the last end point included), 0 before the first end point
//   9    ZSZG  pivot zone high on the zone's bars, missing elsewhere
//   10   ZSZD  pivot zone low on the zone's bars, missing elsewhere
//   11   ZSKS  zone type on its first bar: 1 when the zone's first stroke falls (a zone of a
//              decline), 2 when it rises; 0 elsewhere
//   12   ZSJS  the same type on the zone's last bar, 0 elsewhere
//   15   VALID 1 on the last bar of every merged bar, 0 elsewhere
#include "libformula/fml.h"
#include "libformula/fml_extension.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool missing(float v) {
    return v == FMLInvalidValue;
}

struct Merged {
    float hi, lo;
    int first, last;
    int hiBar, loBar;
    int dir;
};

struct End {
    int merged;
    int type;  // 1 top, -1 bottom
    int bar;
    float price;
};

struct Zone {
    int start, end, type;
    float zg, zd;
};

struct StrokeState {
    float period = 0;
    std::vector<float> h, l;  // inputs of the cached analysis
    bool valid = false;
    std::vector<float> kx, kxg, kxd, bi, bilast, zszg, zszd, zsks, zsjs, ok;
    // Working storage of the analysis, kept so that a run over new bars allocates nothing.
    std::vector<Merged> merged;
    std::vector<int> owner;
    std::vector<End> ends;
};

void analyse(StrokeState& s, int n, const float* h, const float* l) {
    if (s.valid && int(s.h.size()) == n &&
        (n == 0 || (std::memcmp(s.h.data(), h, sizeof(float) * size_t(n)) == 0 &&
                    std::memcmp(s.l.data(), l, sizeof(float) * size_t(n)) == 0))) {
        return;
    }
    s.h.assign(h, h + n);
    s.l.assign(l, l + n);
    s.valid = true;
    const float inv = FMLInvalidValue;
    for (auto* v : {&s.kx, &s.bi, &s.bilast, &s.zsks, &s.zsjs, &s.ok}) {
        v->assign(size_t(n), 0.0f);
    }
    for (auto* v : {&s.kxg, &s.kxd, &s.zszg, &s.zszd}) {
        v->assign(size_t(n), inv);
    }
    std::vector<Merged>& m = s.merged;
    m.clear();
    std::vector<int>& owner = s.owner;
    owner.assign(size_t(n), -1);
    for (int i = 0; i < n; ++i) {
        if (missing(h[i]) || missing(l[i])) {
            continue;
        }
        if (!m.empty()) {
            Merged& b = m.back();
            bool contains = ((h[i] >= b.hi) & (l[i] <= b.lo)) | ((h[i] <= b.hi) & (l[i] >= b.lo));
            if (contains) {
                // Rising: the higher high and low; falling: the lower. Selected without
                // branches, as the comparisons of a random walk come out at random.
                const bool up = b.dir >= 0;
                const bool newHi = (up & (h[i] > b.hi)) | (!up & (h[i] < b.hi));
                const bool newLo = (up & (l[i] > b.lo)) | (!up & (l[i] < b.lo));
                b.hi = newHi ? h[i] : b.hi;
                b.hiBar = newHi ? i : b.hiBar;
                b.lo = newLo ? l[i] : b.lo;
                b.loBar = newLo ? i : b.loBar;
                b.last = i;
                owner[size_t(i)] = int(m.size()) - 1;
                continue;
            }
        }
        int dir = m.empty() ? 1 : (h[i] > m.back().hi ? 1 : -1);
        m.push_back({h[i], l[i], i, i, i, i, dir});
        owner[size_t(i)] = int(m.size()) - 1;
    }
    for (int i = 0; i < n; ++i) {
        int o = owner[size_t(i)];
        if (o < 0) {
            continue;
        }
        s.kx[size_t(i)] = float(m[size_t(o)].dir);
        s.kxg[size_t(i)] = m[size_t(o)].hi;
        s.kxd[size_t(i)] = m[size_t(o)].lo;
        s.ok[size_t(i)] = float(m[size_t(o)].last == i);
    }
    // Fractals and strokes.
    std::vector<End>& ends = s.ends;
    ends.clear();
    for (size_t k = 1; k + 1 < m.size(); ++k) {
        int type = 0;
        if (m[k].hi > m[k - 1].hi && m[k].hi > m[k + 1].hi) {
            type = 1;
        } else if (m[k].lo < m[k - 1].lo && m[k].lo < m[k + 1].lo) {
            type = -1;
        }
        if (type == 0) {
            continue;
        }
        End e{int(k), type, type == 1 ? m[k].hiBar : m[k].loBar, type == 1 ? m[k].hi : m[k].lo};
        if (ends.empty()) {
            ends.push_back(e);
            continue;
        }
        End& last = ends.back();
        if (last.type == type) {
            if ((type == 1 && e.price > last.price) || (type == -1 && e.price < last.price)) {
                last = e;
            }
        } else if (e.merged - last.merged >= 4 &&
                   ((type == 1 && e.price > last.price) || (type == -1 && e.price < last.price))) {
            ends.push_back(e);
        }
    }
    for (const End& e : ends) {
        s.bi[size_t(e.bar)] = float(e.type);
    }
    for (size_t k = 0; k < ends.size(); ++k) {
        int from = ends[k].bar;
        int to = k + 1 < ends.size() ? ends[k + 1].bar : n - 1;
        float dir = ends[k].type == 1 ? -1.0f : 1.0f;
        for (int i = from + (k == 0 ? 0 : 1); i <= to; ++i) {
            s.bilast[size_t(i)] = dir;
        }
    }
    // Pivot zones over consecutive strokes.
    size_t strokes = ends.size() >= 2 ? ends.size() - 1 : 0;
    auto hiOf = [&](size_t k) { return std::max(ends[k].price, ends[k + 1].price); };
    auto loOf = [&](size_t k) { return std::min(ends[k].price, ends[k + 1].price); };
    size_t k = 0;
    while (k + 2 < strokes) {
        float zg = std::min({hiOf(k), hiOf(k + 1), hiOf(k + 2)});
        float zd = std::max({loOf(k), loOf(k + 1), loOf(k + 2)});
        if (zg <= zd) {
            ++k;
            continue;
        }
        size_t j = k + 3;
        while (j < strokes && hiOf(j) >= zd && loOf(j) <= zg) {
            ++j;
        }
        Zone z{ends[k].bar, ends[j].bar, ends[k].type == 1 ? 1 : 2, zg, zd};
        for (int i = z.start; i <= z.end; ++i) {
            s.zszg[size_t(i)] = z.zg;
            s.zszd[size_t(i)] = z.zd;
        }
        s.zsks[size_t(z.start)] = float(z.type);
        s.zsjs[size_t(z.end)] = float(z.type);
        // The stroke that leaves the zone belongs to no zone, so zones never share a bar.
        k = j + 1;
    }
}

void* create() {
    return new StrokeState;
}
void destroy(void* s) {
    delete static_cast<StrokeState*>(s);
}

int call(void* state, int selector, int n, const float* a, const float* b, const float*,
         float* out) {
    auto& s = *static_cast<StrokeState*>(state);
    if (selector == 100) {
        s.period = n > 0 ? a[n - 1] : 0;
        std::copy(a, a + n, out);
        return 1;
    }
    const std::vector<float>* src = nullptr;
    switch (selector) {
        case 1:
            src = &s.kx;
            break;
        case 2:
            src = &s.kxg;
            break;
        case 3:
            src = &s.kxd;
            break;
        case 4:
            src = &s.bi;
            break;
        case 6:
            src = &s.bilast;
            break;
        case 9:
            src = &s.zszg;
            break;
        case 10:
            src = &s.zszd;
            break;
        case 11:
            src = &s.zsks;
            break;
        case 12:
            src = &s.zsjs;
            break;
        case 15:
            src = &s.ok;
            break;
        default:
            return 0;
    }
    analyse(s, n, a, b);
    std::copy(src->begin(), src->end(), out);
    return 1;
}

const fml_extension kStroke{FML_EXTENSION_VERSION, "cl.dll", create, destroy, call};

}  // namespace

extern "C" const fml_extension* fml_stroke_extension(void) {
    return &kStroke;
}
