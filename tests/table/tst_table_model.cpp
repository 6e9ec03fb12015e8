// The quote table fed with pages as the engine hands them over: cell texts and colours, the
// column sets, and how a page is laid over the rows held (changed cells only, rows added and
// removed at the end, flashes).
#include "table/cell_format.h"
#include "table/table_model.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

QuoteRealTimeMarket quote(const char* code, float close, float pre = 10.0f) {
    QuoteRealTimeMarket q{};
    std::strncpy(q.info.code, code, sizeof q.info.code - 1);
    std::strncpy(q.info.name, "测试", sizeof q.info.name - 1);
    q.info.market = 1;
    q.info.decimal = 2;
    q.info.type = 2;
    q.pre_close = pre;
    q.close = close;
    q.rf_value = close - pre;
    q.rf_rate = close == 0 ? 0 : (close - pre) / pre;
    return q;
}

// Hands `quotes` to the model as one reply of its own context (or of `ctx`).
void feed(TableModel& m, std::vector<QuoteRealTimeMarket>& quotes, QuoteCtx* ctx = nullptr) {
    QuoteReply r{};
    r.type = QUOTE_REPLY_REALTIME;
    r.ctx = ctx ? ctx : m.context().get();
    r.count = uint32_t(quotes.size());
    r.payload = quotes.data();
    m.onQuotePeroidRealTime(&r);
}

int column(const TableModel& m, const QString& title) {
    for (int c = 0; c < m.columnCount(); ++c)
        if (m.getHeaderData(c) == title)
            return c;
    return -1;
}

}  // namespace

class TestTableModel : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void headerModes_data();
    void headerModes();
    void cells_data();
    void cells();
    void pageLaidOver_data();
    void pageLaidOver();
    void pushTouchesChangedCellsOnly();
    void flashFollowsTheMove_data();
    void flashFollowsTheMove();
    void foreignRepliesAndBadPositions();
    void malformedContextKeepsSubscription();
    void latePageAfterCancel_data();
    void latePageAfterCancel();
    void latePageOfPreviousList();
};

void TestTableModel::formats_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("other");  // decimals, latest price or reference
    QTest::addColumn<QString>("expected");
    QTest::newRow("price 0") << "price" << 0.0 << 2.0 << "-";
    QTest::newRow("price 3 places") << "price" << 1.2345 << 3.0 << "1.234";
    QTest::newRow("fixed 0") << "fixed" << 0.0 << 0.0 << "-";
    QTest::newRow("fixed negative") << "fixed" << -0.456 << 0.0 << "-0.46";
    QTest::newRow("rate 0 with a price") << "rate" << 0.0 << 10.0 << "0.00%";
    QTest::newRow("rate 0 without a price") << "rate" << 0.0 << 0.0 << "-";
    QTest::newRow("rate") << "rate" << 9.996 << 10.0 << "10.00%";
    QTest::newRow("fixed rounding to zero has no sign") << "fixed" << -0.001 << 0.0 << "0.00";
    QTest::newRow("rate rounding to zero has no sign") << "rate" << -0.004 << 10.0 << "0.00%";
    QTest::newRow("price rounding to zero has no sign") << "price" << -0.0004 << 3.0 << "0.000";
    QTest::newRow("small negative kept") << "rate" << -0.005 << 10.0 << "-0.01%";
    QTest::newRow("amount 亿") << "amount" << 123456789.0 << 0.0 << "1.23亿";
    QTest::newRow("amount 万") << "amount" << 54321.0 << 0.0 << "5.43万";
    QTest::newRow("amount small") << "amount" << 9999.0 << 0.0 << "9999";
    QTest::newRow("amount exactly 10000") << "amount" << 10000.0 << 0.0 << "10000";
    QTest::newRow("rise") << "color" << 10.5 << 10.0 << "#FF3D3D";
    QTest::newRow("fall") << "color" << 9.5 << 10.0 << "#0FC351";
    QTest::newRow("equal") << "color" << 10.0 << 10.0 << "#FFFFFF";
    QTest::newRow("no value yet") << "color" << 0.0 << 10.0 << "#FFFFFF";
}

