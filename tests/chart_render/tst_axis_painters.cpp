// The value axes and crosshairs a chart paints over its layer images: level values, label texts
// and colours, the symmetric minute range, the high and low marks, and the pixels of grid lines
// and label boxes. Plot 400 x 100 at (60, 20) unless a case says otherwise.
#include "chart/axis_labels.h"
#include "chart/axis_levels.h"
#include "chart/chart_painters.h"
#include "chart/chart_style.h"
#include "libformula/fml.h"
#include "tests/chart_render/render_fixture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

using namespace render_test;

namespace {

const QColor kUp(0xFF, 0x3D, 0x3D);
const QColor kDown(0x0F, 0xC3, 0x51);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kGrid(0x2A, 0x2F, 0x36);
const QColor kBox(0x46, 0x4D, 0x59);
const QColor kCrosshair(0x96, 0x9D, 0xB3);

// A minute session whose first bar's previous close is prevClose.
std::vector<testbars::Bar> minuteBars(float prevClose, const std::vector<float>& prices) {
    std::vector<testbars::Bar> out;
    for (size_t i = 0; i < prices.size(); ++i) {
        testbars::Bar b = bar(int(i), prices[i], prices[i], prices[i], prices[i]);
        b.time = 1577842200u + uint32_t(i) * 60u;
        b.p_close = i == 0 ? prevClose : prices[i - 1];
        out.push_back(b);
    }
    return out;
}

QStringList texts(const std::vector<chart::AxisLevel>& levels, bool right) {
    QStringList out;
    for (const chart::AxisLevel& l : levels) {
        out << (right ? l.right : l.left);
    }
    return out;
}

QImage blank() {
    QImage image(600, 160, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

class TestAxisPainters : public QObject {
    Q_OBJECT

private slots:
    void valueTexts_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("unitDecimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("hundred millions") << "VOL" << 2 << 123456789.0 << 1 << "1.2亿";
        QTest::newRow("exactly a hundred million is in ten thousands")
            << "VOL" << 2 << 100000000.0 << 1 << "10000.0万";
        QTest::newRow("ten thousands") << "VOL" << 2 << 12345.0 << 1 << "1.2万";
        QTest::newRow("crosshair keeps 2 decimals in units")
            << "VOL" << 2 << 12345.0 << 2 << "1.23万";
        QTest::newRow("small value") << "MACD" << 2 << 9999.0 << 1 << "9999.00";
        QTest::newRow("negative stays plain") << "MACD" << 2 << -20000.0 << 1 << "-20000.00";
        QTest::newRow("price with security decimals") << "KLINE" << 3 << 10.1234 << 1 << "10.123";
        QTest::newRow("minute price never in units")
            << "MLINE" << 2 << 123456.0 << 1 << "123456.00";
    }
    void valueTexts() {
        QFETCH(QString, formula);
        QFETCH(int, decimals);
        QFETCH(double, value);
        QFETCH(int, unitDecimals);
        QFETCH(QString, text);
        CTXData d;
        d.name = formula;
        d.security.decimal = int8_t(decimals);
        QCOMPARE(chart::valueText(d, value, unitDecimals), text);
    }

    void kScales_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("grid");
        QTest::addColumn<float>("max");
        QTest::addColumn<float>("min");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("K-line, three grid lines")
            << "KLINE" << 3 << 20.f << 10.f
            << QStringList{"20.00", "17.50", "15.00", "12.50", "10.00"}
            << QList<int>{20, 45, 70, 95, 119};
        QTest::newRow("volume in units")
            << "VOL" << 1 << 2e8f << 0.f << QStringList{"2.0亿", "10000.0万", "0.00"}
            << QList<int>{20, 70, 119};
    }
    void kScales() {
        QFETCH(QString, formula);
        QFETCH(int, grid);
        QFETCH(float, max);
        QFETCH(float, min);
        QFETCH(QStringList, labels);
        QFETCH(QList<int>, rows);
        CTXData d;
        d.name = formula;
        d.security.decimal = 2;
        d.geo.rect = plotRect();
        d.geo.max = max;
        d.geo.min = min;
        const std::vector<chart::AxisLevel> levels = chart::kScalesLevels(d, grid);
        QCOMPARE(texts(levels, false), labels);
        QCOMPARE(texts(levels, true), labels);
        QList<int> got;
        for (const chart::AxisLevel& l : levels) {
            got << l.row;
        }
        QCOMPARE(got, rows);

        // Grid lines cover exactly their own pixel row.
        QImage image = blank();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        chart::scalesPainter("KSCALES")(&painter, grid, d, 0, 0, 120);
        painter.end();
        for (int row : rows) {
            QVERIFY2(sameColor(colorAt(image, 200, row), kGrid, 0),
                     qPrintable(QString::number(row)));
            if (row > 20 && row < 119) {
                QVERIFY(!painted(image, 200, row - 1));
                QVERIFY(!painted(image, 200, row + 1));
            }
        }
        QVERIFY(sameColor(colorAt(image, 60, 30), kGrid, 0));
        QVERIFY(sameColor(colorAt(image, 459, 30), kGrid, 0));
    }

    // Previous close 10.00: the axis is centred on it whatever the prices did.
    void mScales_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<float>("max");
        QTest::addColumn<float>("min");
        QTest::addColumn<float>("symMax");
        QTest::addColumn<float>("symMin");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("right");
        QTest::newRow("reaching 10.50 above a close of 10.00")
            << "@MLINE" << 10.5f << 9.8f << 10.5f << 9.5f
            << QStringList{"10.50", "10.33", "10.17", "10.00", "9.83", "9.67", "9.50"}
            << QStringList{"5.00%", "3.33%", "1.67%", "0.00%", "-1.67%", "-3.33%", "-5.00%"};
        QTest::newRow("falling to 9.70")
            << "@MLINE" << 10.1f << 9.7f << 10.3f << 9.7f
            << QStringList{"10.30", "10.20", "10.10", "10.00", "9.90", "9.80", "9.70"}
            << QStringList{"3.00%", "2.00%", "1.00%", "0.00%", "-1.00%", "-2.00%", "-3.00%"};
        QTest::newRow("without a close the middle of the range")
            << "A:C" << 10.6f << 9.8f << 10.6f << 9.8f
            << QStringList{"10.60", "10.47", "10.33", "10.20", "10.07", "9.93", "9.80"}
            << QStringList{"3.92%", "2.61%", "1.31%", "0.00%", "-1.31%", "-2.61%", "-3.92%"};
        QTest::newRow("a base of zero has no percentages")
            << "A:C" << 1.f << -1.f << 1.f << -1.f
            << QStringList{"1.00", "0.67", "0.33", "0.00", "-0.33", "-0.67", "-1.00"}
            << QStringList{"", "", "", "", "", "", ""};
    }
    void mScales() {
        QFETCH(QString, source);
        QFETCH(float, max);
        QFETCH(float, min);
        QFETCH(float, symMax);
        QFETCH(float, symMin);
        QFETCH(QStringList, left);
        QFETCH(QStringList, right);
        Pane pane;
        pane.setBars(minuteBars(10.0f, {10.1f, 10.2f, 9.9f}));
        CTXData& d = source.startsWith('@') ? pane.addFormula(source.mid(1))
                                            : pane.addProgram(source.toStdString());
        QVERIFY(pane.run());
        d.geo.rect = plotRect();
        d.geo.max = max;
        d.geo.min = min;
        const std::vector<chart::AxisLevel> levels = chart::mScalesLevels(d, 5);
        QCOMPARE(d.geo.max, symMax);
        QCOMPARE(d.geo.min, symMin);
        QCOMPARE(texts(levels, false), left);
        QCOMPARE(texts(levels, true), right);
        const QList<QColor> colors{kUp, kUp, kUp, kWhite, kDown, kDown, kDown};
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(levels[size_t(i)].color, colors[i]);
        }

        // Painting writes the symmetric range back as well; the middle line is two rows thick.
        d.geo.max = max;
        d.geo.min = min;
        QImage image = blank();
        QPainter painter(&image);
        chart::scalesPainter("MSCALES")(&painter, 5, d, 0, 2, 242);
        painter.end();
        QCOMPARE(d.geo.max, symMax);
        const int middle = levels[3].row;
        QVERIFY(sameColor(colorAt(image, 110, middle), kGrid, 0));
        QVERIFY(sameColor(colorAt(image, 110, middle + 1), kGrid, 0));
        QVERIFY(!painted(image, 110, middle - 1));
        QVERIFY(sameColor(colorAt(image, 110, 20), kGrid, 0));
        QVERIFY(!painted(image, 110, 21));
        // Nine columns: solid at 0, 4 and 8 eighths of the width.
        QVERIFY(sameColor(colorAt(image, 260, 30), kGrid, 0));
        QVERIFY(!painted(image, 261, 30));
    }

