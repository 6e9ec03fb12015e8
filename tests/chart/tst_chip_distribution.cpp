// The cost distribution against a reference computed here from first principles over fixed
// bars, the period snapshots of the far and near modes, and the panel following a chart's
// crosshair.
#include "chart/cchip_distribution.h"
#include "chart_fixture.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <map>

namespace {

struct Reference {
    double total = 0, profit = 0, avg = 0;
    double low90 = 0, high90 = 0, low70 = 0, high70 = 0;
    std::map<long, double> buckets;
};

// Triangle shares of n buckets: rising by one step to the middle, falling to the top, scaled to
// add up to one.
std::vector<double> triangleShares(int n) {
    if (n <= 2) {
        return std::vector<double>(size_t(n), 1.0 / n);
    }
    const int lower = n / 2 + n % 2;
    std::vector<double> steps;
    for (int i = 0; i < lower; ++i) {
        steps.push_back(i);
    }
    for (int j = 0; j < n - lower; ++j) {
        steps.push_back(n / 2 - 1 - j);
    }
    double sum = 0;
    for (double s : steps) {
        sum += s;
    }
    for (double& s : steps) {
        s /= sum;
    }
    return steps;
}

Reference reference(const std::vector<KData>& bars, size_t count, int decimal) {
    Reference r;
    const double scale = std::pow(10.0, decimal);
    double b = 1;
    for (size_t k = count; k-- > 0;) {
        const KData& bar = bars[k];
        const double w = double(bar.vol) * 100 * b;
        const long lo = std::lround(bar.low * scale);
        const long hi = std::lround(bar.high * scale);
        const std::vector<double> shares = triangleShares(int(hi - lo + 1));
        for (long t = lo; t <= hi; ++t) {
            r.buckets[t] += w * shares[size_t(t - lo)];
        }
        b *= bar.aux != 0 ? std::clamp(1 - bar.aux / 100.0, 0.0, 1.0) : 0.0;
    }
    const double close = bars[count - 1].close;
    const long first = r.buckets.begin()->first;
    const long last = r.buckets.rbegin()->first;
    for (long t = first; t <= last; ++t) {
        const double c = r.buckets.count(t) ? r.buckets[t] : 0;
        r.total += c;
        r.avg += c * t / scale;
        if (close > t / scale) {
            r.profit += c;
        }
    }
    r.avg /= r.total;
    double run = 0;
    bool l90 = false, h90 = false, l70 = false, h70 = false;
    for (long t = first; t <= last; ++t) {
        run += r.buckets.count(t) ? r.buckets[t] : 0;
        const double share = run / r.total;
        if (!l90 && share > 0.05) {
            r.low90 = t / scale, l90 = true;
        }
        if (!h90 && share > 0.95) {
            r.high90 = t / scale, h90 = true;
        }
        if (!l70 && share > 0.15) {
            r.low70 = t / scale, l70 = true;
        }
        if (!h70 && share > 0.85) {
            r.high70 = t / scale, h70 = true;
        }
    }
    return r;
}

// Deterministic bars: a wandering close, ranges of a few ticks, turnover between 0.5 and 6 %.
std::vector<KData> wanderingBars(int count, double start, int decimal, unsigned seed) {
    std::vector<KData> bars;
    const double tick = std::pow(10.0, -decimal);
    double close = start;
    unsigned s = seed;
    auto next = [&s] {
        s = s * 1103515245u + 12345u;
        return double((s >> 8) % 10000) / 10000.0;
    };
    for (int k = 0; k < count; ++k) {
        KData d{};
        d.date = 120 * 10000 + 101 + uint32_t(k % 28);
        d.time = uint32_t(1577923200 + k * 86400);
        const double open = close;
        close = std::max(10 * tick, close * (1 + (next() - 0.5) * 0.06));
        const double hi = std::max(open, close) + std::floor(next() * 8) * tick;
        const double lo = std::max(tick, std::min(open, close) - std::floor(next() * 8) * tick);
        d.open = float(open);
        d.close = float(close);
        d.high = float(std::round(hi / tick) * tick);
        d.low = float(std::round(lo / tick) * tick);
        d.vol = float(1000 + std::floor(next() * 50000));
        d.aux = float(0.5 + next() * 5.5);
        bars.push_back(d);
    }
    return bars;
}

KData flatBar(float low, float high, float close, float vol, float turnover) {
    KData d{};
    d.low = low;
    d.high = high;
    d.open = close;
    d.close = close;
    d.vol = vol;
    d.aux = turnover;
    return d;
}

bool near(double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

}  // namespace

Q_DECLARE_METATYPE(QVector<KData>)

class TestChipDistribution : public QObject {
    Q_OBJECT

private slots:
    void triangle_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QVector<double>>("shares");
        QTest::newRow("one bucket") << 1 << QVector<double>{1};
        QTest::newRow("two buckets") << 2 << QVector<double>{0.5, 0.5};
        QTest::newRow("three buckets") << 3 << QVector<double>{0, 1, 0};
        QTest::newRow("four buckets") << 4 << QVector<double>{0, 0.5, 0.5, 0};
        QTest::newRow("five buckets") << 5 << QVector<double>{0, 0.25, 0.5, 0.25, 0};
        QTest::newRow("six buckets") << 6 << QVector<double>{0, 1. / 6, 2. / 6, 2. / 6, 1. / 6, 0};
    }
    void triangle() {
        QFETCH(int, n);
        QFETCH(QVector<double>, shares);
        std::vector<double> chips(size_t(n) + 2, 0.0);
        TriangelDistribution().distribute(chips, 1, size_t(n), 8.0);
        QCOMPARE(chips.front(), 0.0);
        QCOMPARE(chips.back(), 0.0);
        for (int i = 0; i < n; ++i) {
            QVERIFY2(near(chips[size_t(i) + 1], 8.0 * shares[i]), qPrintable(QString::number(i)));
        }
    }

