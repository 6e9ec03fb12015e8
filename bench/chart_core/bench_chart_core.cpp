// The chart core at 10,000 daily bars in the default K-line layout (candles with MA on the main
// chart, VOL and MACD sub-charts): one live push, one crosshair move, and the memory of the
// three charts, each with its layer image and title strip.
#include "chart/qchart.h"
#include "formula/formula_service.h"

#include "chart/fchart.h"
#include "chart/title_bar.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kBars = 10000;

formula::FormulaService& registry() {
    static formula::FormulaService* s = [] {
        auto* r = new formula::FormulaService;
        formula::registerBuiltinFormulas(*r);
        return r;
    }();
    return *s;
}

// A bounded random walk of daily bars.
std::vector<QuoteKPoint> walk(int n) {
    std::vector<QuoteKPoint> points(static_cast<size_t>(n));
    uint32_t seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return float((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    float price = 20;
    for (int k = 0; k < n; ++k) {
        QuoteKPoint& p = points[size_t(k)];
        const float open = price;
        const float close =
            std::max(1.0f, open * (1 + (rnd() - 0.5f) * 0.06f + (20 - open) * 0.001f));
        p.time = 946857600 + int64_t(k) * 86400;
        p.open = open;
        p.close = close;
        p.high = std::max(open, close) * (1 + rnd() * 0.02f);
        p.low = std::min(open, close) * (1 - rnd() * 0.02f);
        p.volume = int64_t(100000 + rnd() * 900000);
        p.amount = p.volume * int64_t(close * 100);
        p.extra = rnd() * 0.05f;
        price = close;
    }
    return points;
}

long residentKiB() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}

// A main chart and two sub-charts wired the way the chart view wires them, with a layer image
// per layer and a title strip on each.
struct ChartStack {
    std::unique_ptr<QChart> main;
    std::unique_ptr<QChart> vol;
    std::unique_ptr<QChart> macd;

    static std::unique_ptr<QChart> chart(double height) {
        auto c = std::make_unique<QChart>();
        c->setFormulaService(&registry());
        c->setSize(QSizeF(1600, height));
        c->setLineType("kline");
        c->setCycle(33);
        auto* layer = new FChart(c.get());
        layer->setSize(c->size());
        c->setProperty("subFChart", QVariantList{QVariant::fromValue<QObject*>(layer)});
        auto* title = new TitleBar(c.get());
        title->setSize(QSizeF(1600, 20));
        return c;
    }

    explicit ChartStack(const std::vector<QuoteKPoint>& points) {
        main = chart(600);
        main->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        main->appendFormula(0, "MA", "NO", "NO");
        main->setkShowNumber(120);
        vol = chart(200);
        vol->appendFormula(0, "VOL", "KSCALES", "KCROSSHAIR");
        macd = chart(200);
        macd->appendFormula(0, "MACD", "KSCALES", "KCROSSHAIR");
        for (QChart* sub : {vol.get(), macd.get()}) {
            sub->resetBeginEndState(false);
            sub->bindSyncDataSignal(main.get(), 0);
            QObject::connect(main.get(), &QChart::reCalcShow, sub, &QChart::updateReCalcShow);
        }
        std::vector<QuoteKPoint> copy = points;
        QuoteKPoints block{0, uint32_t(copy.size()), copy.data()};
        main->onUpdateKLine(&block, 0);
        for (QChart* sub : {vol.get(), macd.get()}) {
            sub->updateReCalcShow(main->getBegin(), main->getEnd(), main->getkShowNumber(),
                                  main->getCrosshairPos());
        }
    }
};

// First, so that no earlier benchmark has left freed pages for the charts to reuse.
void BM_Memory(benchmark::State& state) {
    const std::vector<QuoteKPoint> points = walk(kBars);
    long grown = 0;
    for (auto _ : state) {
        const long before = residentKiB();
        auto stack = std::make_unique<ChartStack>(points);
        grown = residentKiB() - before;
        benchmark::DoNotOptimize(stack.get());
    }
    state.counters["MB_above_baseline"] = double(grown) / 1024.0;
}
BENCHMARK(BM_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LivePush(benchmark::State& state) {
    const std::vector<QuoteKPoint> points = walk(kBars);
    ChartStack stack(points);
    QuoteKPoint today = points.back();
    int tick = 0;
    for (auto _ : state) {
        // Today's bar changes: the same time, a new close.
        today.close = points.back().close * (1 + 0.001f * float(tick++ % 7));
        today.high = std::max(today.high, today.close);
        QuoteKPoints block{0, 1, &today};
        stack.main->onUpdateKLine(&block, 0);
    }
    state.counters["bars"] = stack.main->getFirstKLineSize();
    state.SetLabel("formulas, layout and layer images of three charts");
}
BENCHMARK(BM_LivePush)->Unit(benchmark::kMillisecond);

void BM_CrosshairMove(benchmark::State& state) {
    const std::vector<QuoteKPoint> points = walk(kBars);
    ChartStack stack(points);
    QImage image(1600, 600, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    stack.main->setShowCrosshairLine(true);
    auto* title = stack.main->findChild<TitleBar*>();
    QImage titleImage(1600, 20, QImage::Format_ARGB32_Premultiplied);
    QPainter titlePainter(&titleImage);
    int x = 60;
    for (auto _ : state) {
        x = x >= 1500 ? 60 : x + 7;
        stack.main->updateMousePoint(stack.main.get(), x, 300);
        for (QChart* sub : {stack.vol.get(), stack.macd.get()}) {
            sub->updateMousePoint(nullptr, x, -1);
        }
        stack.main->paint(&painter);
        title->paint(&titlePainter);
    }
}
BENCHMARK(BM_CrosshairMove)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Warm the registry and the font cache before anything is measured.
    registry();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
