// The quote table against a real server: rankings sorted and paged by the quote service,
// watchlist groups, the blocks of a security, a context edited by a view, and live pushes
// that never reset the table.
#include "service/cloud_group_document.h"
#include "service/qmystock_service.h"
#include "table/table_model.h"
#include "tests/quote/live_quote_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr uint kWholeMarket = 1110;

// The number a cell shows ("1.23亿", "-0.50%", "-" as 0).
double shown(const QString& text) {
    QString t = text;
    double scale = 1;
    if (t.endsWith(QStringLiteral("亿")))
        scale = 1e8;
    else if (t.endsWith(QStringLiteral("万")))
        scale = 1e4;
    if (scale != 1 || t.endsWith('%'))
        t.chop(1);
    return t == "-" ? 0 : t.toDouble() * scale;
}

int column(const TableModel& m, const QString& title) {
    for (int c = 0; c < m.columnCount(); ++c)
        if (m.getHeaderData(c) == title)
            return c;
    return -1;
}

QJsonObject groupDocument(const QList<QStringList>& codesPerGroup) {
    QJsonArray result;
    for (const QStringList& codes : codesPerGroup) {
        QJsonArray entries;
        for (const QString& c : codes)
            entries.append(QJsonObject{{"code", c}, {"market_id", "1"}});
        result.append(QJsonObject{{"group_id", "g"}, {"group_name", "自选"}, {"codes", entries}});
    }
    return {{"result", result}};
}

}  // namespace

class TestTableLive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void rankingOrder_data();
    void rankingOrder();
    void paging();
    void pagePastTheEnd();
    void groups_data();
    void groups();
    void groupBeyondTheDocument();
    void groupSources_data();
    void groupSources();
    void emptyBlockEmptiesTheTable();
    void blocksOfASecurity();
    void editedContext();
    void pushesNeverReset();

private:
    // Waits for a page after `pages` pages that `done` accepts.
    bool waitPage(TableModel& m, const std::function<bool()>& done, int ms = 15000) {
        return LiveQuoteServer::waitUntil(done, &m, &TableModel::dataChange, ms);
    }
    LiveQuoteServer server_;
    QStringList shanghai_;  // Shanghai stocks, in list order
};

void TestTableLive::initTestCase() {
    QVERIFY2(server_.startServer(), qPrintable(server_.log()));
    QVERIFY2(server_.startEngine(), qPrintable(server_.log()));
    for (const ListedSecurity& s : server_.securities())
        if (s.type == 2 && s.market == 1)
            shanghai_ << s.code;
    QVERIFY(shanghai_.size() >= 5);
}

void TestTableLive::cleanupTestCase() {
    server_.stopEngine();
    server_.stopServer();
}

void TestTableLive::rankingOrder_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<uint>("mode");  // 0 descending, 1 ascending
    QTest::addColumn<QString>("title");
    QTest::newRow("gain, highest first") << 34 << 0u << "涨跌幅";
    QTest::newRow("price, lowest first") << 8 << 1u << "最新";
    QTest::newRow("turnover, highest first") << 11 << 0u << "成交额";
    QTest::newRow("code, ascending") << 1 << 1u << "代码";
}

void TestTableLive::rankingOrder() {
    QFETCH(int, field);
    QFETCH(uint, mode);
    QFETCH(QString, title);
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, field, mode, 20);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 20; }));
    const int c = column(m, title);
    QCOMPARE(m.getSortField(c), field);
    for (int r = 1; r < m.rowCount(); ++r) {
        const QString a = m.getRowColumnData(r - 1, c), b = m.getRowColumnData(r, c);
        const bool ordered = field == 1  ? a <= b
                             : mode == 0 ? shown(a) >= shown(b)
                                         : shown(a) <= shown(b);
        QVERIFY2(ordered, qPrintable(QStringLiteral("row %1: %2 then %3").arg(r).arg(a, b)));
    }
    QCOMPARE(m.getRowColumnData(0, 0), QString("1"));
    const QJsonObject info = m.getCodeInfo(0);
    QCOMPARE(info.value("code").toString(), m.fixedRow().first());
    QVERIFY(info.value("market").toInt() == 1 || info.value("market").toInt() == 2);
}

