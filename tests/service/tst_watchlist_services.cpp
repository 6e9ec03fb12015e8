#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

#include "bridge/hfileio.h"
#include "service/qmystock_service.h"
#include "service/qstockpool_service.h"

namespace {

// Ten groups, "600000" (market 1) in group 3.
QString tenGroups() {
    QJsonArray result;
    for (int i = 0; i < 10; ++i) {
        QJsonArray codes;
        if (i == 3) {
            codes.append(QJsonObject{{"code", "600000"}, {"market_id", "1"}});
            codes.append(QJsonObject{{"code", "000001"}, {"market_id", "2"}});
        }
        result.append(QJsonObject{{"group_id", QString::number(100 + i)},
                                  {"group_name", QStringLiteral("自选%1").arg(i + 1)},
                                  {"codes", codes}});
    }
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"code", "0000"}, {"msg", "success"}, {"result", result}})
            .toJson());
}

QJsonArray codesOf(const QMyStockService& s, int group) {
    return s.getJson().value("result").toArray().at(group).toObject().value("codes").toArray();
}

}  // namespace

class TestWatchlistServices : public QObject {
    Q_OBJECT

private slots:
    void init() { QMyStockService().fromJson(tenGroups()); }

    void lookups_data();
    void lookups();
    void addGoesToFrontOnce();
    void addRejected_data();
    void addRejected();
    void removeFirstMatch();
    void removeMissingIsSilent();
    void renameKeepsIdType();
    void badJsonKeepsDocument_data();
    void badJsonKeepsDocument();
    void numericMarketsMatchOnlyZero();
    void instancesShareOneDocument();
    void poolFromFile();
    void poolDefaultWhenMissing();
};

void TestWatchlistServices::lookups_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("market");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("groupId");
    QTest::newRow("held") << "600000" << 1 << true << "103";
    QTest::newRow("same code other market") << "600000" << 2 << false << "";
    QTest::newRow("code is compared exactly") << "60000" << 1 << false << "";
    QTest::newRow("second entry") << "000001" << 2 << true << "103";
}

void TestWatchlistServices::lookups() {
    QFETCH(QString, code);
    QFETCH(int, market);
    QFETCH(bool, exists);
    QFETCH(QString, groupId);
    QMyStockService s;
    QCOMPARE(s.isExist(code, market), exists);
    const QVariant group = s.getGroup(code, market);
    QCOMPARE(group.isValid(), exists);
    if (exists) {
        QCOMPARE(group.toJsonObject().value("group_id").toString(), groupId);
        QCOMPARE(s.getGroupIndex(groupId), 3);
    }
    QCOMPARE(s.getGroupIndex("nope"), -1);
}

void TestWatchlistServices::addGoesToFrontOnce() {
    QMyStockService s;
    QSignalSpy updated(&s, &QMyStockService::updateMyStock);
    s.addStock(3, "300750", 2);
    QCOMPARE(updated.count(), 1);
    const QJsonObject first = codesOf(s, 3).first().toObject();
    QCOMPARE(first, QJsonObject({{"code", "300750"}, {"market_id", "2"}}));
    QCOMPARE(codesOf(s, 3).size(), 3);
}

void TestWatchlistServices::addRejected_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("market");
    QTest::newRow("already held in another group") << 0 << "600000" << 1;
    QTest::newRow("negative index") << -1 << "300750" << 2;
    QTest::newRow("index past the end") << 10 << "300750" << 2;
}

void TestWatchlistServices::addRejected() {
    QFETCH(int, group);
    QFETCH(QString, code);
    QFETCH(int, market);
    QMyStockService s;
    const QJsonObject before = s.getJson();
    QSignalSpy updated(&s, &QMyStockService::updateMyStock);
    s.addStock(group, code, market);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(s.getJson(), before);
    QCOMPARE(s.getGroup("600000", 1).toJsonObject().value("group_id").toString(),
             QStringLiteral("103"));
}

