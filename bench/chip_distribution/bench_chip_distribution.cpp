// The chip distribution recomputed for one crosshair move over 2,000 daily bars: a stock around
// 20 yuan and an index around 3,000 points, in each of the three chip types.
#include "chart/chip_distribution.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kBars = 2000;

std::vector<KData> walk(int n, float start, float turnover) {
    std::vector<KData> bars(static_cast<size_t>(n));
    uint32_t seed = 4242;
    auto rnd = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return float((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    float price = start;
    for (int k = 0; k < n; ++k) {
        KData& d = bars[size_t(k)];
        const float open = price;
        const float close = std::max(start * 0.2f, open * (1 + (rnd() - 0.5f) * 0.06f));
        d.open = open;
        d.close = close;
        d.high = std::max(open, close) * (1 + rnd() * 0.02f);
        d.low = std::min(open, close) * (1 - rnd() * 0.02f);
        d.vol = 10000 + rnd() * 90000;
        d.aux = turnover * (0.5f + rnd());
        price = close;
    }
    return bars;
}

void crosshairMove(benchmark::State& state, float start, float turnover) {
    const std::vector<KData> bars = walk(kBars, start, turnover);
    ChipEngine engine;
    engine.setDecimal(2);
    engine.setType(int(state.range(0)));
    engine.setBars(bars.data(), bars.size());
    size_t count = bars.size();
    for (auto _ : state) {
        // The crosshair walks back and forth over the newest bars.
        count = count == bars.size() ? bars.size() - 30 : count + 1;
        engine.setBarCount(count);
        engine.recompute();
        benchmark::DoNotOptimize(engine.averageCost());
    }
    state.counters["buckets"] = double(engine.chips().size());
}

void BM_StockCrosshairMove(benchmark::State& state) {
    crosshairMove(state, 20.0f, 2.0f);
}
void BM_IndexCrosshairMove(benchmark::State& state) {
    crosshairMove(state, 3000.0f, 1.0f);
}

}  // namespace

BENCHMARK(BM_StockCrosshairMove)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexCrosshairMove)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
