// A daily chart 1600 x 600 pixels with 512 bars and 200 drawings of every kind: the cost the
// drawings add to a repaint, one hover hit test over all of them, and saving and loading
// them. Drawings go to a scratch data folder.
#include "paint/cpaint_board.h"
#include "paint/drawing_file.h"
#include "paint/tool_registry.h"
#include "tests/chart/chart_fixture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kDrawings = 200;

std::unique_ptr<QChart> dailyChart(const QString& code) {
    auto chart = fixture::makeChart();
    chart->setSize(QSizeF(1600, 600));
    chart->setLineType("kline");
    chart->setCycle(33);
    chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
    chart->setSecurity(0, code, 1, 2);
    chart->setkShowNumber(240, false);
    fixture::feedKLine(*chart, fixture::kpoints(512));
    return chart;
}

void placeDrawings(QChart& chart) {
    const QStringList kinds = paint::choosableClassNames();
    for (int i = 0; i < kDrawings; ++i) {
        const QString kind = kinds[i % kinds.size()];
        const int x = 100 + (i * 37) % 1200;
        const int y = 100 + (i * 53) % 400;
        // The pointer leaves between two drawings, so no press lands on the drawing before.
        chart.onLButtonLeave(0, x, y);
        chart.setPaintBoardQChart(kind);
        chart.onLButtonDown(0, x, y);
        chart.onMousePaintBoard(1, x + 60, y - 40);
        chart.onLButtonUp(0, x + 60, y - 40);
        if (chart.paintBoard()->awaitingThirdClick()) {
            chart.onMousePaintBoard(0, x + 120, y + 20);
            chart.onLButtonDown(0, x + 120, y + 20);
            chart.onLButtonUp(0, x + 120, y + 20);
        }
    }
}

struct Scene {
    QTemporaryDir folder;
    std::unique_ptr<QChart> plain;
    std::unique_ptr<QChart> drawn;
    QImage image{1600, 600, QImage::Format_ARGB32_Premultiplied};
    Scene() {
        qputenv("XDG_DATA_HOME", folder.path().toUtf8());
        plain = dailyChart(QStringLiteral("600001"));
        drawn = dailyChart(QStringLiteral("600000"));
        placeDrawings(*drawn);
        drawn->savePaintData(QStringLiteral("600000"), 1, 33);
        // A second security with the same drawings, so loading can alternate between the two.
        drawn->onLButtonLeave(0, 300, 300);
        drawn->paintBoard()->setPaintBoardQChart(QStringLiteral("CPaintSegment"));
        drawn->onLButtonDown(0, 300, 300);
        drawn->onMousePaintBoard(1, 320, 300);
        drawn->onLButtonUp(0, 320, 300);
        drawn->savePaintData(QStringLiteral("600002"), 1, 33);
        drawn->paintBoard()->setActive(true);
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void repaint(benchmark::State& state, QChart& chart) {
    QImage& image = scene().image;
    for (auto _ : state) {
        image.fill(Qt::black);
        QPainter p(&image);
        chart.paint(&p);
    }
}

void BM_RepaintWithoutDrawings(benchmark::State& state) {
    repaint(state, *scene().plain);
}
BENCHMARK(BM_RepaintWithoutDrawings)->Unit(benchmark::kMillisecond);

void BM_RepaintWith200Drawings(benchmark::State& state) {
    state.counters["drawings"] = double(scene().drawn->paintBoard()->tools().size());
    repaint(state, *scene().drawn);
}
BENCHMARK(BM_RepaintWith200Drawings)->Unit(benchmark::kMillisecond);

// What a repaint costs when the drawings must be drawn again: after a scroll, a zoom, new bars
// or a change of a drawing.
void BM_RenderAll200(benchmark::State& state) {
    QImage& image = scene().image;
    CPaintBoard* board = scene().drawn->paintBoard();
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        board->paint(&p);
    }
}
BENCHMARK(BM_RenderAll200)->Unit(benchmark::kMillisecond);

void BM_HoverHitTest(benchmark::State& state) {
    QChart& chart = *scene().drawn;
    int x = 61;
    for (auto _ : state) {
        benchmark::DoNotOptimize(chart.onMousePaintBoard(0, x, 590));
        x = x >= 1400 ? 61 : x + 13;
    }
}
BENCHMARK(BM_HoverHitTest)->Unit(benchmark::kMicrosecond);

void BM_Save200(benchmark::State& state) {
    // What a save of a changed board does: the document, then the atomic replacement.
    CPaintBoard* board = scene().drawn->paintBoard();
    const QString path = paint::drawingFilePath(QStringLiteral("600003"), 1, 33);
    for (auto _ : state) {
        benchmark::DoNotOptimize(paint::writeDrawingFile(path, board->document()));
    }
    state.counters["bytes"] = double(board->document().size());
}
BENCHMARK(BM_Save200)->Unit(benchmark::kMillisecond);

void BM_Load200(benchmark::State& state) {
    QChart& chart = *scene().plain;
    bool flip = false;
    for (auto _ : state) {
        chart.parsePaintData(flip ? QStringLiteral("600000") : QStringLiteral("600002"), 1, 33);
        flip = !flip;
    }
    state.counters["drawings"] = double(chart.paintBoard()->tools().size());
}
BENCHMARK(BM_Load200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
