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

const Series& bars(int n) {
    static Series s10k, s1m;
    Series& s = n == 10000 ? s10k : s1m;
    if (s.bars.size() != size_t(n)) {
        s.bars = testbars::walk(n);
    }
    return s;
}

void runVm(benchmark::State& state, const char* name) {
    int n = int(state.range(0));
    Series s = bars(n);
    ChartVm vm;
    auto inst = registry().find(QString::fromUtf8(name))->create(vm.vm);
    for (auto _ : state) {
        int ok = vm.run(inst->ctx, s);
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// ---- plain loops ----
struct Out {
    std::vector<std::vector<float>> lines;
    explicit Out(size_t count, size_t n) : lines(count, std::vector<float>(n)) {}
};

void ma(const std::vector<Bar>& b, float Bar::*f, int N, float* o) {
    double sum = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        sum += b[i].*f;
        if (i >= size_t(N))
            sum -= b[i - size_t(N)].*f;
        o[i] = i + 1 >= size_t(N) ? float(sum / N) : kInv;
    }
}
void maOf(const float* x, size_t n, int N, float* o) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += x[i];
        if (i >= size_t(N))
            sum -= x[i - size_t(N)];
        o[i] = i + 1 >= size_t(N) ? float(sum / N) : kInv;
    }
}
void ema(const float* x, size_t n, int N, float* o) {
    double a = 2.0 / (N + 1), y = n ? x[0] : 0;
    for (size_t i = 0; i < n; ++i) {
        y = a * x[i] + (1 - a) * y;
        o[i] = float(y);
    }
}
void plainMa(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    Out o(4, b.size());
    for (auto _ : state) {
        int periods[] = {5, 10, 20, 60};
        for (int k = 0; k < 4; ++k)
            ma(b, &Bar::close, periods[k], o.lines[size_t(k)].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(b.size()));
}

void plainEma(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    Out o(3, b.size());
    for (auto _ : state) {
        float* c = o.lines[2].data();
        for (size_t i = 0; i < b.size(); ++i)
            c[i] = b[i].close;
        ema(c, b.size(), 12, o.lines[0].data());
        ema(c, b.size(), 50, o.lines[1].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(b.size()));
}

void plainMacd(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    size_t n = b.size();
    Out o(3, n);
    for (auto _ : state) {
        double fast = 0, slow = 0, dea = 0;
        for (size_t i = 0; i < n; ++i) {
            double c = b[i].close;
            fast = i == 0 ? c : (2 * c + 11 * fast) * (1.0 / 13);
            slow = i == 0 ? c : (2 * c + 25 * slow) * (1.0 / 27);
            float dif = float(fast) - float(slow);
            dea = i == 0 ? dif : (2 * dif + 8 * dea) * 0.1;
            o.lines[0][i] = dif;
            o.lines[1][i] = float(dea);
            o.lines[2][i] = (dif - float(dea)) * 2;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(n));
}

void plainKdj(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    size_t n = b.size();
    Out o(4, n);
    for (auto _ : state) {
        // Monotonic queues of bar indices in flat arrays.
        std::vector<size_t> hq(n), lq(n);
        size_t hh = 0, ht = 0, lh = 0, lt = 0;
        double k = 0, d = 0;
        bool have = false;
        for (size_t i = 0; i < n; ++i) {
            while (ht > hh && b[hq[ht - 1]].high <= b[i].high)
                --ht;
            hq[ht++] = i;
            while (lt > lh && b[lq[lt - 1]].low >= b[i].low)
                --lt;
            lq[lt++] = i;
            if (hq[hh] + 9 <= i)
                ++hh;
            if (lq[lh] + 9 <= i)
                ++lh;
            float h = b[hq[hh]].high, l = b[lq[lh]].low;
            float rsv = h == l ? kInv : (b[i].close - l) / (h - l) * 100;
            if (rsv != kInv) {
                k = have ? (rsv + 2 * k) * (1.0 / 3) : rsv;
                d = have ? (k + 2 * d) * (1.0 / 3) : k;
                have = true;
            }
            o.lines[0][i] = rsv;
            o.lines[1][i] = float(k);
            o.lines[2][i] = float(d);
            o.lines[3][i] = float(3 * k - 2 * d);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(n));
}

void plainRsi(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    size_t n = b.size();
    Out o(3, n);
    for (auto _ : state) {
        int periods[] = {6, 12, 24};
        for (int p = 0; p < 3; ++p) {
            int N = periods[p];
            double up = 0, all = 0;
            bool have = false;
            for (size_t i = 0; i < n; ++i) {
                if (i == 0) {
                    o.lines[size_t(p)][i] = kInv;
                    continue;
                }
                double diff = b[i].close - b[i - 1].close;
                double u = std::max(diff, 0.0), a = std::fabs(diff);
                double w = 1.0 / N;
                up = have ? w * u + (1 - w) * up : u;
                all = have ? w * a + (1 - w) * all : a;
                have = true;
                o.lines[size_t(p)][i] = all == 0 ? kInv : float(up / all * 100);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(n));
}

void plainBoll(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    size_t n = b.size();
    Out o(3, n);
    const int N = 26;
    for (auto _ : state) {
        double s = 0, q = 0;
        for (size_t i = 0; i < n; ++i) {
            double c = b[i].close;
            s += c;
            q += c * c;
            if (i >= size_t(N)) {
                double w = b[i - N].close;
                s -= w;
                q -= w * w;
            }
            if (i + 1 < size_t(N)) {
                o.lines[0][i] = o.lines[1][i] = o.lines[2][i] = kInv;
                continue;
            }
            double m = s * (1.0 / N);
            double sd = std::sqrt(std::max(0.0, (q - s * s * (1.0 / N)) * (1.0 / (N - 1))));
            o.lines[0][i] = float(m);
            o.lines[1][i] = float(m + 2 * sd);
            o.lines[2][i] = float(m - 2 * sd);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(n));
}

// BOLL's outputs include its candles: the same loop plus gathering the four price series that the
// candle record points to, as the VM must.
void plainBollWithCandles(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    size_t n = b.size();
    Out o(7, n);
    const int N = 26;
    for (auto _ : state) {
        double s = 0, q = 0;
        for (size_t i = 0; i < n; ++i) {
            o.lines[3][i] = b[i].high;
            o.lines[4][i] = b[i].open;
            o.lines[5][i] = b[i].low;
            o.lines[6][i] = b[i].close;
            double c = b[i].close;
            s += c;
            q += c * c;
            if (i >= size_t(N)) {
                double w = b[i - N].close;
                s -= w;
                q -= w * w;
            }
            if (i + 1 < size_t(N)) {
                o.lines[0][i] = o.lines[1][i] = o.lines[2][i] = kInv;
                continue;
            }
            double m = s * (1.0 / N);
            double sd = std::sqrt(std::max(0.0, (q - s * s * (1.0 / N)) * (1.0 / (N - 1))));
            o.lines[0][i] = float(m);
            o.lines[1][i] = float(m + 2 * sd);
            o.lines[2][i] = float(m - 2 * sd);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(n));
}

void plainVol(benchmark::State& state) {
    const auto& b = bars(int(state.range(0))).bars;
    Out o(3, b.size());
    for (auto _ : state) {
        for (size_t i = 0; i < b.size(); ++i)
            o.lines[0][i] = b[i].vol;
        maOf(o.lines[0].data(), b.size(), 5, o.lines[1].data());
        maOf(o.lines[0].data(), b.size(), 10, o.lines[2].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(b.size()));
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
    Series s = bars(10000);
    ChartVm vm;
    std::vector<std::shared_ptr<Formula>> layout;
    for (const char* name : {"KLINE", "MA", "VOL", "MACD"}) {
        layout.push_back(registry().find(name)->create(vm.vm));
    }
    for (auto _ : state) {
        for (const auto& f : layout) {
            benchmark::DoNotOptimize(vm.run(f->ctx, s));
        }
    }
}

void strategy(benchmark::State& state, QString name) {
    Series s = bars(10000);
    ChartVm vm;
    auto inst = registry().find(name)->create(vm.vm);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vm.run(inst->ctx, s));
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