void TestTableModel::formats() {
    QFETCH(QString, kind);
    QFETCH(double, value);
    QFETCH(double, other);
    QFETCH(QString, expected);
    QString got;
    if (kind == "price")
        got = cellformat::price(value, int(other));
    else if (kind == "fixed")
        got = cellformat::fixed(value);
    else if (kind == "rate")
        got = cellformat::rate(value, other);
    else if (kind == "amount")
        got = cellformat::amount(value);
    else
        got = cellformat::riseColor(value, other);
    QCOMPARE(got, expected);
}

void TestTableModel::headerModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("title");  // the title of `at`
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("sortField");
    QTest::newRow("full list code") << 0 << 23 << "代码" << 1 << 1;
    QTest::newRow("full list gain") << 1 << 23 << "涨跌幅" << 4 << 34;
    QTest::newRow("full list industry") << 0 << 23 << "行业" << 6 << -1;
    QTest::newRow("full list amplitude") << 0 << 23 << "振幅" << 20 << 41;
    QTest::newRow("short list turnover") << 2 << 6 << "成交额" << 4 << 11;
    QTest::newRow("blocks of a security") << 3 << 4 << "涨跌幅" << 2 << 34;
    QTest::newRow("detail amplitude spelling") << 4 << 20 << "震幅" << 16 << 41;
    QTest::newRow("detail pe") << 4 << 20 << "市盈率" << 19 << 40;
    QTest::newRow("gain ranking unsortable") << 5 << 5 << "涨幅" << 4 << -1;
    QTest::newRow("code unsortable in rankings") << 6 << 5 << "代码" << 1 << -1;
    QTest::newRow("ratio ranking") << 7 << 5 << "量比" << 4 << -1;
    QTest::newRow("amplitude ranking") << 8 << 5 << "振幅" << 4 << -1;
    QTest::newRow("order ranking") << 9 << 5 << "委比" << 4 << -1;
    QTest::newRow("amount ranking") << 10 << 5 << "金额" << 4 << -1;
    QTest::newRow("unknown mode") << 11 << 0 << "" << 0 << -1;
    QTest::newRow("column past the end") << 3 << 4 << "" << 4 << -1;
}

void TestTableModel::headerModes() {
    QFETCH(int, mode);
    QFETCH(int, columns);
    QFETCH(QString, title);
    QFETCH(int, at);
    QFETCH(int, sortField);
    TableModel m;
    m.initHeader(mode);
    QCOMPARE(m.columnCount(), columns);
    QCOMPARE(m.getHeaderData(at), title);
    QCOMPARE(m.getSortField(at), sortField);
    QCOMPARE(m.getHeaderColor(at), columns > at ? "#93979D" : "#00000000");
    QCOMPARE(m.fixedHead().size(), qMin(2, columns));
}