void TestTableLive::paging() {
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, 1, 1, 10);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 10; }));
    const QStringList first = m.fixedRow();
    m.pageDown();
    QVERIFY(waitPage(m, [&] { return m.getRowColumnData(0, 0) == "11"; }));
    QCOMPARE(m.rowCount(), 10);
    QVERIFY(m.fixedRow().first() > first.last());
    m.pageUp();
    QVERIFY(waitPage(m, [&] { return m.getRowColumnData(0, 0) == "1"; }));
    QCOMPARE(m.fixedRow(), first);
}

void TestTableLive::pagePastTheEnd() {
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, 1, 1, 10);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 10; }));
    // A page asked for far past the end shows the last page instead.
    QJsonObject ctx = QJsonDocument::fromJson(m.getCtx().toUtf8()).object();
    ctx["page_"] = QJsonObject{{"no", 1000000}, {"length", 10}};
    QVERIFY(m.resubscribe(QString::fromUtf8(QJsonDocument(ctx).toJson())));
    QVERIFY(waitPage(m, [&] { return m.getRowColumnData(0, 0).toInt() > 10; }));
    QVERIFY(m.rowCount() > 0);
    const QString lastNo = m.getRowColumnData(m.rowCount() - 1, 0);
    // Nothing lies beyond it: paging down asks for nothing and the page stays.
    m.pageDown();
    m.update();
    QVERIFY(waitPage(
                m, [] { return false; }, 1500) == false);
    QCOMPARE(m.getRowColumnData(m.rowCount() - 1, 0), lastNo);
}

void TestTableLive::groups_data() {
    QTest::addColumn<QList<QStringList>>("first");
    QTest::addColumn<QList<QStringList>>("second");  // the group as edited meanwhile
    QTest::addColumn<int>("rows");
    const QString a = "A", b = "B", c = "C";  // replaced by listed codes
    QTest::newRow("one member") << QList<QStringList>{{a}} << QList<QStringList>{} << 1;
    QTest::newRow("unknown code left out")
        << QList<QStringList>{{a, "999999", b}} << QList<QStringList>{} << 2;
    QTest::newRow("member removed between requests")
        << QList<QStringList>{{a, b, c}} << QList<QStringList>{{a, c}} << 2;
    QTest::newRow("group emptied") << QList<QStringList>{{a, b}} << QList<QStringList>{{}} << 0;
}

void TestTableLive::groups() {
    QFETCH(QList<QStringList>, first);
    QFETCH(QList<QStringList>, second);
    QFETCH(int, rows);
    auto real = [&](QList<QStringList> g) {
        for (QStringList& codes : g)
            for (QString& code : codes)
                if (code.size() == 1)
                    code = shanghai_.at(code.at(0).unicode() - 'A');
        return g;
    };
    TableModel m;
    QVERIFY(m.requestGroup(groupDocument(real(first)), 0, -1, 0, 50, 0));
    QCOMPARE(m.headerMode(), 1);
    const int firstRows = first.first().size() - first.first().count("999999");
    QVERIFY(waitPage(m, [&] { return m.rowCount() == firstRows; }));
    if (!second.isEmpty()) {
        QVERIFY(m.requestGroup(groupDocument(real(second)), 0, -1, 0, 50, 0));
        QVERIFY(waitPage(
                    m, [&] { return m.rowCount() == rows; }, 5000) ||
                m.rowCount() == rows);
    }
    QCOMPARE(m.rowCount(), rows);
    const QStringList last = real(second.isEmpty() ? first : second).first();
    QStringList expected = last;
    expected.removeAll("999999");
    QCOMPARE(m.fixedRow(), expected);
    for (int r = 0; r < rows; ++r)
        QCOMPARE(m.getCodeInfo(r).value("code").toString(), expected.at(r));
}

void TestTableLive::groupBeyondTheDocument() {
    TableModel m;
    QVERIFY(m.requestGroup(groupDocument({{shanghai_.at(0)}}), 0, -1, 0, 50, 0));
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 1; }));
    const QString ctx = m.getCtx();
    QVERIFY(!m.requestGroup(groupDocument({{shanghai_.at(1)}}), 3, -1, 0, 50, 0));
    QVERIFY(!m.requestGroup(QJsonObject{{"result", "garbage"}}, 0, -1, 0, 50, 0));
    QCOMPARE(m.getCtx(), ctx);
    QCOMPARE(m.fixedRow(), QStringList{shanghai_.at(0)});
}

