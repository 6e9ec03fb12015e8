// Rendering a layer image from formulas already evaluated: a K-line main pane (candles and MA)
// and a MACD sub-pane with 2,000 visible bars, each through FChart::render at 1600 pixels wide,
// and the axis and crosshair painters the chart draws over them. Set VQ_BENCH_SAVE to a
// folder to keep one image of each pane for a look.
#include "chart/chart_painters.h"
#include "chart/fchart.h"
#include "formula/formula_service.h"
#include "tests/libformula/test_bars.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kBars = 2000;

formula::FormulaService& registry() {
    static formula::FormulaService* s = [] {
        auto* r = new formula::FormulaService;
        formula::registerBuiltinFormulas(*r);
        return r;
    }();
    return *s;
}

// One chart pane: formulas run over the bars and laid out as the chart lays them out.
struct Pane {
    testbars::ChartVm vm;
    testbars::Series series;
    KSeries bars;
    std::vector<std::shared_ptr<formula::Formula>> formulas;
    CTXLayer layer;

    int begin = 0;
    int end = kBars - 1;

    // The newest `visible` bars are in view.
    Pane(const std::vector<const char*>& names, int width, int height, int visible = kBars) {
        begin = kBars - visible;
        series.bars = testbars::walk(kBars);
        bars.resize(series.bars.size());
        std::memcpy(bars.data(), series.bars.data(), bars.size() * sizeof(KData));
        layer.reserve(names.size());
        for (const char* name : names) {
            auto f = registry().find(QString::fromUtf8(name))->create(vm.vm);
            CTXData d;
            d.ctx = f->ctx;
            d.name = QString::fromUtf8(name);
            d.scales = QStringLiteral("KSCALES");
            d.crosshair = QStringLiteral("KCROSSHAIR");
            d.security.decimal = 2;
            d.series = &bars;
            vm.run(d.ctx, series);
            formulas.push_back(f);
            layer.push_back(d);
        }
        const QRect rect(60, 20, width - 120, height - 21);
        for (CTXData& d : layer) {
            d.geo.rect = d.geo.fullRect = rect;
            d.geo.barGap = 1;
            d.geo.barWidth = (float(rect.width()) - visible) / visible;
            if (d.geo.barWidth < 1) {
                d.geo.barGap = 0;
                d.geo.barWidth = float(rect.width()) / visible;
            }
            d.geo.barWidth = std::min(d.geo.barWidth, float(rect.width() / 8) - d.geo.barGap);
            fml_ctx_output_maxmin(d.ctx, begin, visible, &d.geo.max, &d.geo.min);
        }
        // One range for the pane, as the chart's percentage alignment leaves a single layer.
        float hi = layer[0].geo.max, lo = layer[0].geo.min;
        for (const CTXData& d : layer) {
            hi = std::max(hi, d.geo.max);
            lo = std::min(lo, d.geo.min);
        }
        for (CTXData& d : layer) {
            d.geo.max = hi;
            d.geo.min = lo;
        }
    }
};

// The pane as the chart shows it: axis, layer image and crosshair over the background.
void save(const std::vector<const char*>& names, int width, int height, int visible, int grid,
          const char* file) {
    const QByteArray folder = qgetenv("VQ_BENCH_SAVE");
    if (folder.isEmpty()) {
        return;
    }
    Pane pane(names, width, height, visible);
    FChart item;
    item.setSize(QSizeF(width, height));
    item.setWindow(pane.begin, pane.end);
    item.setLayer(&pane.layer);
    CTXData& main = pane.layer[0];
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x19, 0x1B, 0x1F));
    QPainter painter(&image);
    chart::scalesPainter(main.scales)(&painter, grid, main, pane.begin, pane.end, visible);
    painter.drawImage(0, 0, item.image());
    chart::crosshairPainter(main.crosshair)(&painter, main, width / 2, height / 2, pane.begin,
                                            pane.end + 1, true);
    painter.end();
    image.save(QDir(QString::fromLocal8Bit(folder)).filePath(QString::fromLatin1(file)));
}

void renderPane(benchmark::State& state, const std::vector<const char*>& names, int width,
                int height, int grid, const char* file) {
    save(names, width, height, kBars, grid, file);
    save(names, width, height, 120, grid, (QByteArray("120_") + file).constData());
    Pane pane(names, width, height);
    FChart item;
    item.setSize(QSizeF(width, height));
    item.setWindow(0, kBars - 1);
    item.setLayer(&pane.layer);
    for (auto _ : state) {
        item.render();
        benchmark::DoNotOptimize(item.image().constBits());
    }
}

void BM_KLineMainPane(benchmark::State& state) {
    renderPane(state, {"KLINE", "MA"}, 1600, 600, 3, "kline_main.png");
}
BENCHMARK(BM_KLineMainPane)->Unit(benchmark::kMillisecond);

void BM_MacdSubPane(benchmark::State& state) {
    renderPane(state, {"MACD"}, 1600, 200, 1, "macd_sub.png");
}
BENCHMARK(BM_MacdSubPane)->Unit(benchmark::kMillisecond);

// What every repaint of the chart item adds over the cached images: axis and crosshair.
void BM_KLineAxisAndCrosshair(benchmark::State& state) {
    Pane pane({"KLINE", "MA"}, 1600, 600);
    QImage image(1600, 600, QImage::Format_ARGB32_Premultiplied);
    CTXData& main = pane.layer[0];
    int x = 100;
    for (auto _ : state) {
        QPainter painter(&image);
        chart::paintKScales(&painter, 3, main, 0, kBars - 1, kBars);
        chart::paintKCrosshair(&painter, main, x, 300, 0, kBars, true);
        x = x % 1400 + 7;
    }
}
BENCHMARK(BM_KLineAxisAndCrosshair)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
