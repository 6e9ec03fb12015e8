// The visible window, bar geometry, value ranges, percentage alignment, pixel mapping and the
// per-bar queries of a chart.
#include "chart_fixture.h"

#include <QtTest>

using fixture::feedKLine;
using fixture::kpoints;

namespace {

std::vector<QuoteKPoint> flatPoints(int count, float price) {
    std::vector<QuoteKPoint> p = kpoints(count);
    for (QuoteKPoint& k : p) {
        k.open = k.high = k.low = k.close = price;
    }
    return p;
}

}  // namespace

class TestQChartLayout : public QObject {
    Q_OBJECT

private slots:
    void windowAfterBlocks_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QVector<int>>("window");  // begin, end, crosshair before the block
        QTest::addColumn<int>("front");            // bars delivered before the stored ones
        QTest::addColumn<int>("back");             // bars after the last (the last one replaced)
        QTest::addColumn<QVector<int>>("expected");
        QTest::newRow("reset: newest bars")
            << 0 << true << QVector<int>{0, 0, -1} << 0 << 500 << QVector<int>{380, 499, 499};
        QTest::newRow("first block with the flag cleared")
            << 0 << false << QVector<int>{0, 0, -1} << 0 << 300 << QVector<int>{180, 299, 299};
        QTest::newRow("reset: fewer bars than slots")
            << 0 << true << QVector<int>{0, 0, -1} << 0 << 50 << QVector<int>{0, 49, 49};
        QTest::newRow("older bars keep the view") << 200 << false << QVector<int>{150, 199, 170}
                                                  << 100 << 0 << QVector<int>{250, 299, 270};
        QTest::newRow("live update keeps the window")
            << 200 << false << QVector<int>{100, 150, 120} << 0 << 1 << QVector<int>{100, 150, 120};
        QTest::newRow("a new period shifts by one")
            << 200 << false << QVector<int>{80, 199, 199} << 0 << 2 << QVector<int>{81, 200, 200};
        QTest::newRow("reading history is not scrolled by a new period")
            << 200 << false << QVector<int>{50, 169, 100} << 0 << 3 << QVector<int>{50, 169, 100};
        QTest::newRow("reset again after a cleared flag")
            << 200 << true << QVector<int>{10, 20, 15} << 0 << 1 << QVector<int>{80, 199, 199};
    }
    void windowAfterBlocks() {
        QFETCH(int, stored);
        QFETCH(bool, reset);
        QFETCH(QVector<int>, window);
        QFETCH(int, front);
        QFETCH(int, back);
        QFETCH(QVector<int>, expected);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        const int firstDay = 1000;
        if (stored > 0) {
            feedKLine(*chart, kpoints(stored, firstDay));
            chart->updateReCalcShow(window[0], window[1], 120, window[2]);
        }
        chart->resetBeginEndState(reset);
        QSignalSpy updates(chart.get(), &QChart::dataUpdate);
        if (front > 0) {
            feedKLine(*chart, kpoints(front, firstDay - front));
        }
        if (back > 0) {
            feedKLine(*chart, kpoints(back, firstDay + stored - 1 + (stored > 0 ? 0 : 1)));
        }
        QCOMPARE(chart->getBegin(), expected[0]);
        QCOMPARE(chart->getEnd(), expected[1]);
        QCOMPARE(chart->getCrosshairPos(), expected[2]);
        QCOMPARE(updates.count(), (front > 0 ? 1 : 0) + (back > 0 ? 1 : 0));
        // The flag is used up by the block.
        feedKLine(*chart, kpoints(1, firstDay - front - 5));
        QCOMPARE(chart->getEnd(), expected[1] + 1);
    }

    void showNumber_data() {
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("crosshair");  // -1: crosshair line hidden
        QTest::addColumn<int>("n");
        QTest::addColumn<QVector<int>>("expected");  // kShowNumber, begin, end
        QTest::newRow("more slots than bars") << 300 << -1 << 500 << QVector<int>{300, 0, 299};
        QTest::newRow("anchored at the newest") << 1000 << -1 << 120 << QVector<int>{120, 880, 999};
        QTest::newRow("anchored at the crosshair") << 1000 << 30 << 120 << QVector<int>{91, 0, 90};
        QTest::newRow("crosshair near the end")
            << 1000 << 990 << 100 << QVector<int>{100, 900, 999};
        QTest::newRow("zero becomes one") << 100 << -1 << 0 << QVector<int>{1, 99, 99};
        QTest::newRow("negative becomes one") << 100 << -1 << -7 << QVector<int>{1, 99, 99};
        QTest::newRow("single bar") << 1 << -1 << 120 << QVector<int>{1, 0, 0};
        QTest::newRow("huge") << 100 << -1 << 2000000000 << QVector<int>{100, 0, 99};
    }
    void showNumber() {
        QFETCH(int, bars);
        QFETCH(int, crosshair);
        QFETCH(int, n);
        QFETCH(QVector<int>, expected);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(bars));
        if (crosshair >= 0) {
            chart->updateReCalcShow(chart->getBegin(), chart->getEnd(), 120, crosshair);
            chart->setShowCrosshairLine(true);
        }
        QSignalSpy spy(chart.get(), &QChart::reCalcShow);
        chart->setkShowNumber(n);
        QCOMPARE(chart->getkShowNumber(), expected[0]);
        QCOMPARE(chart->getBegin(), expected[1]);
        QCOMPARE(chart->getEnd(), expected[2]);
        QVERIFY(chart->getCrosshairPos() >= chart->getBegin());
        QVERIFY(chart->getCrosshairPos() <= chart->getEnd());
        QVERIFY(spy.count() >= 1);
        const QList<QVariant> last = spy.last();
        QCOMPARE(last[0].toInt(), chart->getBegin());
        QCOMPARE(last[1].toInt(), chart->getEnd());
        QCOMPARE(last[2].toInt(), chart->getkShowNumber());
    }

    void showNumberWithoutReset() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(500));
        QSignalSpy spy(chart.get(), &QChart::reCalcShow);
        chart->setkShowNumber(60, false);
        QCOMPARE(chart->getkShowNumber(), 60);
        QCOMPARE(chart->getBegin(), 380);
        QCOMPARE(spy.count(), 0);
    }

    void reCalcShow_data() {
        QTest::addColumn<QVector<int>>("args");  // begin, end, showNumber, x_pos
        QTest::addColumn<QVector<int>>("expected");
        QTest::newRow("applied as given")
            << QVector<int>{10, 49, 40, 20} << QVector<int>{10, 49, 40, 20};
        QTest::newRow("begin below 0") << QVector<int>{-5, 30, 36, 3} << QVector<int>{0, 30, 36, 3};
        QTest::newRow("end past the last")
            << QVector<int>{50, 500, 120, 60} << QVector<int>{50, 99, 120, 60};
        QTest::newRow("negative end") << QVector<int>{0, -3, 10, 0} << QVector<int>{0, 0, 10, 0};
    }
    void reCalcShow() {
        QFETCH(QVector<int>, args);
        QFETCH(QVector<int>, expected);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(100));
        QSignalSpy spy(chart.get(), &QChart::reCalcShow);
        chart->updateReCalcShow(args[0], args[1], args[2], args[3]);
        QCOMPARE(chart->getBegin(), expected[0]);
        QCOMPARE(chart->getEnd(), expected[1]);
        QCOMPARE(chart->getkShowNumber(), expected[2]);
        QCOMPARE(chart->getCrosshairPos(), expected[3]);
        QCOMPARE(spy.count(), 0);  // followers never echo a window
    }

    void barGeometry_data() {
        QTest::addColumn<int>("itemWidth");
        QTest::addColumn<int>("n");
        QTest::addColumn<float>("gap");
        QTest::addColumn<float>("width");
        QTest::newRow("120 on 600") << 720 << 120 << 1.0f << 4.0f;
        QTest::newRow("700 on 600") << 720 << 700 << 0.0f << 600.0f / 700.0f;
        QTest::newRow("2 on 600 capped") << 720 << 2 << 1.0f << 74.0f;
        QTest::newRow("one bar") << 720 << 1 << 1.0f << 74.0f;
        QTest::newRow("no plot width") << 100 << 120 << 0.0f << 0.0f;
    }
    void barGeometry() {
        QFETCH(int, itemWidth);
        QFETCH(int, n);
        QFETCH(float, gap);
        QFETCH(float, width);
        auto chart = fixture::makeChart();
        chart->setWidth(itemWidth);
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(1000));
        chart->setkShowNumber(n);
        const CTXData* d = chart->getCTXData(0);
        QVERIFY(d);
        QCOMPARE(d->geo.barGap, gap);
        QVERIFY(qAbs(d->geo.barWidth - width) < 1e-4f);
        QCOMPARE(d->geo.rect, QRect(60, 20, std::max(itemWidth - 120, 0), 600));
        QCOMPARE(d->geo.fullRect, d->geo.rect);
        // Pixel queries stay inside the window even without a usable plot.
        QVERIFY(chart->getXPoint(1e12) <= chart->getEnd());
        QVERIFY(chart->getXPoint(-1e12) >= chart->getBegin());
    }

    void valueRanges_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("scales");
        QTest::addColumn<bool>("flat");  // every price 10
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("min");
        QTest::newRow("flat curve") << "T_FLAT"
                                    << "NO" << false << 10.1 << 9.9;
        QTest::newRow("flat K-line takes 10 px margins") << "KLINE"
                                                         << "KSCALES" << true << 20.0 << 0.0;
        // Highs 10.2 .. 10.6, lows 9.7 .. 10.1 on a 600 px plot: 10 px = 0.015.
        QTest::newRow("K-line margins") << "KLINE"
                                        << "KSCALES" << false << 10.615 << 9.685;
        QTest::newRow("closes") << "T_CLOSE"
                                << "NO" << false << 10.4 << 10.0;
        QTest::newRow("minute scales symmetric about the previous close")
            << "T_CLOSE"
            << "MSCALES" << false << 10.4 << 9.6;
        QTest::newRow("all missing") << "T_MISSING"
                                     << "NO" << false << 0.0 << 0.0;
    }
    void valueRanges() {
        QFETCH(QString, formula);
        QFETCH(QString, scales);
        QFETCH(bool, flat);
        QFETCH(double, max);
        QFETCH(double, min);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, formula, scales, "NO");
        feedKLine(*chart, flat ? flatPoints(5, 10) : kpoints(5));
        const CTXData* d = chart->getCTXData(0);
        QVERIFY(d);
        QVERIFY2(qAbs(d->geo.max - max) < 1e-3, qPrintable(QString::number(d->geo.max)));
        QVERIFY2(qAbs(d->geo.min - min) < 1e-3, qPrintable(QString::number(d->geo.min)));
    }

    void rangeFollowsWindow_data() {
        QTest::addColumn<int>("begin");
        QTest::addColumn<int>("end");
        QTest::newRow("early bars") << 10 << 19;
        QTest::newRow("newest bars") << 80 << 99;
        QTest::newRow("one bar") << 42 << 42;
    }
    void rangeFollowsWindow() {
        QFETCH(int, begin);
        QFETCH(int, end);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "T_CLOSE", "NO", "NO");
        feedKLine(*chart, kpoints(100));
        chart->updateReCalcShow(begin, end, 120, begin);
        const CTXData* d = chart->getCTXData(0);
        const float hi = chart->getPosKData(end)->close;
        const float lo = chart->getPosKData(begin)->close;
        QCOMPARE(d->geo.max, hi == lo ? hi * 1.01f : hi);
        QCOMPARE(d->geo.min, hi == lo ? lo * 0.99f : lo);
        // Scrolling reuses the outputs; a live push brings new ones.
        std::vector<QuoteKPoint> today = kpoints(1, 99);
        today[0].close = 50;
        feedKLine(*chart, today);
        chart->updateReCalcShow(90, 99, 120, 99);
        QCOMPARE(chart->getCTXData(0)->geo.max, 50.0f);
    }

    void percentageAlignment_data() {
        QTest::addColumn<int>("overlayFirstDay");
        QTest::addColumn<float>("overlayBase");
        QTest::newRow("same days, twice the price") << 0 << 20.0f;
        QTest::newRow("overlay missing the first days") << 3 << 5.0f;
    }
    void percentageAlignment() {
        QFETCH(int, overlayFirstDay);
        QFETCH(float, overlayBase);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, "MA", "NO", "NO");
        chart->appendFormula(1, "KLINE", "NO", "NO");
        QCOMPARE(chart->getLayerCount(), 2);
        feedKLine(*chart, kpoints(40));
        feedKLine(*chart, kpoints(40 - overlayFirstDay, overlayFirstDay, overlayBase), 1);
        QCOMPARE(chart->getPointCount(1), 40);
        const CTXData& main = (*chart->getLayer(0))[0];
        const CTXData& ma = (*chart->getLayer(0))[1];
        const CTXData& over = (*chart->getLayer(1))[0];
        // Bases: the first open in the window of each layer's own bars.
        const float b0 = chart->getPosKData(0)->open;
        const float b1 = (*chart->getKData(1))[size_t(overlayFirstDay)].open;
        QCOMPARE(main.geo.max, ma.geo.max);
        QCOMPARE(main.geo.min, ma.geo.min);
        QVERIFY(qAbs((main.geo.max - b0) / b0 - (over.geo.max - b1) / b1) < 1e-5f);
        QVERIFY(qAbs((b0 - main.geo.min) / b0 - (b1 - over.geo.min) / b1) < 1e-5f);
        // Both securities' bars stay inside their panes.
        for (int k = overlayFirstDay; k < 40; ++k) {
            const KData& o = (*chart->getKData(1))[size_t(k)];
            QVERIFY(o.high <= over.geo.max && o.low >= over.geo.min);
        }
    }

    void coordinates_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("slot");
        QTest::addColumn<double>("value");
        QTest::newRow("first slot") << 120 << 0 << 10.0;
        QTest::newRow("middle") << 120 << 60 << 11.5;
        QTest::newRow("last slot") << 120 << 119 << 12.0;
        QTest::newRow("dense bars") << 700 << 351 << 9.8;
        QTest::newRow("wide bars") << 9 << 4 << 10.3;
    }
    void coordinates() {
        QFETCH(int, n);
        QFETCH(int, slot);
        QFETCH(double, value);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(1000));
        chart->setkShowNumber(n);
        const int x = chart->getPointX(slot);
        QCOMPARE(chart->getXPoint(x), chart->getBegin() + slot);
        const int y = chart->getPointY(value);
        const CTXData* d = chart->getCTXData(0);
        const double perPixel = double(d->geo.max - d->geo.min) / d->geo.rect.height();
        QVERIFY(qAbs(chart->getYPoint(y) - value) <= perPixel + 1e-6);
        QCOMPARE(chart->getPointY(d->geo.max), d->geo.rect.top());
    }

    void positionData_data() {
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("value");
        const float inv = FMLInvalidValue;
        QTest::newRow("close") << 3 << "close"
                               << "10.30" << 10.3f;
        QTest::newRow("open") << 3 << "open"
                              << "10.25" << 10.25f;
        QTest::newRow("high") << 0 << "high"
                              << "10.20" << 10.2f;
        QTest::newRow("low") << 0 << "low"
                             << "9.70" << 9.7f;
        QTest::newRow("previous close") << 3 << "p_close"
                                        << "10.20" << 10.2f;
        QTest::newRow("volume") << 2 << "vol"
                                << "1002.00" << 1002.0f;
        QTest::newRow("amount") << 2 << "sum"
                                << "100002.00" << 100002.0f;
        QTest::newRow("average of a K-line") << 2 << "avg_price"
                                             << "" << 0.0f;
        QTest::newRow("date") << 1 << "date"
                              << "2020-01-03" << inv;
        QTest::newRow("time like date") << 1 << "time"
                                        << "2020-01-03" << inv;
        QTest::newRow("unknown tag") << 1 << "colour"
                                     << "" << inv;
        QTest::newRow("before the first bar") << -1 << "close"
                                              << "" << inv;
        QTest::newRow("past the last bar") << 5 << "close"
                                           << "" << inv;
    }
    void positionData() {
        QFETCH(int, bar);
        QFETCH(QString, tag);
        QFETCH(QString, text);
        QFETCH(float, value);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        feedKLine(*chart, kpoints(5));
        const QString s = chart->getPosDataS(bar, tag);
        if (tag == "date" || tag == "time") {
            QVERIFY2(s.startsWith(text + " "), qPrintable(s));
            QCOMPARE(s, chart->getPosDataS(bar, tag == "date" ? "time" : "date"));
            QVERIFY(s.contains(QLocale().dayName(QDate(2020, 1, 3).dayOfWeek())));
            QVERIFY(s.endsWith("08:00:00"));  // midnight UTC in Shanghai
        } else {
            QCOMPARE(s, text);
        }
        const float f = chart->getPosDataF(bar, tag);
        QVERIFY2(qAbs(f - value) < 1e-4f || f == value, qPrintable(QString::number(f)));
        // The one-argument forms read the crosshair bar.
        chart->updateReCalcShow(0, 4, 120, 3);
        QCOMPARE(chart->getPosDataS("close"), QString("10.30"));
    }

    void timeBarTimes_data() {
        QTest::addColumn<QString>("main");
        QTest::addColumn<int>("n");
        QTest::addColumn<QVector<int>>("days");  // bar indices, or offsets in hours for MLINE
        QTest::newRow("five over 0..99") << "KLINE" << 5 << QVector<int>{0, 24, 49, 74, 99};
        QTest::newRow("one") << "KLINE" << 1 << QVector<int>{0};
        QTest::newRow("two") << "KLINE" << 2 << QVector<int>{0, 99};
        QTest::newRow("minute chart hour marks")
            << "MLINE" << 5 << QVector<int>{0, 3600, 7200, 12600, 16200, 19800};
    }
    void timeBarTimes() {
        QFETCH(QString, main);
        QFETCH(int, n);
        QFETCH(QVector<int>, days);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, main, "NO", "NO");
        feedKLine(*chart, kpoints(100));
        chart->updateReCalcShow(0, 99, 100, 0);
        const QList<int> times = chart->getTimeBarTime(n);
        QCOMPARE(times.size(), days.size());
        for (int i = 0; i < days.size(); ++i) {
            const int expected = main == "MLINE" ? int(fixture::kDay0) + days[i]
                                                 : int(fixture::kDay0 + days[i] * fixture::kDay);
            QCOMPARE(times[i], expected);
        }
        QCOMPARE(chart->getPosTime(-5), uint(fixture::kDay0));
        QCOMPARE(chart->getPosTime(500), uint(fixture::kDay0 + 99 * fixture::kDay));
    }

    void minuteTimeBarFromTheOpen_data() {
        QTest::addColumn<int>("firstMinute");  // seconds after 09:30 Beijing of the first bar
        QTest::newRow("bars stamped by their close") << 60;
        QTest::newRow("bars stamped by their start") << 0;
    }
    void minuteTimeBarFromTheOpen() {
        // The hour marks of a minute chart are 09:30, 10:30, 11:30, 13:00, 14:00 and 15:00
        // whichever end of the minute the bars carry.
        QFETCH(int, firstMinute);
        const int64_t open = fixture::kDay0 + 90 * 60;  // 09:30 Beijing is 01:30 UTC
        std::vector<QuoteMinPoint> points(240);
        for (size_t k = 0; k < points.size(); ++k) {
            points[k].time = open + firstMinute + int64_t(k) * 60;
            points[k].price = 10.0f;
            points[k].avg_price = 10.0f;
        }
        QuoteMinPoints block{};
        block.pre_close = 10.0f;
        block.count = uint32_t(points.size());
        block.points = points.data();
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "MLINE", "MSCALES", "MCROSSHAIR");
        chart->setkShowNumber(242);  // one trading day, as the minute views show it
        chart->onUpdateMinute(&block, 0);
        const QList<int> times = chart->getTimeBarTime(5);
        QCOMPARE(times.size(), 6);
        const QVector<int> offsets{0, 3600, 7200, 12600, 16200, 19800};
        for (int i = 0; i < offsets.size(); ++i) {
            QCOMPARE(times[i], int(open) + offsets[i]);
        }
    }
};

QTEST_MAIN(TestQChartLayout)
#include "tst_qchart_layout.moc"
