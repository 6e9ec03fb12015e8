// Figures of the market: building it, publishing versions, reading snapshots from many
// threads while the simulator writes, and the series the quote service asks for.
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/market_http/documents.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

using namespace vq::market;

namespace {

constexpr int kDay = 20240614;

Options fullMarket(int hour, int minute) {
    Options o;
    o.clock = ClockMode::Manual;
    o.startTime = beijingTime(kDay, hour, minute);
    return o;
}

Market& shared() {
    static std::unique_ptr<Market> m = Market::create(fullMarket(10, 0));
    return *m;
}

long rssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_Create(benchmark::State& state) {
    for (auto _ : state) {
        auto m = Market::create(fullMarket(9, 0));
        benchmark::DoNotOptimize(m.get());
    }
}
BENCHMARK(BM_Create)->Unit(benchmark::kMillisecond)->Iterations(3);

// Demo start: the universe plus twenty minutes of trading simulated on the spot.
void BM_CreateDemoStart(benchmark::State& state) {
    for (auto _ : state) {
        Options o;
        o.clock = ClockMode::Demo;
        auto m = Market::create(o);
        benchmark::DoNotOptimize(m.get());
    }
}
BENCHMARK(BM_CreateDemoStart)->Unit(benchmark::kMillisecond)->Iterations(2);

// One market second of simulation (a third of the securities act) and its publication.
void BM_StepAndPublish(benchmark::State& state) {
    auto m = Market::create(fullMarket(10, 0));
    int64_t t = beijingTime(kDay, 10, 0);
    size_t changed = 0;
    for (auto _ : state) {
        m->advanceTo(++t);
        changed += m->snapshot()->changed.size();
    }
    state.counters["changed/version"] = double(changed) / double(state.iterations());
}
BENCHMARK(BM_StepAndPublish)->Unit(benchmark::kMicrosecond);

// Reading: take the latest version and read 500 quotes, from 1 … 8 threads, while a writer
// publishes as fast as it can.
void BM_ReadWhilePublishing(benchmark::State& state) {
    static std::unique_ptr<Market> owner;
    static std::atomic<Market*> shared{nullptr};
    static std::atomic<bool> stop{false};
    static std::thread writer;
    if (state.thread_index() == 0) {
        owner = Market::create(fullMarket(10, 0));
        stop = false;
        writer = std::thread([] {
            int64_t t = beijingTime(kDay, 10, 0);
            while (!stop)
                owner->advanceTo(++t);
        });
        shared = owner.get();
    }
    // Everyone waits for the market built by thread 0.
    while (!shared.load())
        std::this_thread::yield();
    Market* m = shared.load();
    double sum = 0;
    uint64_t firstVersion = 0, lastVersion = 0;
    for (auto _ : state) {
        const SnapshotPtr s = m->snapshot();
        if (!firstVersion)
            firstVersion = s->version;
        lastVersion = s->version;
        for (int i = 0; i < 500; ++i)
            sum += s->quote((i * 7) % s->size()).close;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 500);
    if (state.thread_index() == 0) {
        state.counters["versions seen"] = double(lastVersion - firstVersion);
        stop = true;
        writer.join();
        shared = nullptr;  // the loop's end barrier has passed: nobody reads it any more
        owner.reset();
    }
}
BENCHMARK(BM_ReadWhilePublishing)->ThreadRange(1, 8)->UseRealTime()->MinTime(0.5);

void BM_DayKLine9999(benchmark::State& state) {
    Market& m = shared();
    const int i = 100;                // a stock, with its dividends
    m.kline(i, Cycle::Day, 0, 9999);  // generated once, then cached
    for (auto _ : state)
        benchmark::DoNotOptimize(m.kline(i, Cycle::Day, 0, 9999, Adjust(state.range(0))));
}
BENCHMARK(BM_DayKLine9999)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_FiveMinuteKLine(benchmark::State& state) {
    Market& m = shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(m.kline(100, Cycle::Min5, 0, state.range(0)));
}
BENCHMARK(BM_FiveMinuteKLine)->Arg(240)->Arg(2048)->Unit(benchmark::kMicrosecond);

void BM_IndexHistoryFirstBuild(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto m = Market::create(fullMarket(9, 0));
        const int i = m->find("1A0001", 1);
        state.ResumeTiming();
        benchmark::DoNotOptimize(m->kline(i, Cycle::Day, 0, 9999));
    }
}
BENCHMARK(BM_IndexHistoryFirstBuild)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Ticks(benchmark::State& state) {
    Market& m = shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(m.ticks(100, -1, 200));
}
BENCHMARK(BM_Ticks)->Unit(benchmark::kMicrosecond);

void BM_BreadthDocument(benchmark::State& state) {
    Market& m = shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(vq::market_http::breadthDocument(m));
}
BENCHMARK(BM_BreadthDocument)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    {
        const auto t0 = std::chrono::steady_clock::now();
        Options o;
        o.clock = ClockMode::Demo;
        auto m = Market::create(o);
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("demo start: %.3f s, %zu securities, RSS %ld MB\n", secs,
                    m->securities().size(), rssKb() / 1024);
        // Two whole days simulated at the live pace (three-second steps), every tenth day
        // series and the minute lines touched: the memory a long-running server needs.
        auto r = Market::create(fullMarket(9, 0));
        const auto s0 = std::chrono::steady_clock::now();
        for (int day : {kDay, 20240617})
            for (int64_t t = beijingTime(day, 9, 15); t <= beijingTime(day, 15, 0); t += 1500)
                r->advanceTo(std::min(t, beijingTime(day, 15, 0)));
        r->advanceTo(beijingTime(20240617, 15, 0));
        const double simSecs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - s0).count();
        for (size_t i = 0; i < r->securities().size(); i += 10) {
            r->kline(int(i), Cycle::Day, 0, 9999);
            r->minutes(int(i), kDay);
        }
        std::printf("two simulated days (%.1f s of simulation for 8 trading hours): RSS %ld MB\n",
                    simSecs, rssKb() / 1024);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
