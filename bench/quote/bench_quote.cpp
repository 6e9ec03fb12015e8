// Figures of the quote path (a universe of 4500 A shares, so the whole-market block holds
// over 5000 securities): latency from request to callback over loopback, snapshot
// records per second through the engine, the service's sort and page of a large block, a
// 9999-bar day K-line end to end, and the code list into the local dictionary.
//
//   build/bench/quote/bench_quote
#include "../../tests/libquote/quote_fixture.h"

#include "protocol/messages.h"
#include "quote/stock_dictionary.h"
#include "server/quote/answer.h"

#include <benchmark/benchmark.h>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>

namespace {

QuoteFixture& fixture() {
    static QuoteFixture* fx = [] {
        auto* f = new QuoteFixture(4500);
        f->startService(0);
        f->advance(3600);
        f->startEngine();
        replyLog().waitFor(0, [](const Got& g) { return g.type == QUOTE_REPLY_CODES; });
        return f;
    }();
    return *fx;
}

int firstStock() {
    for (const auto& s : fixture().market->securities())
        if (s.type == vq::market::SecType::Stock)
            return s.index;
    return 0;
}

Got roundTrip(QuoteCtx* ctx, double* ms) {
    size_t from = replyLog().size();
    auto t0 = std::chrono::steady_clock::now();
    quote_ctx_request(ctx);
    Got g;
    replyLog().waitFor(
        from, [ctx](const Got& x) { return x.ctx == ctx; }, &g);
    *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    return g;
}

void BM_RequestLatency(benchmark::State& state) {
    auto& fx = fixture();
    const auto* s = fx.market->security(firstStock());
    QuoteSecurityKey k = keyOf(s->code, s->market);
    QuoteCtx* ctx = quote_ctx_create();
    quote_ctx_set_peroid(ctx, 30);
    quote_ctx_set_code(ctx, &k, 1);
    std::vector<double> ms;
    for (auto _ : state) {
        double t;
        roundTrip(ctx, &t);
        ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    quote_ctx_release(ctx);
}
BENCHMARK(BM_RequestLatency)->Iterations(2000)->UseRealTime();

void BM_SnapshotRecordsThroughEngine(benchmark::State& state) {
    auto& fx = fixture();
    QuoteCtx* ctx = quote_ctx_create();
    quote_ctx_set_peroid(ctx, 30);
    quote_ctx_set_block(ctx, 1110, 0);
    quote_ctx_set_option(ctx, 4);
    quote_ctx_set_sort(ctx, 34, 0);
    quote_ctx_set_page(ctx, 0, 0);  // every row
    int64_t records = 0;
    for (auto _ : state) {
        double t;
        records += roundTrip(ctx, &t).count;
    }
    state.counters["records_per_s"] =
        benchmark::Counter(double(records), benchmark::Counter::kIsRate);
    state.counters["rows"] = double(records) / double(state.iterations());
    (void)fx;
    quote_ctx_release(ctx);
}
BENCHMARK(BM_SnapshotRecordsThroughEngine)
    ->Iterations(30)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_ServiceSortAndPage(benchmark::State& state) {
    auto& fx = fixture();
    vqp::Request r;
    r.period = vqp::PeriodSnapshot;
    r.block = 1110;
    r.option = 4;
    r.sortField = 34;
    r.sortMode = 0;
    r.pageFirst = 100;
    r.pageSize = 50;
    std::string out;
    size_t members = fx.market->block(1110)->members.size();
    for (auto _ : state) {
        out.clear();
        // A fresh answerer each time: the sort itself is measured, not the shared order.
        vq::quote::Answerer a(*fx.market);
        vq::quote::PushState st;
        a.answer(r, st, true, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["block_members"] = double(members);
}
BENCHMARK(BM_ServiceSortAndPage)->Unit(benchmark::kMillisecond);

// One push round of the service for many terminals, each watching a ranking page of the
// whole market: what every market publication costs the service's loop.
void BM_PushRoundRankings(benchmark::State& state) {
    auto& fx = fixture();
    vq::quote::Answerer a(*fx.market);
    const int terminals = int(state.range(0));
    std::vector<vqp::Request> reqs(static_cast<size_t>(terminals));
    std::vector<vq::quote::PushState> states(static_cast<size_t>(terminals));
    const uint16_t fields[] = {34, 11, 8, 37};
    for (int i = 0; i < terminals; ++i) {
        vqp::Request& r = reqs[size_t(i)];
        r.id = uint32_t(i);
        r.period = vqp::PeriodSnapshot;
        r.block = 1110;
        r.option = 4;
        r.sortField = fields[i % 4];
        r.pageSize = 40;
    }
    std::string out;
    for (auto _ : state) {
        state.PauseTiming();
        fx.advance(3);  // a publication: every list has moved
        state.ResumeTiming();
        out.clear();
        for (int i = 0; i < terminals; ++i)
            a.answer(reqs[size_t(i)], states[size_t(i)], false, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["terminals"] = terminals;
}
BENCHMARK(BM_PushRoundRankings)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DayKLine9999EndToEnd(benchmark::State& state) {
    auto& fx = fixture();
    const auto* s = fx.market->security(firstStock());
    QuoteSecurityKey k = keyOf(s->code, s->market);
    QuoteCtx* ctx = quote_ctx_create();
    quote_ctx_set_peroid(ctx, 33);
    quote_ctx_set_code(ctx, &k, 1);
    quote_ctx_set_page(ctx, 0, 9999);
    quote_ctx_set_option(ctx, 2);  // forward adjusted, as the chart asks
    double bars = 0;
    for (auto _ : state) {
        double t;
        bars = roundTrip(ctx, &t).count;
    }
    state.counters["bars"] = bars;
    quote_ctx_release(ctx);
}
BENCHMARK(BM_DayKLine9999EndToEnd)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CodeListIntoSqlite(benchmark::State& state) {
    auto& fx = fixture();
    std::vector<QuoteCodeInfo> codes;
    for (const auto& s : fx.market->securities()) {
        QuoteCodeInfo c{};
        vqp::setText(c.code, s.code);
        vqp::setText(c.name, s.name);
        vqp::setText(c.pinyin, s.pinyin);
        c.market = s.market;
        c.type = int8_t(vq::market::wireType(s.type));
        codes.push_back(c);
    }
    QuoteReply rpl{};
    rpl.type = QUOTE_REPLY_CODES;
    rpl.count = uint32_t(codes.size());
    rpl.payload = codes.data();
    for (auto _ : state)
        StockDictionary::instance()->onQuoteCodes(&rpl);
    state.counters["rows"] = double(codes.size());
}
BENCHMARK(BM_CodeListIntoSqlite)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    fixture().stopEngine();
    return 0;
}