    void againstReference_data() {
        QTest::addColumn<QVector<KData>>("bars");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("decimal");
        const std::vector<KData> walk = wanderingBars(300, 12.34, 2, 7);
        QTest::newRow("single tick bar")
            << QVector<KData>{flatBar(10.1f, 10.1f, 10.1f, 500, 2)} << 1 << 2;
        QTest::newRow("two tick bar")
            << QVector<KData>{flatBar(10.1f, 10.11f, 10.11f, 500, 2)} << 1 << 2;
        QTest::newRow("300 wandering bars") << QVector<KData>(walk.begin(), walk.end()) << 300 << 2;
        QTest::newRow("crosshair back at bar 120")
            << QVector<KData>(walk.begin(), walk.end()) << 121 << 2;
        const std::vector<KData> fund = wanderingBars(200, 1.234, 3, 11);
        QTest::newRow("fund with three decimals")
            << QVector<KData>(fund.begin(), fund.end()) << 200 << 3;
        std::vector<KData> noTurnover = wanderingBars(50, 8.0, 2, 3);
        noTurnover.back().aux = 0;
        QTest::newRow("newest bar without turnover")
            << QVector<KData>(noTurnover.begin(), noTurnover.end()) << 50 << 2;
        std::vector<KData> wild = wanderingBars(40, 20.0, 2, 5);
        wild[30].aux = 250;
        QTest::newRow("turnover beyond 100 percent")
            << QVector<KData>(wild.begin(), wild.end()) << 40 << 2;
    }
    void againstReference() {
        QFETCH(QVector<KData>, bars);
        QFETCH(int, count);
        QFETCH(int, decimal);
        const std::vector<KData> v(bars.begin(), bars.end());
        ChipEngine engine;
        engine.setDecimal(decimal);
        engine.setBars(v.data(), v.size());
        engine.setBarCount(size_t(count));
        engine.recompute();
        const Reference r = reference(v, size_t(count), decimal);
        QVERIFY(!engine.empty());
        QVERIFY2(near(engine.total(), r.total), qPrintable(QString::number(engine.total())));
        QVERIFY(near(engine.profit(), r.profit));
        QVERIFY(near(engine.averageCost(), r.avg));
        QVERIFY(near(engine.low90(), r.low90));
        QVERIFY(near(engine.high90(), r.high90));
        QVERIFY(near(engine.low70(), r.low70));
        QVERIFY(near(engine.high70(), r.high70));
        QVERIFY(near(engine.concentration90(), (r.high90 - r.low90) / (r.high90 + r.low90)));
        QVERIFY(near(engine.concentration70(), (r.high70 - r.low70) / (r.high70 + r.low70)));
        for (const auto& b : r.buckets) {
            const size_t k = size_t(b.first - std::lround(engine.minPrice() / engine.tickSize()));
            QVERIFY(k < engine.chips().size());
            QVERIFY(near(engine.chips()[k], b.second));
        }
    }

    // Without turnover on the newest bar every older bar is worn away entirely.
    void noTurnoverKeepsOnlyNewestBar() {
        std::vector<KData> bars = wanderingBars(20, 9.0, 2, 9);
        bars.back().aux = 0;
        ChipEngine engine;
        engine.setBars(bars.data(), bars.size());
        engine.setBarCount(bars.size());
        engine.recompute();
        QVERIFY(near(engine.total(), double(bars.back().vol) * 100));
    }

