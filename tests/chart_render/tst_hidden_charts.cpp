// Charts in hidden tabs: a layer item that is hidden (through an ancestor, as a quote view in a
// background tab is) gives up its cached image and its scene-graph node, stays hidden through
// live updates without painting, and shows the same pixels again in the first frame after it
// is shown.
#include "chart/fchart.h"
#include "chart/time_bar.h"
#include "tests/chart_render/render_fixture.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QtTest>

using namespace render_test;

namespace {

std::vector<testbars::Bar> risingBars(int n) {
    std::vector<testbars::Bar> bars;
    for (int i = 0; i < n; ++i) {
        const float base = 30 + float(i % 7) * 4 + float(i) * 0.5f;
        bars.push_back(bar(i, base, base + 6, base - 3, base + ((i % 2) != 0 ? 3 : -2),
                           1000 + float(i % 5) * 300));
    }
    return bars;
}

// Pixels that are not the window's black background.
int litPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += (image.pixel(x, y) & 0xFFFFFFu) != 0 ? 1 : 0;
        }
    }
    return n;
}

// The next frame the window renders, as it reached the screen.
QImage frame(QQuickWindow& window) {
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    window.update();
    if (!swapped.wait(3000)) {
        return {};
    }
    return window.screen()->grabWindow(window.winId()).toImage();
}

}  // namespace

class TestHiddenCharts : public QObject {
    Q_OBJECT

private slots:
    void imagesFollowVisibility_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("program");
        QTest::newRow("daily candles") << QStringLiteral("KLINE") << QString();
        QTest::newRow("volume sticks") << QStringLiteral("VOL") << QString();
        QTest::newRow("MACD bars and lines") << QStringLiteral("MACD") << QString();
        QTest::newRow("minute price line") << QString() << QStringLiteral("P:C, COLOR(0xFFFFFF)");
    }
    void imagesFollowVisibility() {
        QFETCH(QString, formula);
        QFETCH(QString, program);
        Pane pane;
        pane.setBars(risingBars(40));
        if (!formula.isEmpty())
            pane.addFormula(formula);
        else
            pane.addProgram(program.toStdString());
        QVERIFY(pane.run());
        pane.layout(QRect(0, 10, 560, 140), 0, 39, 40);

        QQuickWindow window;
        window.resize(600, 180);
        window.setColor(Qt::black);
        QQuickItem tab(window.contentItem());
        tab.setSize(QSizeF(600, 180));
        FChart layer(&tab);
        layer.setSize(QSizeF(600, 160));
        layer.setWindow(0, 39);
        layer.setLayer(&pane.layer);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QImage shown = frame(window);
        QVERIFY(layer.holdsPaintNode());
        QVERIFY(!layer.image().isNull());
        QVERIFY(!shown.isNull());
        QVERIFY(litPixels(shown) > 100);

        tab.setVisible(false);
        const QImage hidden = frame(window);
        QVERIFY(!layer.holdsPaintNode());
        QVERIFY(layer.image().isNull());
        QCOMPARE(litPixels(hidden), 0);

        // A live push while hidden keeps the layer but draws nothing.
        layer.setWindow(0, 39);
        layer.setLayer(&pane.layer);
        QVERIFY(layer.image().isNull());
        QVERIFY(!layer.rendered());

        tab.setVisible(true);
        const QImage again = frame(window);
        QVERIFY(layer.holdsPaintNode());
        QVERIFY(!layer.image().isNull());
        QCOMPARE(again, shown);
    }

    // Strips without their own cache follow the same rule through their scene-graph node.
    void stripNodesFollowVisibility() {
        QQuickWindow window;
        window.resize(400, 40);
        QQuickItem tab(window.contentItem());
        TimeBar strip(&tab);
        strip.setSize(QSizeF(400, 24));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shown = frame(window);
        QVERIFY(strip.holdsPaintNode());
        tab.setVisible(false);
        frame(window);
        QVERIFY(!strip.holdsPaintNode());
        tab.setVisible(true);
        QCOMPARE(frame(window), shown);
        QVERIFY(strip.holdsPaintNode());
    }
};

QTEST_MAIN(TestHiddenCharts)
#include "tst_hidden_charts.moc"