void TestTableModel::cells_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<float>("close");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("color");
    QTest::addColumn<int>("align");
    QTest::newRow("row number") << 0 << "序号" << 10.5f << "1"
                                << "#F5BE4A" << 4;
    QTest::newRow("code") << 0 << "代码" << 10.5f << "600000"
                          << "#F5BE4A" << 1;
    QTest::newRow("latest up") << 0 << "最新" << 10.5f << "10.50"
                               << "#FF3D3D" << 2;
    QTest::newRow("latest down") << 0 << "最新" << 9.5f << "9.50"
                                 << "#0FC351" << 2;
    QTest::newRow("no trade yet") << 0 << "最新" << 0.0f << "-"
                                  << "#FFFFFF" << 2;
    QTest::newRow("no trade, no rate") << 0 << "涨跌幅" << 0.0f << "-"
                                       << "#FFFFFF" << 2;
    QTest::newRow("unchanged rate") << 0 << "涨跌幅" << 10.0f << "0.00%"
                                    << "#FFFFFF" << 2;
    QTest::newRow("rate up") << 0 << "涨跌幅" << 11.0f << "10.00%"
                             << "#FF3D3D" << 2;
    QTest::newRow("change down") << 0 << "涨跌额" << 9.5f << "-0.50"
                                 << "#0FC351" << 2;
    QTest::newRow("industry") << 0 << "行业" << 10.0f << "银行"
                              << "#00F4FF" << 2;
    QTest::newRow("concept") << 0 << "概念" << 10.0f << ""
                             << "#00F4FF" << 2;
    QTest::newRow("volume") << 0 << "成交量" << 10.0f << "1.23亿"
                            << "#F5BE4A" << 2;
    QTest::newRow("turnover gold") << 1 << "成交额" << 10.0f << "5.43万"
                                   << "#F5BE4A" << 2;
    QTest::newRow("turnover plain") << 2 << "成交额" << 10.0f << "5.43万"
                                    << "#FFFFFF" << 2;
    QTest::newRow("volume ratio") << 0 << "量比" << 10.0f << "1.50"
                                  << "#FF3D3D" << 2;
    QTest::newRow("volume ratio plain") << 2 << "量比" << 10.0f << "1.50"
                                        << "#FFFFFF" << 2;
    QTest::newRow("amplitude gold") << 0 << "振幅" << 10.0f << "3.00%"
                                    << "#F5BE4A" << 2;
    QTest::newRow("amplitude rising") << 8 << "振幅" << 10.0f << "3.00%"
                                      << "#FF3D3D" << 2;
    QTest::newRow("inner") << 0 << "内盘" << 10.0f << "700"
                           << "#0FC351" << 2;
    QTest::newRow("outer") << 0 << "外盘" << 10.0f << "800"
                           << "#FF3D3D" << 2;
    QTest::newRow("pe") << 4 << "市盈率" << 10.0f << "12.30"
                        << "#F5BE4A" << 2;
    QTest::newRow("five-minute gain") << 6 << "涨幅" << 10.0f << "-1.00%"
                                      << "#0FC351" << 2;
    QTest::newRow("amount") << 10 << "金额" << 10.0f << "5.43万"
                            << "#FFFFFF" << 2;
    QTest::newRow("pre close") << 0 << "昨收" << 10.0f << "10.00"
                               << "#FFFFFF" << 2;
}

void TestTableModel::cells() {
    QFETCH(int, mode);
    QFETCH(QString, title);
    QFETCH(float, close);
    TableModel m;
    m.initHeader(mode);
    QuoteMembership membership{"银行", "上海", nullptr};
    std::vector<QuoteRealTimeMarket> page{quote("600000", close)};
    QuoteRealTimeMarket& q = page.front();
    q.vol = 123456789;
    q.sum = 54321;
    q.vol_rate = 1.5f;
    q.amplitude = 0.03f;
    q.green_vol = 700;
    q.red_vol = 800;
    q.pe = 12.3f;
    q.m5_rf_rate = -0.01f;
    q.membership = &membership;
    feed(m, page);
    const int c = column(m, title);
    QVERIFY(c >= 0);
    QTEST(m.getRowColumnData(0, c), "text");
    QTEST(m.getTextColor(0, c), "color");
    QTEST(m.data(m.index(0, c), TableModel::AlignRole).toInt(), "align");
    QCOMPARE(m.getTextAnimationColor(0, c), QString("#00000000"));
}

void TestTableModel::pageLaidOver_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<int>("removed");
    QTest::newRow("first page") << 0 << 5 << 5 << 0;
    QTest::newRow("same size") << 5 << 5 << 0 << 0;
    QTest::newRow("grown") << 3 << 5 << 2 << 0;
    QTest::newRow("shrunk") << 5 << 2 << 0 << 3;
    QTest::newRow("emptied") << 4 << 0 << 0 << 4;
    QTest::newRow("one member") << 0 << 1 << 1 << 0;
}

