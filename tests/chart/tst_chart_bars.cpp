// Bars built from quote blocks, stored into a series, and overlays aligned to the main series.
#include "chart/bar_series.h"
#include "libformula/fml.h"

#include <QtTest>

using TimeList = QVector<int>;

namespace {

// Bars at the given times; close carries `tag` so a test can tell stored from delivered bars.
KSeries bars(const TimeList& times, float tag) {
    KSeries s;
    for (int t : times) {
        KData k{};
        k.time = uint32_t(t);
        k.close = tag;
        s.push_back(k);
    }
    return s;
}

TimeList timesOf(const KSeries& s) {
    TimeList t;
    for (const KData& k : s) {
        t.append(int(k.time));
    }
    return t;
}

QVector<float> closesOf(const KSeries& s) {
    QVector<float> c;
    for (const KData& k : s) {
        c.append(k.close);
    }
    return c;
}

}  // namespace

class TestChartBars : public QObject {
    Q_OBJECT

private slots:
    void storing_data() {
        QTest::addColumn<TimeList>("stored");
        QTest::addColumn<TimeList>("incoming");
        QTest::addColumn<bool>("replaceWhole");
        QTest::addColumn<TimeList>("times");
        QTest::addColumn<QVector<float>>("closes");  // 1 stored bar, 2 delivered bar
        QTest::newRow("into empty")
            << TimeList{} << TimeList{5, 6} << false << TimeList{5, 6} << QVector<float>{2, 2};
        QTest::newRow("empty block keeps bars")
            << TimeList{1, 2} << TimeList{} << false << TimeList{1, 2} << QVector<float>{1, 1};
        QTest::newRow("minute block replacing")
            << TimeList{1, 2, 3} << TimeList{7} << true << TimeList{7} << QVector<float>{2};
        QTest::newRow("appended after the last")
            << TimeList{1, 2} << TimeList{3, 4} << false << TimeList{1, 2, 3, 4}
            << QVector<float>{1, 1, 2, 2};
        QTest::newRow("live update of the last bar")
            << TimeList{1, 2, 3} << TimeList{3} << false << TimeList{1, 2, 3}
            << QVector<float>{1, 1, 2};
        QTest::newRow("last bar replaced and more appended")
            << TimeList{1, 2, 3} << TimeList{3, 4, 5} << false << TimeList{1, 2, 3, 4, 5}
            << QVector<float>{1, 1, 2, 2, 2};
        QTest::newRow("older bars in front")
            << TimeList{10, 11} << TimeList{7, 8} << false << TimeList{7, 8, 10, 11}
            << QVector<float>{2, 2, 1, 1};
        QTest::newRow("older bars meeting the first")
            << TimeList{10, 11} << TimeList{8, 9, 10} << false << TimeList{8, 9, 10, 11}
            << QVector<float>{2, 2, 2, 1};
        QTest::newRow("one bar on the first") << TimeList{10, 11, 12} << TimeList{10} << false
                                              << TimeList{10, 11, 12} << QVector<float>{2, 1, 1};
        QTest::newRow("overlap merged, new bars win")
            << TimeList{1, 3, 5, 7} << TimeList{2, 3, 4} << false << TimeList{1, 2, 3, 4, 5, 7}
            << QVector<float>{1, 2, 2, 2, 1, 1};
        QTest::newRow("block covering everything")
            << TimeList{3, 4} << TimeList{1, 2, 3, 4, 5} << false << TimeList{1, 2, 3, 4, 5}
            << QVector<float>{2, 2, 2, 2, 2};
    }
    void storing() {
        QFETCH(TimeList, stored);
        QFETCH(TimeList, incoming);
        QFETCH(bool, replaceWhole);
        QFETCH(TimeList, times);
        QFETCH(QVector<float>, closes);
        KSeries s = bars(stored, 1);
        chart::storeBars(s, bars(incoming, 2), replaceWhole);
        QCOMPARE(timesOf(s), times);
        QCOMPARE(closesOf(s), closes);
    }

