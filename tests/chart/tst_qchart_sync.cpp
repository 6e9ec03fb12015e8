// Charts fed by a data model and by a leading chart: sub-charts following the main chart's bars
// and window, overlays by series index, the index limit, dividends, adjusted bars handed in by
// the dividend processer, and the security the formulas see.
#include "chart/qdividend_processer.h"
#include "chart_fixture.h"

#include <QtTest>

#include <cstring>

using fixture::feedKLine;
using fixture::kpoints;

namespace {

// Emits the data model's signals, as the quote view's model does.
class FakeModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString code READ code CONSTANT)
    Q_PROPERTY(int market READ market CONSTANT)
public:
    QString code() const { return "600519"; }
    int market() const { return 1; }
signals:
    void updateMinute(QuoteMinPoints* minute, int index);
    void updateKLine(QuoteKPoints* k, int index);
    void updateDividend(QuoteDividendPoints* div);
};

void push(FakeModel& model, std::vector<QuoteKPoint> points, int index) {
    QuoteKPoints block{0, uint32_t(points.size()), points.data()};
    emit model.updateKLine(&block, index);
}

}  // namespace

class TestQChartSync : public QObject {
    Q_OBJECT

private slots:
    void subChartsFollow() {
        FakeModel model;
        auto main = fixture::makeChart();
        main->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        main->bindDataSignal(&model, -1);
        push(model, kpoints(300), 0);

        auto sub = fixture::makeChart();
        sub->resetBeginEndState(false);
        sub->appendFormula(0, "VOL", "KSCALES", "KCROSSHAIR");
        sub->setKData(main.get(), 0);
        sub->bindSyncDataSignal(main.get(), 0);
        sub->updateReCalcShow(main->getBegin(), main->getEnd(), main->getkShowNumber(),
                              main->getCrosshairPos());
        QObject::connect(main.get(), &QChart::reCalcShow, sub.get(), &QChart::updateReCalcShow);
        QCOMPARE(sub->getFirstKLineSize(), 300);

        // A live push reaches the sub-chart; so does the main chart's window.
        std::vector<QuoteKPoint> today = kpoints(1, 299);
        today[0].volume = 777777;
        push(model, today, 0);
        QCOMPARE(sub->getFirstKLineSize(), 300);
        QCOMPARE(sub->getPosDataF(299, "vol"), 777777.0f);
        main->setkShowNumber(60);
        QCOMPARE(sub->getBegin(), main->getBegin());
        QCOMPARE(sub->getEnd(), main->getEnd());
        QCOMPARE(sub->getkShowNumber(), 60);
        // The sub-chart's formulas see the main security.
        QCOMPARE(QByteArray(sub->getCTXData(0)->security.code), QByteArray("600519"));
        QCOMPARE(sub->getDecimal(), 2);
    }

    void seriesIndices_data() {
        QTest::addColumn<int>("maxIndex");
        QTest::addColumn<QVector<int>>("indices");  // indices of the blocks, in order
        QTest::addColumn<int>("series");
        QTest::newRow("overlays in arrival order") << -1 << QVector<int>{0, 1, 2} << 3;
        QTest::newRow("index past the count appends") << -1 << QVector<int>{0, 7} << 2;
        QTest::newRow("above the limit dropped") << 1 << QVector<int>{0, 1, 2} << 2;
        QTest::newRow("limit 0 means none") << 0 << QVector<int>{0, 1, 2, 3} << 4;
    }
    void seriesIndices() {
        QFETCH(int, maxIndex);
        QFETCH(QVector<int>, indices);
        QFETCH(int, series);
        FakeModel model;
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->bindDataSignal(&model, maxIndex);
        for (int i : indices) {
            push(model, kpoints(20, i, 10.0f + i), i);
        }
        QCOMPARE(chart->getKLineCount(), series);
        // Overlays are aligned to the main bars.
        for (int s = 1; s < series; ++s) {
            QCOMPARE(chart->getPointCount(s), 20);
        }
    }