void TestTableModel::pageLaidOver() {
    QFETCH(int, before);
    QFETCH(int, after);
    TableModel m;
    m.initHeader(0);
    std::vector<QuoteRealTimeMarket> first, second;
    for (int i = 0; i < before; ++i)
        first.push_back(quote(QByteArray::number(600000 + i).constData(), 10.1f));
    for (int i = 0; i < after; ++i)
        second.push_back(quote(QByteArray::number(600100 + i).constData(), 10.2f));
    feed(m, first);
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    QSignalSpy rowsChanged(&m, &TableModel::fixedRowChanged);
    feed(m, second);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(m.rowCount(), after);
    QTEST(inserted.isEmpty() ? 0
                             : inserted.first().at(2).toInt() - inserted.first().at(1).toInt() + 1,
          "inserted");
    QTEST(removed.isEmpty() ? 0 : removed.first().at(2).toInt() - removed.first().at(1).toInt() + 1,
          "removed");
    QCOMPARE(rowsChanged.count(), before == 0 && after == 0 ? 0 : 1);
    QCOMPARE(m.fixedRow().size(), after);
    for (int i = 0; i < after; ++i) {
        QCOMPARE(m.getCodeInfo(i).value("code").toString(), QString::number(600100 + i));
        QCOMPARE(m.getRowColumnData(i, 3), QString("10.20"));
        // A new security in a row never flashes.
        QCOMPARE(m.data(m.index(i, 3), TableModel::IsRunRole).toBool(), false);
    }
    QCOMPARE(m.getCodeInfo(after), QJsonObject());
}

void TestTableModel::pushTouchesChangedCellsOnly() {
    TableModel m;
    m.initHeader(0);
    std::vector<QuoteRealTimeMarket> page;
    for (int i = 0; i < 4; ++i)
        page.push_back(quote(QByteArray::number(600000 + i).constData(), 10.1f));
    feed(m, page);
    page[2].close = 10.3f;
    page[2].rf_value = 0.3f;
    page[2].rf_rate = 0.03f;
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    QSignalSpy rowsChanged(&m, &TableModel::fixedRowChanged);
    QSignalSpy pages(&m, &TableModel::dataChange);
    feed(m, page);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(rowsChanged.count(), 0);
    QCOMPARE(pages.count(), 1);
    QCOMPARE(changed.count(), 1);
    const QModelIndex from = changed.first().at(0).value<QModelIndex>();
    const QModelIndex to = changed.first().at(1).value<QModelIndex>();
    QCOMPARE(from.row(), 2);
    QCOMPARE(to.row(), 2);
    QCOMPARE(from.column(), column(m, "最新"));
    QCOMPARE(to.column(), column(m, "涨跌额"));
    // An identical page changes nothing but the flashes it ends.
    changed.clear();
    feed(m, page);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.data(m.index(2, 3), TableModel::IsRunRole).toBool(), false);
    changed.clear();
    feed(m, page);
    QCOMPARE(changed.count(), 0);
}

void TestTableModel::flashFollowsTheMove_data() {
    QTest::addColumn<float>("next");
    QTest::addColumn<bool>("sameSecurity");
    QTest::addColumn<QString>("flash");
    QTest::newRow("up") << 10.4f << true << "#66FF3D3D";
    QTest::newRow("down") << 10.0f << true << "#660FC351";
    QTest::newRow("unchanged") << 10.2f << true << "#00000000";
    QTest::newRow("another security in the row") << 10.4f << false << "#00000000";
}

void TestTableModel::flashFollowsTheMove() {
    QFETCH(float, next);
    QFETCH(bool, sameSecurity);
    TableModel m;
    m.initHeader(0);
    std::vector<QuoteRealTimeMarket> page{quote("600000", 10.2f)};
    feed(m, page);
    page[0] = quote(sameSecurity ? "600000" : "600001", next);
    feed(m, page);
    const int latest = column(m, "最新");
    QTEST(m.getTextAnimationColor(0, latest), "flash");
    QCOMPARE(
        m.data(m.index(0, latest), TableModel::IsRunRole).toBool(),
        QString(QTest::currentDataTag()) == "up" || QString(QTest::currentDataTag()) == "down");
    // Codes and names never flash.
    QCOMPARE(m.getTextAnimationColor(0, column(m, "代码")), QString("#00000000"));
}

