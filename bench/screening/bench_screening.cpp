// Figures of the screening service: one screen of the whole market (block 1110, the full
// generated universe), the last 500 daily bars of each security, one condition, on 1 and 2
// workers. The histories are generated before timing, as a running server has them.
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/screening/condition_set.h"
#include "server/screening/screener.h"

#include <benchmark/benchmark.h>

#include <QJsonArray>

using namespace vq::market;
using namespace vq::screening;

namespace {

Market& market() {
    static std::unique_ptr<Market> m = [] {
        Options o;
        o.clock = ClockMode::Manual;
        o.startTime = beijingTime(20240614, 14, 0);
        auto made = Market::create(o);
        return made;
    }();
    return *m;
}

// The server keeps the recent bars between screens.
RecentBars& recent() {
    static RecentBars r(market());
    return r;
}

void screenBlock(benchmark::State& state, const QJsonObject& condition, int block) {
    Market& m = market();
    ScreenRequest request;
    RequestError error;
    const QJsonObject body{{"conditions", QJsonArray{condition}}, {"block", block}, {"bars", 500}};
    if (!parseScreenRequest(body, &request, &error)) {
        state.SkipWithError(error.message.c_str());
        return;
    }
    const std::vector<int> universe = screenUniverse(m, request);
    size_t found = 0;
    {
        ScreenProgress warm;  // the first screen of a day reads the stored bars: untimed
        runScreen(m, request, universe, 2, &warm, &recent());
    }
    for (auto _ : state) {
        ScreenProgress progress;
        found = runScreen(m, request, universe, int(state.range(0)), &progress, &recent()).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["securities"] = double(universe.size());
    state.counters["matches"] = double(found);
    // Securities per second of wall time; its inverse is the cost of one security.
    state.counters["securities_per_s"] =
        benchmark::Counter(double(universe.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void screenWholeMarket(benchmark::State& state, const QJsonObject& condition) {
    screenBlock(state, condition, 1110);
}

void BM_ScreenCloseAboveMa20(benchmark::State& state) {
    screenWholeMarket(state, QJsonObject{{"text", "C>MA(C,20)"}});
}
void BM_ScreenMaCross(benchmark::State& state) {
    screenWholeMarket(state, QJsonObject{{"text", "CROSS(MA(C,5),MA(C,10))"}});
}
void BM_ScreenBuiltinKdj(benchmark::State& state) {
    screenWholeMarket(state,
                      QJsonObject{{"formula", "KDJ"}, {"output", "J"}, {"op", "<"}, {"value", 0}});
}

// 300 members: their histories stay in the market's cache between runs.
void BM_ScreenHs300CloseAboveMa20(benchmark::State& state) {
    screenBlock(state, QJsonObject{{"text", "C>MA(C,20)"}}, 1116);
}

}  // namespace

BENCHMARK(BM_ScreenHs300CloseAboveMa20)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenCloseAboveMa20)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScreenMaCross)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScreenBuiltinKdj)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