// The watchlist and cloud requests each read their own process-wide document, take the
// group asked for and, for the watchlist, the page asked for.
void TestTableLive::groupSources_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("group");
    QTest::addColumn<uint>("pageIndex");  // the list row the page starts at
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("firstCode");  // index into the group's codes
    QTest::addColumn<int>("rows");
    QTest::newRow("watchlist, second group") << "watchlist" << 1 << 0u << 10 << 0 << 3;
    // The page index is the list row the page starts at; one past the end shows the last page.
    QTest::newRow("watchlist, from the second row") << "watchlist" << 1 << 1u << 2 << 1 << 2;
    QTest::newRow("watchlist, start past the end") << "watchlist" << 1 << 7u << 2 << 1 << 2;
    QTest::newRow("cloud, second group") << "cloud" << 1 << 0u << 10 << 0 << 3;
    QTest::newRow("cloud, one member") << "cloud" << 0 << 0u << 10 << 3 << 1;
}

void TestTableLive::groupSources() {
    QFETCH(QString, source);
    QFETCH(int, group);
    QFETCH(uint, pageIndex);
    QFETCH(int, pageSize);
    QFETCH(int, firstCode);
    QFETCH(int, rows);
    // The documents differ, so a request that read the wrong one lists other codes.
    const QStringList members = {shanghai_.at(0), shanghai_.at(1), shanghai_.at(2)};
    const QJsonObject watchlist = groupDocument({{shanghai_.at(4)}, members});
    const QJsonObject cloud = groupDocument({{shanghai_.at(3)}, members});
    QMyStockService().fromJson(QString::fromUtf8(QJsonDocument(watchlist).toJson()));
    service::cloudGroupDocument() = cloud;
    const QStringList all = {shanghai_.at(0), shanghai_.at(1), shanghai_.at(2), shanghai_.at(3)};

    TableModel m;
    if (source == "watchlist")
        m.getMyStockRealTime(group, 1, 1, uint(pageSize), pageIndex);
    else
        m.getGroupStockRealTime(group, 1, 1, uint(pageSize));
    QCOMPARE(m.headerMode(), 1);
    QVERIFY2(waitPage(m, [&] { return m.rowCount() == rows; }),
             qPrintable(
                 QStringLiteral("%1 rows from %2").arg(m.rowCount()).arg(m.fixedRow().join(','))));
    QCOMPARE(m.getCodeInfo(0).value("code").toString(), all.at(firstCode));
    service::cloudGroupDocument() = QJsonObject();
}

void TestTableLive::emptyBlockEmptiesTheTable() {
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, 34, 0, 10);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 10; }));
    m.getQuotePeroidRealTime(987654, 34, 0, 10);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 0; }));
    QVERIFY(m.fixedRow().isEmpty());
    QCOMPARE(m.getCodeInfo(0), QJsonObject());
}

void TestTableLive::blocksOfASecurity() {
    TableModel m;
    m.getBlockIndex(shanghai_.at(0), 1, 34, 0);
    QCOMPARE(m.headerMode(), 3);
    QVERIFY(waitPage(m, [&] { return m.rowCount() > 0; }));
    for (int r = 0; r < m.rowCount(); ++r) {
        QVERIFY(!m.getRowColumnData(r, 1).isEmpty());
        QCOMPARE(m.getCodeInfo(r).value("market").toInt(), 90);
    }
}

void TestTableLive::editedContext() {
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, 34, 0, 20);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 20; }));
    // A view that grew shorter asks for fewer rows of the same list.
    QJsonObject ctx = QJsonDocument::fromJson(m.getCtx().toUtf8()).object();
    QCOMPARE(ctx.value("page_").toObject().value("length").toInt(), 20);
    QCOMPARE(ctx.value("block_").toInt(), int(kWholeMarket));
    ctx["page_"] = QJsonObject{{"no", 0}, {"length", 7}};
    QVERIFY(m.resubscribe(QString::fromUtf8(QJsonDocument(ctx).toJson())));
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 7; }));
    QCOMPARE(m.getRowColumnData(0, 0), QString("1"));
}

void TestTableLive::pushesNeverReset() {
    TableModel m;
    m.initHeader(0);
    m.getQuotePeroidRealTime(kWholeMarket, 58, 0, 50);
    QVERIFY(waitPage(m, [&] { return m.rowCount() == 50; }));
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QSignalSpy pages(&m, &TableModel::dataChange);
    QVERIFY(waitPage(
        m, [&] { return pages.count() >= 2 && changed.count() > 0; }, 20000));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(m.rowCount(), 50);
}

QTEST_GUILESS_MAIN(TestTableLive)
#include "tst_table_live.moc"