    void periods_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("bars");
        QTest::addColumn<QVector<int>>("taken");
        QTest::addColumn<QVector<int>>("order");
        QTest::newRow("far, 30 bars")
            << 1 << 30 << QVector<int>{5, 10, 20, 30} << QVector<int>{5, 10, 20, 30, 60, 100};
        QTest::newRow("near, 30 bars")
            << 2 << 30 << QVector<int>{5, 10, 20, 30} << QVector<int>{100, 60, 30, 20, 10, 5};
        QTest::newRow("far, 150 bars") << 1 << 150 << QVector<int>{5, 10, 20, 30, 60, 100}
                                       << QVector<int>{5, 10, 20, 30, 60, 100};
        QTest::newRow("near, 150 bars") << 2 << 150 << QVector<int>{5, 10, 20, 30, 60, 100}
                                        << QVector<int>{100, 60, 30, 20, 10, 5};
    }
    void periods() {
        QFETCH(int, type);
        QFETCH(int, bars);
        QFETCH(QVector<int>, taken);
        QFETCH(QVector<int>, order);
        const std::vector<KData> v = wanderingBars(bars, 15.0, 2, 21);
        ChipEngine engine;
        engine.setType(type);
        engine.setBars(v.data(), v.size());
        engine.setBarCount(v.size());
        engine.recompute();
        QVector<int> seen;
        QVector<int> seenTaken;
        auto check = [&](int period, const ChipPeriodEntry& e) {
            seen << period;
            if (!e.taken) {
                return;
            }
            seenTaken << period;
            // Far: the weight of the bars before the last `period`; near: of the last `period`.
            double expected = 0;
            for (int k = 0; k < bars; ++k) {
                const bool older = k < bars - period;
                if (type == ChipEngine::Far ? older : !older) {
                    expected += engine.weights()[size_t(k)];
                }
            }
            QVERIFY2(near(e.sum, expected), qPrintable(QString::number(period)));
        };
        if (type == ChipEngine::Far) {
            for (const auto& e : engine.farMap()) {
                check(e.first, e.second);
            }
        } else {
            for (const auto& e : engine.nearMap()) {
                check(e.first, e.second);
            }
        }
        QCOMPARE(seen, order);
        std::sort(seenTaken.begin(), seenTaken.end());
        QCOMPARE(seenTaken, taken);
    }

    // The panel follows a K-line chart's crosshair: the distribution ends at the bar under it.
    void panelFollowsCrosshair() {
        auto chart = fixture::makeChart();
        chart->setLineType("kline");
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        fixture::feedKLine(*chart, fixture::kpoints(200));
        chart->setkShowNumber(200);
        CChipDistribution panel;
        panel.setSize(QSizeF(280, 621));
        panel.setVisible(true);
        panel.bindSyncDataSignal(chart.get());
        QCOMPARE(panel.barCount(), 200);

        chart->updateCrosshairPos(150);
        QCOMPARE(panel.barCount(), 151);
        const KData* bar = chart->getPosKData(150);
        QCOMPARE(panel.dateText(), QDate(int(bar->date / 10000) + 1900, int(bar->date / 100 % 100),
                                         int(bar->date % 100))
                                       .toString("yyyy-MM-dd"));
        const std::vector<KData> bars(*chart->getKData(0));
        const Reference r = reference(bars, 151, 2);
        QVERIFY(near(panel.averageCost(), r.avg));
        QVERIFY(near(panel.profitRatio(), r.profit / r.total));

        // The histogram shows profit chips in yellow and the average cost line in cyan.
        QImage image(280, 621, QImage::Format_RGB32);
        QPainter painter(&image);
        panel.paint(&painter);
        painter.end();
        bool yellow = false, cyan = false;
        for (int y = 0; y < image.height(); ++y) {
            yellow = yellow || image.pixel(5, y) == qRgb(255, 255, 0);
            cyan = cyan || image.pixel(150, y) == qRgb(84, 255, 255);
        }
        QVERIFY(yellow);
        QVERIFY(cyan);

        // A minute chart is not followed.
        chart->setLineType("mline");
        chart->updateCrosshairPos(20);
        QCOMPARE(panel.barCount(), 151);
    }

    // Hidden panels do not compute; becoming visible catches up with the chart.
    void hiddenPanelWaits() {
        auto chart = fixture::makeChart();
        chart->setLineType("kline");
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        CChipDistribution panel;
        panel.bindSyncDataSignal(chart.get());
        QSignalSpy computed(&panel, &CChipDistribution::computed);
        fixture::feedKLine(*chart, fixture::kpoints(80));
        QCOMPARE(computed.count(), 0);
        panel.setVisible(true);
        QCOMPARE(computed.count(), 1);
        QCOMPARE(panel.barCount(), 80);
        QVERIFY(panel.averageCost() > 0);
    }
};

QTEST_MAIN(TestChipDistribution)
#include "tst_chip_distribution.moc"