    void overlayAlignment_data() {
        QTest::addColumn<TimeList>("base");
        QTest::addColumn<TimeList>("overlay");
        QTest::addColumn<TimeList>("aligned");  // 0 = gap record
        QTest::newRow("same days") << TimeList{1, 2, 3} << TimeList{1, 2, 3} << TimeList{1, 2, 3};
        QTest::newRow("overlay suspended on a day")
            << TimeList{1, 2, 3, 4} << TimeList{1, 3, 4} << TimeList{1, 0, 3, 4};
        QTest::newRow("overlay's own days dropped")
            << TimeList{2, 4} << TimeList{1, 2, 3, 4, 5} << TimeList{2, 4};
        QTest::newRow("overlay starts later")
            << TimeList{1, 2, 3} << TimeList{3} << TimeList{0, 0, 3};
        QTest::newRow("no overlay bars") << TimeList{1, 2} << TimeList{} << TimeList{0, 0};
        QTest::newRow("empty base") << TimeList{} << TimeList{1} << TimeList{};
    }
    void overlayAlignment() {
        QFETCH(TimeList, base);
        QFETCH(TimeList, overlay);
        QFETCH(TimeList, aligned);
        const KSeries a = chart::alignToBase(bars(base, 1), bars(overlay, 2));
        QCOMPARE(timesOf(a), aligned);
        for (const KData& k : a) {
            if (k.time == 0) {
                QCOMPARE(k.date, 0u);
                QCOMPARE(k.close, FMLInvalidValue);
                QCOMPARE(k.vol, FMLInvalidValue);
            } else {
                QCOMPARE(k.close, 2.0f);
            }
        }
    }

    void klineFields() {
        QuoteKPoint p{};
        p.time = 1583366400;  // 2020-03-05 00:00 UTC; noon local time anywhere near
        p.time += 12 * 3600;
        p.open = 1.5f;
        p.high = 2.5f;
        p.low = 1.0f;
        p.close = 2.0f;
        p.extra = 0.25f;
        p.volume = 123456789012LL;
        p.amount = 42;
        QuoteKPoint q = p;
        q.time += 86400;
        q.close = 3.0f;
        QuoteKPoint pts[2] = {p, q};
        KSeries s = chart::barsFromKLine(pts, 2);
        chart::resetPrevClose(s);
        QCOMPARE(s.size(), size_t(2));
        QCOMPARE(s[0].date, 1200305u);
        QCOMPARE(s[1].date, 1200306u);
        QCOMPARE(s[0].time, uint32_t(p.time));
        QCOMPARE(s[0].open, 1.5f);
        QCOMPARE(s[0].high, 2.5f);
        QCOMPARE(s[0].low, 1.0f);
        QCOMPARE(s[0].aux, 0.25f);
        QCOMPARE(s[0].vol, float(123456789012LL));
        QCOMPARE(s[0].sum, 42.0f);
        QCOMPARE(s[0].avg_price, 0.0f);
        QCOMPARE(s[0].p_close, 2.0f);  // the first bar: its own close
        QCOMPARE(s[1].p_close, 2.0f);  // later bars: the close before
    }

    void minuteFields() {
        QuoteMinPoint pts[3] = {};
        const float prices[3] = {10.1f, 10.2f, 10.0f};
        for (int i = 0; i < 3; ++i) {
            pts[i].time = 1600000000 + 60 * i;
            pts[i].price = prices[i];
            pts[i].avg_price = i == 1 ? 0.0f : 10.05f;
            pts[i].volume = 100 * (i + 1);
            pts[i].amount = 1000 * (i + 1);
        }
        QuoteMinPoints block{};
        block.pre_close = 9.9f;
        block.count = 3;
        block.points = pts;
        const KSeries s = chart::barsFromMinute(block);
        QCOMPARE(s.size(), size_t(3));
        QCOMPARE(s[0].p_close, 9.9f);
        QCOMPARE(s[1].p_close, 10.1f);
        QCOMPARE(s[2].p_close, 10.2f);
        QCOMPARE(s[1].avg_price, FMLInvalidValue);  // 0 means no average
        QCOMPARE(s[2].date, s[2].time);
        QCOMPARE(s[2].high, 10.0f);
        QCOMPARE(s[2].vol, 300.0f);
        QCOMPARE(s[2].sum, 3000.0f);
        QCOMPARE(s[2].aux, 0.0f);
    }
};

QTEST_APPLESS_MAIN(TestChartBars)
#include "tst_chart_bars.moc"