void TestWatchlistServices::removeFirstMatch() {
    QMyStockService s;
    QSignalSpy updated(&s, &QMyStockService::updateMyStock);
    s.removeStock("600000", 1);
    QCOMPARE(updated.count(), 1);
    QVERIFY(!s.isExist("600000", 1));
    QCOMPARE(codesOf(s, 3).size(), 1);
}

void TestWatchlistServices::removeMissingIsSilent() {
    QMyStockService s;
    const QJsonObject before = s.getJson();
    QSignalSpy updated(&s, &QMyStockService::updateMyStock);
    s.removeStock("688001", 1);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(s.getJson(), before);
}

void TestWatchlistServices::renameKeepsIdType() {
    QMyStockService s;
    const QVariant id = s.renameGroup(2, QStringLiteral("科技"));
    QCOMPARE(id.value<QJsonValue>().toString(), QStringLiteral("102"));
    QCOMPARE(s.getJson().value("result").toArray().at(2).toObject().value("group_name").toString(),
             QStringLiteral("科技"));
    QVERIFY(!s.renameGroup(10, "x").isValid());
    QVERIFY(!s.renameGroup(-1, "x").isValid());

    s.fromJson(R"({"result":[{"group_id":7,"group_name":"a","codes":[]}]})");
    QVERIFY(s.renameGroup(0, "b").value<QJsonValue>().isDouble());
    // A numeric id reads as "": only the empty identifier finds it.
    QCOMPARE(s.getGroupIndex("7"), -1);
    QCOMPARE(s.getGroupIndex(""), 0);
}

void TestWatchlistServices::badJsonKeepsDocument_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("not json") << "{broken";
    QTest::newRow("array, not object") << "[1,2]";
    QTest::newRow("empty") << "";
}

void TestWatchlistServices::badJsonKeepsDocument() {
    QFETCH(QString, text);
    QMyStockService s;
    const QJsonObject before = s.getJson();
    s.fromJson(text);
    QCOMPARE(s.getJson(), before);
}

void TestWatchlistServices::numericMarketsMatchOnlyZero() {
    QMyStockService s;
    s.fromJson(R"({"result":[{"group_id":"1","codes":[{"code":"600000","market_id":1}]}]})");
    QVERIFY(!s.isExist("600000", 1));
    QVERIFY(s.isExist("600000", 0));
}

void TestWatchlistServices::instancesShareOneDocument() {
    QMyStockService a;
    QMyStockService b;
    a.addStock(0, "601318", 1);
    QVERIFY(b.isExist("601318", 1));
}

void TestWatchlistServices::poolFromFile() {
    HFileIO io;
    QVERIFY(io.writedFileDefaultPath(
        "StockPool.json",
        R"({"code":"0000","result":[{"group_id":"p1","group_name":"池","codes":[{"code":"600519","market_id":"1"}]}]})"));
    QStockPoolService first;
    QCOMPARE(first.getGroups().size(), 1);
    QCOMPARE(first.getGroupCodes("p1").toJsonArray().size(), 1);
    QVERIFY(!first.getGroupCodes("p2").isValid());

    // A new instance after the file changed: every instance sees the new groups.
    QVERIFY(io.writedFileDefaultPath(
        "StockPool.json", R"({"result":[{"group_id":"p2","codes":[]},{"group_id":"p3"}]})"));
    QStockPoolService second;
    QCOMPARE(first.getGroups().size(), 2);
    QVERIFY(first.getGroupCodes("p2").isValid());
}

void TestWatchlistServices::poolDefaultWhenMissing() {
    QFile::remove(HFileIO().getDefaultPath() + "/StockPool.json");
    QStockPoolService pool;
    QCOMPARE(QString::fromUtf8(QJsonDocument(pool.getJson()).toJson(QJsonDocument::Compact)),
             QStockPoolService::defaultPoolText());
    QVERIFY(pool.getGroups().isEmpty());
}

QTEST_MAIN(TestWatchlistServices)
#include "tst_watchlist_services.moc"