    // Bars 0 .. 9 on 40 slots: slot k centred on column 64 + 10k.
    void highLowMarks_data() {
        QTest::addColumn<int>("highBar");
        QTest::addColumn<int>("lowBar");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("highPointsRight");
        QTest::addColumn<bool>("lowPointsLeft");
        QTest::newRow("marks on their usual sides") << 5 << 6 << 400 << true << true;
        QTest::newRow("high on the first bar turns right") << 0 << 6 << 400 << false << true;
        QTest::newRow("low at the right edge turns left") << 5 << 9 << 100 << true << false;
    }
    void highLowMarks() {
        QFETCH(int, highBar);
        QFETCH(int, lowBar);
        QFETCH(int, width);
        QFETCH(bool, highPointsRight);
        QFETCH(bool, lowPointsLeft);
        std::vector<testbars::Bar> bars;
        for (int i = 0; i < 10; ++i) {
            bars.push_back(bar(i, 50, i == highBar ? 90 : 60, i == lowBar ? 10 : 40, 50));
        }
        Pane pane;
        pane.setBars(bars);
        CTXData& d = pane.addFormula("KLINE");
        QVERIFY(pane.run());
        pane.layout(plotRect(width), 0, 9, width == 400 ? 40 : 10);
        pane.setRange(100, 0);
        const std::vector<chart::PriceMark> marks = chart::highLowMarks(d, 0, 9);
        QCOMPARE(int(marks.size()), 2);
        const int highX = int(d.geo.rect.left() + (d.geo.barWidth + d.geo.barGap) * highBar +
                              d.geo.barWidth * 0.5);
        const int lowX = int(d.geo.rect.left() + (d.geo.barWidth + d.geo.barGap) * lowBar +
                             d.geo.barWidth * 0.5);
        if (highPointsRight) {
            QCOMPARE(marks[0].text, QString("90.00→"));
            QCOMPARE(marks[0].box.right() + 1, highX);
        } else {
            QCOMPARE(marks[0].text, QString("←90.00"));
            QCOMPARE(marks[0].box.left(), highX);
        }
        if (lowPointsLeft) {
            QCOMPARE(marks[1].text, QString("←10.00"));
            QCOMPARE(marks[1].box.left(), lowX);
        } else {
            QCOMPARE(marks[1].text, QString("10.00→"));
            QCOMPARE(marks[1].box.right() + 1, lowX);
        }
        // Vertically centred on the price rows 30 and 110.
        QVERIFY(qAbs(marks[0].box.center().y() - 30) <= 1);
        QVERIFY(qAbs(marks[1].box.center().y() - 110) <= 1);
    }