    void minuteBlocks_data() {
        QTest::addColumn<bool>("showCrosshair");
        QTest::addColumn<int>("crosshair");
        QTest::newRow("crosshair follows the newest minute") << false << 241;
        QTest::newRow("a shown crosshair stays") << true << 100;
    }
    void minuteBlocks() {
        QFETCH(bool, showCrosshair);
        QFETCH(int, crosshair);
        auto chart = fixture::makeChart();
        chart->setLineType("mline");
        chart->appendFormula(0, "MLINE", "MSCALES", "MCROSSHAIR");
        chart->setkShowNumber(242);
        std::vector<QuoteMinPoint> points(200);
        for (int i = 0; i < 200; ++i) {
            points[size_t(i)].time = 1600000000 + 60 * i;
            points[size_t(i)].price = 10 + 0.01f * (i % 17);
        }
        QuoteMinPoints block{};
        block.pre_close = 10;
        block.count = 200;
        block.points = points.data();
        chart->onUpdateMinute(&block, 0);
        QCOMPARE(chart->getEnd(), 199);
        chart->updateReCalcShow(0, 199, 242, 100);
        chart->setShowCrosshairLine(showCrosshair);
        std::vector<QuoteMinPoint> more(points.end() - 1, points.end());
        for (int i = 0; i < 42; ++i) {
            QuoteMinPoint p = more.front();
            p.time += 60 * (i + 1);
            more.push_back(p);
        }
        block.append = 1;
        block.count = uint32_t(more.size());
        block.points = more.data();
        chart->onUpdateMinute(&block, 0);
        QCOMPARE(chart->getFirstKLineSize(), 242);
        QCOMPARE(chart->getBegin(), 0);
        QCOMPARE(chart->getEnd(), 241);
        QCOMPARE(chart->getCrosshairPos(), crosshair);
        // Symmetric about the previous close.
        const CTXData* d = chart->getCTXData(0);
        QVERIFY(qAbs((d->geo.max - 10) - (10 - d->geo.min)) < 1e-4f);
        // A whole-day block replaces the series.
        block.append = 0;
        block.count = 5;
        chart->onUpdateMinute(&block, 0);
        QCOMPARE(chart->getFirstKLineSize(), 5);
    }

    void dividends_data() {
        QTest::addColumn<double>("cash");
        QTest::addColumn<double>("bonus");
        QTest::addColumn<double>("rights");
        QTest::addColumn<double>("rightsPrice");
        QTest::addColumn<QString>("detailed");
        QTest::newRow("cash and bonus") << 0.35 << 0.3 << 0.0 << 0.0 << "红利3.5元 送转3股";
        QTest::newRow("rights issue") << 0.0 << 0.0 << 0.2 << 8.5 << " 配股2股 配股价8.5元";
        QTest::newRow("nothing positive") << 0.0 << 0.0 << 0.0 << 0.0 << "";
    }
    void dividends() {
        QFETCH(double, cash);
        QFETCH(double, bonus);
        QFETCH(double, rights);
        QFETCH(double, rightsPrice);
        QFETCH(QString, detailed);
        FakeModel model;
        auto chart = fixture::makeChart();
        chart->bindDataSignal(&model, -1);
        QSignalSpy spy(chart.get(), &QChart::syncUpdateDividend);
        QuoteDividendPoint p{};
        p.time = 1600000000;
        p.cash = cash;
        p.bonus_shares = bonus;
        p.rights_shares = rights;
        p.rights_price = rightsPrice;
        QuoteDividendPoints block{};
        block.count = 1;
        block.points = &p;
        emit model.updateDividend(&block);
        QCOMPARE(spy.count(), 1);
        const QJsonObject group = spy[0][0].toJsonObject();
        QCOMPARE(group.value("name").toString(), QString("分红"));
        const QJsonObject e = group.value("data").toArray().at(0).toObject();
        QCOMPARE(e.value("detailed").toString(), detailed);
        QCOMPARE(e.value("time").toInt(), 1600000000);
        QCOMPARE(e.value("content").toString(), QString("q"));
        // An empty block clears the group.
        QuoteDividendPoints empty{};
        emit model.updateDividend(&empty);
        QCOMPARE(spy[1][0].toJsonObject().value("data").toArray().size(), 0);
    }

    void adjustedBars() {
        auto chart = fixture::makeChart();
        QSignalSpy pushed(chart.get(), &QChart::syncUpdateKLine);
        std::vector<QuoteKPoint> points = kpoints(50);
        QuoteCodeInfo info{};
        std::memcpy(info.code, "000001", 6);
        info.market = 2;
        info.decimal = 3;
        chart->dividendProcesser()->deliver(info, points.data(), 50);
        QCOMPARE(chart->getKLineCount(), 0);  // nothing to show them with yet
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->dividendProcesser()->deliver(info, points.data(), 50);
        QCOMPARE(chart->getFirstKLineSize(), 50);
        QCOMPARE(pushed.count(), 1);
        QCOMPARE(chart->getDecimal(), 3);
        QCOMPARE(chart->getPosDataS(0, "close"), QString("10.000"));
    }

    void securityOfFormulas() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->setSecurity(0, "510300", 1, 3);
        feedKLine(*chart, kpoints(5));
        const CTXData* d = chart->getCTXData(0);
        QCOMPARE(QByteArray(d->security.code), QByteArray("510300"));
        QCOMPARE(d->security.market, int8_t(1));
        QCOMPARE(chart->getDecimal(), 3);
    }
};

QTEST_MAIN(TestQChartSync)
#include "tst_qchart_sync.moc"
