// One live push over a table of 50 visible rows in the full column set: every row's price,
// change and volumes move, as on a busy market. The model lays the page over its rows and
// signals the changed cells; no reset.
#include "table/table_model.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

std::vector<QuoteRealTimeMarket> page(int rows, int round) {
    std::vector<QuoteRealTimeMarket> out(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        QuoteRealTimeMarket& q = out[size_t(i)];
        q = QuoteRealTimeMarket{};
        std::snprintf(q.info.code, sizeof q.info.code, "%06d", 600000 + i);
        std::strncpy(q.info.name, "证券名称", sizeof q.info.name - 1);
        q.info.market = 1;
        q.info.decimal = 2;
        q.info.type = 2;
        q.pre_close = 10.0f + float(i) * 0.1f;
        q.close = q.pre_close + float((round + i) % 21 - 10) * 0.01f;
        q.open = q.pre_close;
        q.high = q.pre_close + 0.2f;
        q.low = q.pre_close - 0.2f;
        q.rf_value = q.close - q.pre_close;
        q.rf_rate = q.rf_value / q.pre_close;
        q.vol = 1000000 + int64_t(round) * 100 + i;
        q.cur_vol = 100 + round % 7;
        q.sum = double(q.vol) * q.close;
        q.red_vol = q.vol / 2;
        q.green_vol = q.vol - q.red_vol;
        q.vol_rate = 1.2f;
        q.swap = 0.01f;
        q.amplitude = 0.04f;
        q.committee = 0.1f * float(round % 3);
        q.speed = 0.001f * float(round % 5);
    }
    return out;
}

void BM_PushRound50Rows(benchmark::State& state) {
    TableModel model;
    model.initHeader(0);
    // Two alternating pages, so every round changes the moving cells of every row.
    std::vector<QuoteRealTimeMarket> pages[2] = {page(50, 1), page(50, 2)};
    QuoteReply reply{};
    reply.type = QUOTE_REPLY_REALTIME;
    reply.ctx = model.context().get();
    reply.count = 50;
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    reply.payload = pages[0].data();
    model.onQuotePeroidRealTime(&reply);
    size_t round = 0;
    for (auto _ : state) {
        reply.payload = pages[++round % 2].data();
        model.onQuotePeroidRealTime(&reply);
    }
    state.counters["resets"] = resets;
}
BENCHMARK(BM_PushRound50Rows)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