    // Range 100 .. 0 on rows 20 .. 119.
    void crosshair_data() {
        QTest::addColumn<QString>("painter");
        QTest::addColumn<int>("mouseX");
        QTest::addColumn<int>("mouseY");
        QTest::addColumn<bool>("show");
        QTest::addColumn<bool>("lines");
        QTest::addColumn<int>("boxTop");  // -1: no label boxes
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        const int h = QFontMetrics(chart::style::font()).height();
        QTest::newRow("inside, shown")
            << "KCROSSHAIR" << 200 << 70 << true << true << 70 - h / 2 << "50.00"
            << "50.00";
        QTest::newRow("inside, hidden: labels only")
            << "KCROSSHAIR" << 200 << 70 << false << false << 70 - h / 2 << "50.00"
            << "50.00";
        QTest::newRow("near the bottom the box ends on the plot bottom")
            << "KCROSSHAIR" << 200 << 117 << true << true << 120 - h << "3.00"
            << "3.00";
        QTest::newRow("minute crosshair shows the change")
            << "MCROSSHAIR" << 200 << 45 << true << true << 45 - h / 2 << "75.00"
            << "50.00%";
        QTest::newRow("outside the plot: lines without labels")
            << "KCROSSHAIR" << 500 << 70 << true << true << -1 << ""
            << "";
    }
    void crosshair() {
        QFETCH(QString, painter);
        QFETCH(int, mouseX);
        QFETCH(int, mouseY);
        QFETCH(bool, show);
        QFETCH(bool, lines);
        QFETCH(int, boxTop);
        QFETCH(QString, left);
        QFETCH(QString, right);
        // A base of 50 for the minute crosshair: the middle of the range.
        CTXData d;
        d.name = QStringLiteral("MLINE");
        d.security.decimal = 2;
        d.geo.rect = plotRect();
        d.geo.max = 100;
        d.geo.min = 0;
        if (boxTop >= 0) {
            const chart::CrosshairTexts t =
                chart::crosshairTexts(d, mouseY, painter == QLatin1String("MCROSSHAIR"));
            QCOMPARE(t.left, left);
            QCOMPARE(t.right, right);
        }
        QImage image = blank();
        QPainter p(&image);
        chart::crosshairPainter(painter)(&p, d, mouseX, mouseY, 0, 10, show);
        p.end();
        const int x = std::min(mouseX, 459);
        QCOMPARE(paintedCount(image, QRect(x, 20, 1, 100)) > 30, lines);
        if (lines && mouseY < 119) {
            QVERIFY(paintedCount(image, QRect(100, mouseY, 80, 1)) > 20);
            QVERIFY(sameColor(colorAt(image, x, 20), kCrosshair, 0));
            QVERIFY(!painted(image, x + 1, 50));
        }
        if (boxTop < 0) {
            QCOMPARE(paintedCount(image, QRect(0, 0, 60, 160)), 0);
            return;
        }
        const int h = QFontMetrics(chart::style::font()).height();
        QVERIFY(sameColor(colorAt(image, 1, boxTop), kBox, 0));
        QVERIFY(sameColor(colorAt(image, 1, boxTop + h - 1), kBox, 0));
        QVERIFY(!painted(image, 1, boxTop - 1));
        QVERIFY(!painted(image, 1, boxTop + h));
        QVERIFY(sameColor(colorAt(image, 518, boxTop), kBox, 0));
        QVERIFY(!painted(image, 521, boxTop));
    }
};

QTEST_MAIN(TestAxisPainters)
#include "tst_axis_painters.moc"
