// The formula VM against plain loops computing the same indicators, the default K-line layout,
// every strategy formula, and compiling every built-in.
#include "formula/builtins.h"
#include "formula/formula_service.h"
#include "tests/libformula/test_bars.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

using namespace formula;
using testbars::Bar;
using testbars::ChartVm;
using testbars::Column;
using testbars::Series;

namespace {

const float kInv = FMLInvalidValue;

FormulaService& registry() {
    static FormulaService* s = [] {
        auto* r = new FormulaService;
        registerBuiltinFormulas(*r);
        return r;
    }();
    return *s;
}

// Bars from one long bounded walk. At 10k bars every iteration reads the next of several slices
// spread over it, so neither side runs over one series the branch predictor has learnt; at 1M the
// whole walk is one series.
constexpr int kLongWalk = 1000000;
constexpr int kSliceCount = 16;

std::vector<Series>& slices(int n) {
    static std::vector<Bar> walk = testbars::meanRevertingWalk(kLongWalk);
    static std::vector<Series> tenK, whole;
    std::vector<Series>& set = n >= kLongWalk ? whole : tenK;
    if (set.empty()) {
        int count = n >= kLongWalk ? 1 : kSliceCount;
        int len = std::min(n, kLongWalk);
        for (int k = 0; k < count; ++k) {
            size_t from = size_t(kLongWalk - len) / size_t(count) * size_t(k);
            Series s;
            s.bars.assign(walk.begin() + long(from), walk.begin() + long(from) + len);
            set.push_back(std::move(s));
        }
    }
    return set;
}

// The next slice to read: a cycle through the set, one step per iteration.
struct Cycle {
    std::vector<Series>& set;
    size_t at = 0;
    explicit Cycle(int n) : set(slices(n)) {}
    Series& next() {
        Series& s = set[at];
        at = at + 1 == set.size() ? 0 : at + 1;
        return s;
    }
};

void runVm(benchmark::State& state, const char* name) {
    int n = int(state.range(0));
    Cycle bars(n);
    ChartVm vm;
    auto inst = registry().find(QString::fromUtf8(name))->create(vm.vm);
    for (auto _ : state) {
        int ok = vm.run(inst->ctx, bars.next());
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// ---- plain loops ----
// Each computes in one pass what the formula computes, with the formula's definitions: MA and STD
// over windows of the last N bars (STD with divisor N-1), EMA and SMA starting from the first
// value, float results combined in float the way the formula's operators combine them.
struct Out {
    std::vector<std::vector<float>> lines;
    explicit Out(size_t count, size_t n) : lines(count, std::vector<float>(n)) {}
    float* operator[](size_t k) { return lines[k].data(); }
};

// The columns a plain loop reads: the same gathered columns the chart hands the VM.
struct Columns {
    const float *open, *high, *low, *close, *vol;
    explicit Columns(const Series& s)
        : open(s.column(Column::Open).data()),
          high(s.column(Column::High).data()),
          low(s.column(Column::Low).data()),
          close(s.column(Column::Close).data()),
          vol(s.column(Column::Volume).data()) {}
};

template <class Body>
void plainLoop(benchmark::State& state, size_t outputs, Body body) {
    int n = int(state.range(0));
    Cycle bars(n);
    for (Series& s : bars.set) {
        Columns warm(s);
    }
    Out o(outputs, size_t(n));
    for (auto _ : state) {
        Series& s = bars.next();
        body(Columns(s), s.bars.size(), o);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// A moving sum over the last N values; `mean` reads the window's mean once it is full.
struct Window {
    int N;
    double sum = 0;
    float mean(size_t i, float add, float drop) {
        sum += add;
        if (i >= size_t(N))
            sum -= drop;
        return i + 1 >= size_t(N) ? float(sum / N) : kInv;
    }
};

// EMA(X,N) and SMA(X,N,M): Y = w*X + (1-w)*Y', the first value as it is.
struct Smooth {
    double w;
    double y = 0;
    bool have = false;
    float step(float x) {
        y = have ? w * x + (1 - w) * y : x;
        have = true;
        return float(y);
    }
};

void plainMa(benchmark::State& state) {
    plainLoop(state, 4, [](const Columns& b, size_t n, Out& o) {
        Window w[4] = {{5}, {10}, {20}, {60}};
        for (size_t i = 0; i < n; ++i) {
            float c = b.close[i];
            for (int k = 0; k < 4; ++k)
                o[size_t(k)][i] = w[k].mean(i, c, i >= size_t(w[k].N) ? b.close[i - w[k].N] : 0);
        }
    });
}

void plainEma(benchmark::State& state) {
    plainLoop(state, 2, [](const Columns& b, size_t n, Out& o) {
        Smooth e12{2.0 / 13}, e50{2.0 / 51};
        for (size_t i = 0; i < n; ++i) {
            o[0][i] = e12.step(b.close[i]);
            o[1][i] = e50.step(b.close[i]);
        }
    });
}

void plainMacd(benchmark::State& state) {
    plainLoop(state, 3, [](const Columns& b, size_t n, Out& o) {
        Smooth fast{2.0 / 13}, slow{2.0 / 27}, dea{2.0 / 10};
        for (size_t i = 0; i < n; ++i) {
            float dif = fast.step(b.close[i]) - slow.step(b.close[i]);
            float d = dea.step(dif);
            o[0][i] = dif;
            o[1][i] = d;
            o[2][i] = (dif - d) * 2;
        }
    });
}

// RSV over the highest high and lowest low of the last 9 bars (fewer at the start), kept by
// monotonic queues; a flat window has no RSV, and K and D then keep their state.
void plainKdj(benchmark::State& state) {
    std::vector<size_t> hq(size_t(state.range(0))), lq(hq.size());
    plainLoop(state, 4, [&](const Columns& b, size_t n, Out& o) {
        size_t hh = 0, ht = 0, lh = 0, lt = 0;
        Smooth k{1.0 / 3}, d{1.0 / 3};
        for (size_t i = 0; i < n; ++i) {
            while (ht > hh && b.high[hq[ht - 1]] <= b.high[i])
                --ht;
            hq[ht++] = i;
            while (lt > lh && b.low[lq[lt - 1]] >= b.low[i])
                --lt;
            lq[lt++] = i;
            if (hq[hh] + 9 <= i)
                ++hh;
            if (lq[lh] + 9 <= i)
                ++lh;
            float h = b.high[hq[hh]], l = b.low[lq[lh]];
            if (h == l) {
                o[0][i] = o[1][i] = o[2][i] = o[3][i] = kInv;
                continue;
            }
            float rsv = (b.close[i] - l) / (h - l) * 100;
            float kv = k.step(rsv), dv = d.step(kv);
            o[0][i] = rsv;
            o[1][i] = kv;
            o[2][i] = dv;
            o[3][i] = 3 * kv - 2 * dv;
        }
    });
}

void plainRsi(benchmark::State& state) {
    plainLoop(state, 3, [](const Columns& b, size_t n, Out& o) {
        const int periods[] = {6, 12, 24};
        Smooth up[3], all[3];
        for (int p = 0; p < 3; ++p)
            up[p].w = all[p].w = 1.0 / periods[p];
        for (size_t i = 0; i < n; ++i) {
            if (i == 0) {
                o[0][i] = o[1][i] = o[2][i] = kInv;
                continue;
            }
            float diff = b.close[i] - b.close[i - 1];
            float u = std::max(diff, 0.0f), a = std::fabs(diff);
            for (int p = 0; p < 3; ++p) {
                float su = up[p].step(u), sa = all[p].step(a);
                o[size_t(p)][i] = sa == 0 ? kInv : su / sa * 100;
            }
        }
    });
}

// BOLL: MA(C,26) and MA(C,26) +- 2 * the sample standard deviation of the same window.
void bollLoop(const Columns& b, size_t n, Out& o, bool candles) {
    const int N = 26;
    double s = 0, q = 0;
    for (size_t i = 0; i < n; ++i) {
        if (candles) {
            o[3][i] = b.high[i];
            o[4][i] = b.open[i];
            o[5][i] = b.low[i];
            o[6][i] = b.close[i];
        }
        double c = b.close[i];
        s += c;
        q += c * c;
        if (i >= size_t(N)) {
            double w = b.close[i - N];
            s -= w;
            q -= w * w;
        }
        if (i + 1 < size_t(N)) {
            o[0][i] = o[1][i] = o[2][i] = kInv;
            continue;
        }
        float m = float(s * (1.0 / N));
        float sd = std::sqrt(float(std::max(0.0, (q - s * s * (1.0 / N)) * (1.0 / (N - 1)))));
        o[0][i] = m;
        o[1][i] = m + 2 * sd;
        o[2][i] = m - 2 * sd;
    }
}

void plainBoll(benchmark::State& state) {
    plainLoop(state, 3, [](const Columns& b, size_t n, Out& o) { bollLoop(b, n, o, false); });
}

// BOLL's outputs include its candles: the same loop plus gathering the four price series that the
// candle record points to, as the VM must.
void plainBollWithCandles(benchmark::State& state) {
    plainLoop(state, 7, [](const Columns& b, size_t n, Out& o) { bollLoop(b, n, o, true); });
}

void plainVol(benchmark::State& state) {
    plainLoop(state, 3, [](const Columns& b, size_t n, Out& o) {
        Window m5{5}, m10{10};
        for (size_t i = 0; i < n; ++i) {
            float v = b.vol[i];
            o[0][i] = v;
            o[1][i] = m5.mean(i, v, i >= 5 ? b.vol[i - 5] : 0);
            o[2][i] = m10.mean(i, v, i >= 10 ? b.vol[i - 10] : 0);
        }
    });
}

void vmMa(benchmark::State& s) {
    runVm(s, "MA");
}
void vmEma(benchmark::State& s) {
    runVm(s, "EXPMA");
}
void vmMacd(benchmark::State& s) {
    runVm(s, "MACD");
}
void vmKdj(benchmark::State& s) {
    runVm(s, "KDJ");
}
void vmRsi(benchmark::State& s) {
    runVm(s, "RSI");
}
void vmBoll(benchmark::State& s) {
    runVm(s, "BOLL");
}
void vmVol(benchmark::State& s) {
    runVm(s, "VOL");
}
void vmMboll(benchmark::State& s) {
    runVm(s, "MBOLL");
}

// The default K-line view: the candles with MA on the main chart, VOL and MACD below.
void defaultLayout(benchmark::State& state) {
    Cycle bars(10000);
    ChartVm vm;
    std::vector<std::shared_ptr<Formula>> layout;
    for (const char* name : {"KLINE", "MA", "VOL", "MACD"}) {
        layout.push_back(registry().find(name)->create(vm.vm));
    }
    for (auto _ : state) {
        Series& s = bars.next();
        for (const auto& f : layout) {
            benchmark::DoNotOptimize(vm.run(f->ctx, s));
        }
    }
}

void strategy(benchmark::State& state, QString name) {
    Cycle bars(10000);
    ChartVm vm;
    auto inst = registry().find(name)->create(vm.vm);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vm.run(inst->ctx, bars.next()));
    }
}

void compileAll(benchmark::State& state) {
    Compiler c;
    for (auto _ : state) {
        for (size_t i = 0; i < builtinCount(); ++i) {
            Program p;
            benchmark::DoNotOptimize(c.compile(builtin(i).program, &p, nullptr));
        }
    }
}

}  // namespace

#define INDICATOR(plain, vm)                                                   \
    BENCHMARK(plain)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond); \
    BENCHMARK(vm)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
INDICATOR(plainMa, vmMa)
INDICATOR(plainEma, vmEma)
INDICATOR(plainMacd, vmMacd)
INDICATOR(plainKdj, vmKdj)
INDICATOR(plainRsi, vmRsi)
// BOLL draws its own candles: like for like, the plain loop gathers them too; MBOLL is the same
// three curves without candles.
INDICATOR(plainBollWithCandles, vmBoll)
INDICATOR(plainBoll, vmMboll)
INDICATOR(plainVol, vmVol)
BENCHMARK(defaultLayout)->Unit(benchmark::kMicrosecond);
BENCHMARK(compileAll)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    for (const auto& f : registry().formulas()) {
        if (f->code != f->name) {  // the strategy formulas
            benchmark::RegisterBenchmark(("strategy/" + f->code.toStdString()).c_str(), strategy,
                                         f->name)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
