// The security dictionary table written from code-list replies.
#include "quote/stock_dictionary.h"

#include "quote/quote_proxy.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

QuoteCodeInfo info(const QByteArray& code, int market, const QByteArray& name,
                   const QByteArray& pinyin, int type) {
    QuoteCodeInfo c{};
    memcpy(c.code, code.constData(), size_t(qMin(code.size(), 16)));
    memcpy(c.name, name.constData(), size_t(qMin(name.size(), 64)));
    memcpy(c.pinyin, pinyin.constData(), size_t(qMin(pinyin.size(), 7)));
    c.market = int8_t(market);
    c.type = int8_t(type);
    c.decimal = 2;
    return c;
}

void deliver(std::vector<QuoteCodeInfo>& codes) {
    QuoteReply rpl{};
    rpl.type = QUOTE_REPLY_CODES;
    rpl.count = uint32_t(codes.size());
    rpl.payload = codes.data();
    StockDictionary::instance()->onQuoteCodes(&rpl);
}

struct Row {
    QString name, pinyin, active;
    int type = -1;
    bool found = false;
};

Row row(const QString& code, int market) {
    Row r;
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
    db.setDatabaseName(StockDictionary::databaseFile());
    if (db.open()) {
        QSqlQuery q(db);
        q.prepare(
            "SELECT name, pinyin, active, type FROM StockDictionary WHERE code = ? AND market = ?");
        q.addBindValue(code);
        q.addBindValue(market);
        if (q.exec() && q.next()) {
            r = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                 q.value(3).toInt(), true};
        }
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("check");
    return r;
}

int rowCount() {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "count");
        db.setDatabaseName(StockDictionary::databaseFile());
        if (db.open()) {
            QSqlQuery q("SELECT COUNT(*) FROM StockDictionary", db);
            if (q.next())
                n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase("count");
    return n;
}

}  // namespace

class TestStockDictionary : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void databaseFileInDataFolder();
    void rows_data();
    void rows();
    void secondListReplaces();
    void manyRowsOneReply();
    void route();
};

void TestStockDictionary::databaseFileInDataFolder() {
    QString f = StockDictionary::databaseFile();
    QVERIFY(f.endsWith(".sqlite"));
    QVERIFY(!f.contains('\\'));
    QVERIFY(f.contains("/Databases/"));
    // The same file the views' local storage opens for "kvst".
    QVERIFY(f.startsWith(QStandardPaths::writableLocation(QStandardPaths::DataLocation)));
}

void TestStockDictionary::rows_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("market");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("pinyin");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<QString>("storedPinyin");
    QTest::newRow("stock") << QByteArray("600000") << 1 << QByteArray("浦发银行")
                           << QByteArray("PFYH") << 2 << QString("浦发银行") << QString("PFYH");
    QTest::newRow("index") << QByteArray("399001") << 2 << QByteArray("深证成指")
                           << QByteArray("SZCZ") << 1 << QString("深证成指") << QString("SZCZ");
    QTest::newRow("apostrophe kept")
        << QByteArray("000002") << 2 << QByteArray("O'Neil 'A'") << QByteArray("ON") << 2
        << QString("O'Neil 'A'") << QString("ON");
    // "银行" is E9 93 B6 E8 A1 8C; cut after the first byte of the second character.
    QTest::newRow("cut character dropped")
        << QByteArray("600001") << 1 << QByteArray("\xE9\x93\xB6\xE8") << QByteArray("YH") << 2
        << QString("银") << QString("YH");
    QTest::newRow("block") << QByteArray("BK0474") << 90 << QByteArray("保险") << QByteArray("BX")
                           << 1 << QString("保险") << QString("BX");
    QTest::newRow("full 64-byte name")
        << QByteArray("510050") << 1 << QByteArray(64, 'A') << QByteArray("ABCDEFG") << 3
        << QString(64, 'A') << QString("ABCDEFG");
}

void TestStockDictionary::rows() {
    QFETCH(QByteArray, code);
    QFETCH(int, market);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, pinyin);
    QFETCH(int, type);
    QFETCH(QString, storedName);
    QFETCH(QString, storedPinyin);
    std::vector<QuoteCodeInfo> codes{info(code, market, name, pinyin, type)};
    deliver(codes);
    Row r = row(QString::fromUtf8(code), market);
    QVERIFY(r.found);
    QCOMPARE(r.name, storedName);
    QCOMPARE(r.pinyin, storedPinyin);
    QCOMPARE(r.type, type);
    QCOMPARE(r.active, StockDictionary::route(QString::fromUtf8(code), market, type, storedName,
                                              storedPinyin));
}

void TestStockDictionary::secondListReplaces() {
    std::vector<QuoteCodeInfo> codes{info("600036", 1, "招商银行", "ZSYH", 2),
                                     info("600036", 2, "同码深市", "TM", 2)};
    deliver(codes);
    codes[0] = info("600036", 1, "招行", "ZH", 2);
    codes.pop_back();
    deliver(codes);
    QCOMPARE(row("600036", 1).name, QString("招行"));
    QCOMPARE(row("600036", 1).pinyin, QString("ZH"));
    // The same code in the other market is another row, left alone.
    QCOMPARE(row("600036", 2).name, QString("同码深市"));
}

// Every run starts from an empty dictionary (the data folder outlives a run).
void TestStockDictionary::initTestCase() {
    QFile::remove(StockDictionary::databaseFile());
}

void TestStockDictionary::manyRowsOneReply() {
    int before = rowCount();
    std::vector<QuoteCodeInfo> codes;
    for (int i = 0; i < 3000; ++i)
        codes.push_back(
            info(QByteArray::number(300000 + i), 2, "测试" + QByteArray::number(i), "CS", 2));
    deliver(codes);
    QCOMPARE(rowCount(), before + 3000);
    QCOMPARE(row("302999", 2).name, QString("测试2999"));
}

void TestStockDictionary::route() {
    QCOMPARE(
        StockDictionary::route("600000", 1, 2, "浦发银行", "PFYH"),
        QString("app://qml/qml/"
                "MQView.qml?code=600000&market=1#chart=default&type=2&name=浦发银行&pinyin=PFYH"));
}

QTEST_MAIN(TestStockDictionary)
#include "tst_stock_dictionary.moc"
