// The strips around a chart and its layer items: time bar labels and the crosshair time box,
// the title values at a bar, and FChart's cached layer image. Times are China Standard Time.
#include "chart/fchart.h"
#include "chart/time_bar.h"
#include "chart/title_bar.h"
#include "tests/chart_render/render_fixture.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

using namespace render_test;

namespace {

const QColor kBox(0x46, 0x4D, 0x59);
const QColor kStrip(0x19, 0x1B, 0x1F);

int at(const char* text) {
    return int(QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toSecsSinceEpoch());
}

QImage paintItem(QQuickPaintedItem& item) {
    QImage image(item.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    item.paint(&painter);
    return image;
}

QFont timeFont() {
    QFont f(QStringLiteral("Microsoft YaHei"));
    f.setPixelSize(12);
    return f;
}

}  // namespace

class TestBarsAndLayers : public QObject {
    Q_OBJECT

    // MA over 30 bars whose prices are their index: MA1 … MA4 read 27.00, 24.50, 19.50, "-".
    static bool runMaOverRisingBars(Pane& pane) {
        std::vector<testbars::Bar> bars;
        for (int i = 0; i < 30; ++i) {
            bars.push_back(render_test::bar(i, float(i), float(i), float(i), float(i)));
        }
        pane.setBars(bars);
        pane.addFormula("MA");
        return pane.run();
    }

private slots:
    // A 1000-pixel strip: labels between columns 60 and 940.
    void timeLabels_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("cycle");
        QTest::addColumn<QList<int>>("scales");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("xs");
        const QList<int> day{at("2020-03-05T09:30:00"), at("2020-03-05T10:30:00"),
                             at("2020-03-05T11:30:00"), at("2020-03-05T13:00:00"),
                             at("2020-03-05T14:00:00"), at("2020-03-05T15:00:00")};
        const QList<int> days{at("2020-01-02T15:00:00"), at("2020-02-03T15:00:00"),
                              at("2020-03-02T15:00:00"), at("2020-04-01T15:00:00"),
                              at("2020-05-06T15:00:00")};
        QTest::newRow("minute chart shares the midday label")
            << "mline" << 32 << day
            << QStringList{"09:30", "10:30", "11:30/13:00", "14:00", "15:00"}
            << QList<int>{60, 280, 500, 720, 940};
        QTest::newRow("daily chart")
            << "kline" << 33 << days
            << QStringList{"2020-01-02", "2020-02-03", "2020-03-02", "2020-04-01", "2020-05-06"}
            << QList<int>{60, 280, 500, 720, 940};
        QTest::newRow("weekly chart")
            << "kline" << 39 << days.mid(0, 3)
            << QStringList{"2020-01-02", "2020-02-03", "2020-03-02"} << QList<int>{60, 500, 940};
        QTest::newRow("monthly chart") << "kline" << 40 << days.mid(0, 2)
                                       << QStringList{"2020-01", "2020-02"} << QList<int>{60, 940};
        QTest::newRow("minute bars")
            << "kline" << 35 << days.mid(0, 2)
            << QStringList{"2020-01-02 15:00", "2020-02-03 15:00"} << QList<int>{60, 940};
        QTest::newRow("unknown chart type has empty labels")
            << "" << 33 << days.mid(0, 2) << QStringList{"", ""} << QList<int>{60, 940};
        QTest::newRow("a minute chart with two times")
            << "mline" << 32 << day.mid(0, 2) << QStringList{"09:30", "10:30"}
            << QList<int>{60, 60};
        QTest::newRow("a single time")
            << "kline" << 33 << days.mid(0, 1) << QStringList{"2020-01-02"} << QList<int>{60};
    }
    void timeLabels() {
        QFETCH(QString, type);
        QFETCH(int, cycle);
        QFETCH(QList<int>, scales);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, xs);
        TimeBar bar;
        bar.setSize(QSizeF(1000, 24));
        bar.setChartType(type);
        bar.setChartCycle(cycle);
        bar.setScales(scales);
        const QList<TimeBar::Label> labels = bar.labels(1000);
        QStringList gotTexts;
        QList<int> gotXs;
        for (const TimeBar::Label& l : labels) {
            gotTexts << l.text;
            gotXs << l.x;
        }
        QCOMPARE(gotTexts, texts);
        QCOMPARE(gotXs, xs);
        QCOMPARE(labels.first().align, Qt::Alignment(Qt::AlignLeft));
        if (labels.size() > 1) {
            QCOMPARE(labels.last().align, Qt::Alignment(Qt::AlignRight));
        }
        for (int i = 1; i + 1 < labels.size(); ++i) {
            QCOMPARE(labels[i].align, Qt::Alignment(Qt::AlignHCenter));
        }
        // The first label starts at its column, the last ends at its column.
        const QImage image = paintItem(bar);
        QVERIFY(sameColor(colorAt(image, 2, 2), kStrip, 0));
        if (!texts.first().isEmpty()) {
            QVERIFY(paintedCount(image, QRect(60, 4, 12, 16)) > 0);
            const int lastWidth = QFontMetrics(timeFont()).horizontalAdvance(texts.last());
            int ink = 0;
            for (int x = xs.last() - lastWidth; x < xs.last() + 6; ++x) {
                for (int y = 0; y < 24; ++y) {
                    ink += colorAt(image, x, y) != kStrip ? 1 : 0;
                }
            }
            QVERIFY(ink > 0);
        }
    }

    void currentTimeBox_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("curX");
        QTest::addColumn<int>("centre");
        QTest::addColumn<QString>("text");
        QTest::newRow("clamped to the left margin") << "mline" << 10 << 60 << "03-05 10:31";
        QTest::newRow("clamped to the right margin") << "mline" << 995 << 940 << "03-05 10:31";
        QTest::newRow("at the cursor") << "mline" << 500 << 500 << "03-05 10:31";
        QTest::newRow("daily chart text") << "kline" << 300 << 300 << "2020-03-05";
    }
    void currentTimeBox() {
        QFETCH(QString, type);
        QFETCH(int, curX);
        QFETCH(int, centre);
        QFETCH(QString, text);
        TimeBar bar;
        bar.setSize(QSizeF(1000, 24));
        bar.setChartType(type);
        bar.setChartCycle(33);
        bar.setScales({at("2020-03-05T09:30:00"), at("2020-03-05T15:00:00")});
        bar.setCurX(curX);
        bar.setCurScales(uint(at("2020-03-05T10:31:00")));
        QCOMPARE(bar.currentText(), text);
        const QImage image = paintItem(bar);
        const int w = QFontMetrics(timeFont()).horizontalAdvance(text) + 10;
        const int left = centre - w / 2;
        QVERIFY(sameColor(colorAt(image, left, 1), kBox, 0));
        QVERIFY(sameColor(colorAt(image, left + w - 1, 22), kBox, 0));
        QVERIFY(!sameColor(colorAt(image, left - 1, 1), kBox, 0));
        QVERIFY(!sameColor(colorAt(image, left + w, 1), kBox, 0));
    }

    void emptyTimeBarPaintsNothing() {
        TimeBar bar;
        bar.setSize(QSizeF(400, 24));
        bar.setChartType("kline");
        bar.setCurScales(uint(at("2020-03-05T10:31:00")));
        bar.setScales({});
        QCOMPARE(paintedCount(paintItem(bar), QRect(0, 0, 400, 24)), 0);
    }

    // "MA" over 30 rising bars: its 60-bar average has no value yet.
    void titleEntries_data() {
        QTest::addColumn<int>("bar");
        QTest::addColumn<int>("usedBar");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("last bar") << 29 << 29
                                  << QStringList{"MA1: 27.00", "MA2: 24.50", "MA3: 19.50",
                                                 "MA4: -"};
        QTest::newRow("past the end shows the last bar")
            << 100 << 29 << QStringList{"MA1: 27.00", "MA2: 24.50", "MA3: 19.50", "MA4: -"};
        QTest::newRow("an early bar")
            << 4 << 4 << QStringList{"MA1: 2.00", "MA2: -", "MA3: -", "MA4: -"};
        QTest::newRow("negative draws nothing") << -1 << -1 << QStringList{};
    }
    void titleEntries() {
        QFETCH(int, bar);
        QFETCH(int, usedBar);
        QFETCH(QStringList, texts);
        Pane pane;
        QVERIFY(runMaOverRisingBars(pane));
        TitleBar title;
        title.setSize(QSizeF(800, 20));
        QSignalSpy padding(&title, &TitleBar::leftPaddingChanged);
        title.setLeftPadding(60);
        QCOMPARE(padding.count(), 1);
        title.setCTXData(&pane.layer);
        title.setCurX(bar);
        QStringList got;
        QList<QColor> colors;
        for (const TitleBar::Entry& e : title.entries()) {
            got << e.text;
            colors << e.color;
        }
        QCOMPARE(got, texts);
        QCOMPARE(title.curX(), usedBar);
        if (!texts.isEmpty()) {
            QCOMPARE(colors[0], QColor(0xFF, 0xFF, 0xFF));
            QCOMPARE(colors[1], QColor(0xD9, 0x80, 0x24));
            // Nothing is written in the padding on either side.
            const QImage image = paintItem(title);
            QCOMPARE(paintedCount(image, QRect(0, 0, 60, 20)), 0);
            QVERIFY(paintedCount(image, QRect(60, 0, 200, 20)) > 20);
        }
    }

    // However narrow the chart, the title shows whole outputs: the last ink painted is the
    // end of an output, never a word cut at the edge (which the full-width title continues).
    void titleNeverCutsAnOutput() {
        Pane pane;
        QVERIFY(runMaOverRisingBars(pane));
        auto draw = [&](int width) {
            TitleBar title;
            title.setSize(QSizeF(width, 20));
            title.setLeftPadding(10);
            title.setCTXData(&pane.layer);
            title.setCurX(29);
            return paintItem(title);
        };
        const QImage full = draw(800);
        auto lastInk = [](const QImage& image) {
            for (int x = image.width() - 1; x >= 0; --x) {
                if (paintedCount(image, QRect(x, 0, 1, image.height())) > 0) {
                    return x;
                }
            }
            return -1;
        };
        const int fullEnd = lastInk(full);
        for (int width = 120; width < fullEnd + 20; width += 3) {
            const int end = lastInk(draw(width));
            QVERIFY2(end >= 0, qPrintable(QString::number(width)));
            QVERIFY2(
                paintedCount(full, QRect(end + 1, 0, 2, 20)) == 0,
                qPrintable(QStringLiteral("cut at %1 in a title %2 wide").arg(end).arg(width)));
        }
    }

    void titleSkipsFormulasWithoutContext() {
        TitleBar title;
        title.setSize(QSizeF(800, 20));
        QCOMPARE(paintedCount(paintItem(title), QRect(0, 0, 800, 20)), 0);
        CTXLayer layer(1);
        KSeries bars(3);
        layer[0].series = &bars;
        title.setCTXData(&layer);
        title.setCurX(1);
        QVERIFY(title.entries().isEmpty());
    }

    // A falling candle of bar 0 on 40 slots: filled green around column 64, row 70.
    void layerImage_data() {
        QTest::addColumn<bool>("replaceMain");
        QTest::addColumn<bool>("emptyLayer");
        QTest::addColumn<bool>("candle");
        QTest::newRow("price bars drawn") << false << false << true;
        QTest::newRow("a formula replacing the price bars hides them") << true << false << false;
        QTest::newRow("empty layer clears the image") << false << true << false;
    }
    void layerImage() {
        QFETCH(bool, replaceMain);
        QFETCH(bool, emptyLayer);
        QFETCH(bool, candle);
        Pane pane;
        pane.setBars({bar(0, 60, 70, 30, 40), bar(1, 40, 50, 30, 45)});
        pane.addFormula("KLINE");
        CTXData& other = pane.addProgram("A:20, COLOR(0x0000FF)");
        other.drawMain = !replaceMain;
        QVERIFY(pane.run());
        pane.layout(plotRect(), 0, 1, 40);
        pane.setRange(100, 0);
        CTXLayer none;

        FChart item;
        item.setSize(QSizeF(600, 160));
        item.setWindow(0, 1);
        item.setLayer(emptyLayer ? &none : &pane.layer);
        QVERIFY(item.rendered());
        QCOMPARE(item.image().isNull(), emptyLayer);
        if (emptyLayer) {
            return;
        }
        const QImage& image = item.image();
        QCOMPARE(image.size(), QSize(600, 160));
        QCOMPARE(sameColor(colorAt(image, 64, 70), QColor(0x0F, 0xC3, 0x51), 0), candle);
        QVERIFY(sameColor(colorAt(image, 64, 100), QColor(0xFF, 0, 0), 0));

        // A resize renders again at the new size; paint copies the cached image.
        item.setWidth(300);
        QCOMPARE(item.image().size(), QSize(300, 160));
        QImage target(300, 160, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::transparent);
        QPainter painter(&target);
        item.paint(&painter);
        painter.end();
        QVERIFY(sameColor(colorAt(target, 64, 100), QColor(0xFF, 0, 0), 0));
    }
};

QTEST_MAIN(TestBarsAndLayers)
#include "tst_bars_and_layers.moc"