void TestTableModel::foreignRepliesAndBadPositions() {
    TableModel m, other;
    m.initHeader(0);
    std::vector<QuoteRealTimeMarket> page{quote("600000", 10.2f)};
    QSignalSpy pages(&m, &TableModel::dataChange);
    feed(m, page, other.context().get());
    QCOMPARE(pages.count(), 0);
    QCOMPARE(m.rowCount(), 0);
    feed(m, page);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.getRowColumnData(1, 0), QString());
    QCOMPARE(m.getRowColumnData(0, 99), QString());
    QCOMPARE(m.getTextColor(-1, 0), QString("#FFFFFFFF"));
    QCOMPARE(m.getTextAnimationColor(0, -1), QString("#00000000"));
    QCOMPARE(m.data(m.index(5, 5), TableModel::IsRunRole), QVariant(false));
    QCOMPARE(m.getHeaderData(-1), QString());
    // A new column set drops the rows built for the old one.
    m.initHeader(3);
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.columnCount(), 4);
}

void TestTableModel::malformedContextKeepsSubscription() {
    TableModel m;
    const QuoteCtx* before = m.context().get();
    QVERIFY(!m.resubscribe(QStringLiteral("[not a context")));
    QCOMPARE(m.context().get(), before);
    QVERIFY(!m.resubscribe(QStringLiteral("[1, 2]")));
    QCOMPARE(m.context().get(), before);
}

void TestTableModel::latePageAfterCancel_data() {
    QTest::addColumn<QString>("renewal");  // what follows the cancel
    QTest::addColumn<int>("rows");         // rows once a page arrives after it
    QTest::newRow("nothing: the late page is dropped") << "" << 0;
    QTest::newRow("shown again") << "update" << 1;
    QTest::newRow("another list") << "request" << 1;
    QTest::newRow("a context from a route") << "resubscribe" << 1;
}

void TestTableModel::latePageOfPreviousList() {
    TableModel m;
    m.initHeader(4);
    m.getQuotePeroidRealTime(1011, 34, 0, 10);
    std::vector<QuoteRealTimeMarket> industry{quote("BK0401", 10.2f)};
    feed(m, industry);
    // Another category asked for; a page of the first one was already on its way.
    const QuoteContext previous = m.context();
    m.clear();
    m.getQuotePeroidRealTime(1016, 34, 0, 10);
    feed(m, industry, previous.get());
    QCOMPARE(m.rowCount(), 0);
    std::vector<QuoteRealTimeMarket> concept{quote("BK0501", 10.3f), quote("BK0502", 10.1f)};
    feed(m, concept);
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.getCodeInfo(0).value("code").toString(), QStringLiteral("BK0501"));
}

void TestTableModel::latePageAfterCancel() {
    QFETCH(QString, renewal);
    TableModel m;
    m.initHeader(4);
    m.getQuotePeroidRealTime(1101, 34, 0, 10);
    std::vector<QuoteRealTimeMarket> page{quote("600000", 10.2f)};
    feed(m, page);
    QCOMPARE(m.rowCount(), 1);
    // A screen switching lists cancels and clears; the page the engine had already handed
    // over arrives afterwards.
    m.cancel();
    m.clear();
    if (renewal == "update")
        m.update();
    else if (renewal == "request")
        m.getQuotePeroidRealTime(900401, 34, 0, 10);
    else if (renewal == "resubscribe")
        QVERIFY(m.resubscribe(m.getCtx()));
    feed(m, page);
    QTEST(m.rowCount(), "rows");
}

QTEST_GUILESS_MAIN(TestTableModel)
#include "tst_table_model.moc"
