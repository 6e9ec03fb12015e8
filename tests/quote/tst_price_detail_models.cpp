// The snapshot and tick models of the quote panel, fed records as an MQModel hands them on.
#include "quote/detailed_model.h"
#include "quote/price_model.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

QuoteRealTimeMarket snapshot(const char* code, const char* name, int market) {
    QuoteRealTimeMarket q{};
    std::strncpy(q.info.code, code, sizeof q.info.code - 1);
    std::strncpy(q.info.name, name, sizeof q.info.name - 1);
    q.info.market = int8_t(market);
    q.info.decimal = 2;
    q.close = 10.5f;
    q.pre_close = 10.0f;
    for (int i = 0; i < 5; ++i) {
        q.bid_price[i] = 10.4f - 0.1f * float(i);
        q.ask_price[i] = 10.5f + 0.1f * float(i);
        q.bid_vol[i] = 100 * (i + 1);
        q.ask_vol[i] = 1000 * (i + 1);
    }
    q.float_shares = 1000000;
    return q;
}

// `times` in seconds of the day; the block starts at tick number `first`.
void feedTicks(QDetailedModel& m, uint32_t first, const std::vector<int>& times,
               float price = 10.0f) {
    std::vector<QuoteDetailPoint> points(times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        points[i] = QuoteDetailPoint{};
        points[i].time = 1700000000 + times[i];
        points[i].price = price;
        points[i].volume = 100;
        points[i].direction = 'B';
    }
    QuoteDetailPoints block{};
    block.pre_close = 9.9f;
    block.count = uint32_t(points.size());
    block.points = points.data();
    block.decimal = 3;
    block.first_no = first;
    m.onUpdateDetail(block);
}

}  // namespace

class TestPriceDetailModels : public QObject {
    Q_OBJECT
private slots:
    void snapshotFields();
    void emptyCodeKeepsIdentity();
    void tickBlocks_data();
    void tickBlocks();
    void tickQueries();
};

void TestPriceDetailModels::snapshotFields() {
    PriceModel m;
    QSignalSpy changed(&m, &PriceModel::dataChanged);
    QuoteRealTimeMarket q = snapshot("600000", "浦发", 1);
    m.onUpdatePrice(q);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.code(), QString("600000"));
    QCOMPARE(m.name(), QString("浦发"));
    QCOMPARE(m.market_name(), QString("沪"));
    QCOMPARE(m.sell_tag().first().toString(), QString("卖五"));
    QCOMPARE(m.buy_tag().first().toString(), QString("买一"));
    // The book reads top down: level-5 ask first, level-1 bid first.
    QCOMPARE(m.sell_price().first().toFloat(), q.ask_price[4]);
    QCOMPARE(m.sell_vol().last().toLongLong(), qint64(q.ask_vol[0]));
    QCOMPARE(m.buy_price().first().toFloat(), q.bid_price[0]);
    QCOMPARE(m.float_shares_sum(), double(float(1000000) * 10.5f));
    QCOMPARE(m.property("close").toFloat(), 10.5f);
    QCOMPARE(m.property("trade_tag").toString(), QString());
    QuoteRealTimeMarket sz = snapshot("000001", "平安", 2);
    m.onUpdatePrice(sz);
    QCOMPARE(m.market_name(), QString("深"));
    QuoteRealTimeMarket block = snapshot("BK0474", "板块", 90);
    m.onUpdatePrice(block);
    QCOMPARE(m.market_name(), QString());
}

void TestPriceDetailModels::emptyCodeKeepsIdentity() {
    PriceModel m;
    QuoteRealTimeMarket q = snapshot("600000", "浦发", 1);
    m.onUpdatePrice(q);
    QuoteRealTimeMarket blank = snapshot("", "", 0);
    blank.close = 11.0f;
    m.onUpdatePrice(blank);
    QCOMPARE(m.code(), QString("600000"));
    QCOMPARE(m.name(), QString("浦发"));
    QCOMPARE(m.market(), 1);
    QCOMPARE(m.close(), 11.0f);
}

void TestPriceDetailModels::tickBlocks_data() {
    QTest::addColumn<QList<int>>("firsts");  // first tick number of each block
    QTest::addColumn<QList<int>>("sizes");   // ticks of each block, one second apart
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lastAppendedAt");  // the n of the last dataUpdated
    QTest::newRow("latest page then a push")
        << QList<int>{3000, 3050} << QList<int>{50, 3} << 53 << 50;
    QTest::newRow("push repeats the last tick") << QList<int>{0, 9} << QList<int>{10, 2} << 11 << 9;
    QTest::newRow("new day starts over") << QList<int>{100, 0} << QList<int>{10, 4} << 4 << 0;
    QTest::newRow("empty push") << QList<int>{0, 5} << QList<int>{5, 0} << 5 << 5;
    QTest::newRow("block after a gap starts over")
        << QList<int>{0, 40} << QList<int>{10, 5} << 5 << 0;
    QTest::newRow("block before the held ticks")
        << QList<int>{500, 100} << QList<int>{5, 7} << 7 << 0;
}

void TestPriceDetailModels::tickBlocks() {
    QFETCH(QList<int>, firsts);
    QFETCH(QList<int>, sizes);
    QDetailedModel m;
    QSignalSpy updated(&m, &QDetailedModel::dataUpdated);
    for (int b = 0; b < firsts.size(); ++b) {
        std::vector<int> times;
        for (int i = 0; i < sizes[b]; ++i)
            times.push_back(firsts[b] + i);
        feedTicks(m, uint32_t(firsts[b]), times);
    }
    QTEST(m.rowCount(), "rows");
    QTEST(updated.last().first().toInt(), "lastAppendedAt");
    // Ticks stay in day order without repeats.
    for (int i = 1; i < m.rowCount(); ++i)
        QVERIFY(m.getItem(i, QDetailedModel::TimeRole).toUInt() >
                m.getItem(i - 1, QDetailedModel::TimeRole).toUInt());
}

void TestPriceDetailModels::tickQueries() {
    QDetailedModel m;
    QCOMPARE(m.getDecimal(), 2);
    // Two trades in one second both stay: the second is a new tick, not a repeat.
    feedTicks(m, 0, {5, 59, 59, 65, 70, 80, 90, 100, 110, 120});
    feedTicks(m, 10, {120});
    QCOMPARE(m.rowCount(), 11);
    QCOMPARE(m.getDecimal(), 3);
    QCOMPARE(m.isPreMinute(0), false);
    QCOMPARE(m.isPreMinute(1), (1700000000 + 5) / 60 == (1700000000 + 59) / 60);
    QCOMPARE(m.isPreMinute(11), false);
    QCOMPARE(m.getJson(2, 4).size(), 2);
    QCOMPARE(m.getJson().size(), 11);
    QCOMPARE(m.getJson(9).size(), 2);
    const QJsonObject t = m.getItemJson(2);
    QCOMPARE(t.value("wind").toString(), QString("B"));
    QCOMPARE(float(t.value("pre_close").toDouble()), 9.9f);
    QCOMPARE(m.getItemJson(-1), QJsonObject());
    QCOMPARE(m.getItemJson(11), QJsonObject());
    QVERIFY(!m.getItem(11, QDetailedModel::PriceRole).isValid());
    m.clearData();
    QCOMPARE(m.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestPriceDetailModels)
#include "tst_price_detail_models.moc"
