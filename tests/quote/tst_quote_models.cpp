// The server-state model and the index tiles, fed by replies that cross from an engine-like
// thread as the quote engine's do.
#include <QtTest>

#include <cstring>
#include <functional>
#include <thread>

#include "quote/index_board_model.h"
#include "quote/index_section_count_model.h"
#include "quote/multi_stock_model.h"
#include "quote/quote_proxy.h"
#include "quote/server_state_model.h"

namespace {

// Dispatches `rpl` from another thread, as the engine does, while this thread serves the
// blocking queued connections.
void dispatch(QuoteReply* rpl) {
    std::atomic<bool> done{false};
    std::thread engine([&] {
        QuoteProxy::instance()->onUpdate(rpl);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 5000);
    engine.join();
}

QuoteRealTimeMarket snapshot(const char* code, const char* name, float close) {
    QuoteRealTimeMarket s{};
    std::strncpy(s.info.code, code, sizeof s.info.code);
    std::strncpy(s.info.name, name, sizeof s.info.name);
    s.close = close;
    s.rf_value = close / 100;
    s.rf_rate = 0.01f;
    return s;
}

}  // namespace

class TestQuoteModels : public QObject {
    Q_OBJECT
private slots:
    void serverState_data();
    void serverState();
    void indexTiles_data();
    void indexTiles();
    void conceptTiles_data();
    void conceptTiles();
    void sectionRatio_data();
    void sectionRatio();
    void breadthSections_data();
    void breadthSections();
    void multiStockRows_data();
    void multiStockRows();
};

void TestQuoteModels::serverState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withServer");
    QTest::newRow("connected") << 1 << QStringLiteral("主站") << true;
    QTest::newRow("disconnected") << 0 << QStringLiteral("主站") << true;
    QTest::newRow("no server record") << 0 << QString() << false;
}

void TestQuoteModels::serverState() {
    QFETCH(int, state);
    QFETCH(QString, name);
    QFETCH(bool, withServer);
    ServerStateModel model;
    QSignalSpy changed(&model, &ServerStateModel::dataChanged);
    QuoteServerRecord record{};
    std::strncpy(record.name, name.toUtf8().constData(), sizeof record.name);
    QuoteServerState payload{withServer ? &record : nullptr, state};
    QuoteReply rpl{0, QUOTE_REPLY_SERVER_STATE, nullptr, 0, &payload};
    dispatch(&rpl);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.serverState(), state);
    QCOMPARE(model.serverName(), name);

    // A model made afterwards starts from the state already reported.
    ServerStateModel later;
    QCOMPARE(later.serverState(), state);
    QCOMPARE(later.serverName(), name);
}

void TestQuoteModels::indexTiles_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ownContext");
    QTest::addColumn<int>("filled");
    QTest::newRow("five indices") << 5 << true << 5;
    QTest::newRow("more snapshots than tiles") << 7 << true << 5;
    QTest::newRow("fewer snapshots") << 2 << true << 2;
    QTest::newRow("another context's reply") << 5 << false << 0;
}

void TestQuoteModels::indexTiles() {
    QFETCH(int, count);
    QFETCH(bool, ownContext);
    QFETCH(int, filled);
    IndexBoardModel model;
    QSignalSpy listChanged(&model, &IndexBoardModel::indexBoardChanged);
    model.getIndexData();
    QCOMPARE(model.boardCount(), 5);
    QCOMPARE(listChanged.count(), 1);
    std::vector<QuoteRealTimeMarket> snapshots;
    for (int i = 0; i < count; ++i) {
        snapshots.push_back(snapshot(QByteArray::number(i).constData(), "指数", 1000.0f + i));
    }
    QuoteCtx* other = quote_ctx_create();
    QuoteReply rpl{0, QUOTE_REPLY_REALTIME, ownContext ? model.context() : other, uint32_t(count),
                   snapshots.data()};
    dispatch(&rpl);
    quote_ctx_release(other);
    // New prices change the tiles, never the list of tiles.
    QCOMPARE(listChanged.count(), 1);
    for (int i = 0; i < model.boardCount(); ++i) {
        IndexBoard* board = model.board(i);
        QCOMPARE(board->close(), i < filled ? 1000.0f + i : 0.0f);
        QCOMPARE(board->name(), i < filled ? QStringLiteral("指数") : QString());
    }
}

void TestQuoteModels::conceptTiles_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("sources");
    QList<int> headAndTail;
    for (int i = 0; i < 10; ++i) {
        headAndTail << i;
    }
    for (int i = 190; i < 200; ++i) {
        headAndTail << i;
    }
    QTest::newRow("200 blocks: ten strongest, ten weakest") << 200 << headAndTail;
    QList<int> few;
    for (int i = 0; i < 12; ++i) {
        few << i;
    }
    QTest::newRow("12 blocks: none twice") << 12 << few;
}

void TestQuoteModels::conceptTiles() {
    QFETCH(int, count);
    QFETCH(QList<int>, sources);
    IndexBoardModel model;
    model.getConceptData(0, 1, 20);
    QCOMPARE(model.boardCount(), 20);
    std::vector<QuoteRealTimeMarket> snapshots;
    for (int i = 0; i < count; ++i) {
        snapshots.push_back(snapshot(QByteArray::number(i).constData(), "板块", float(i + 1)));
    }
    QuoteReply rpl{0, QUOTE_REPLY_REALTIME, model.context(), uint32_t(count), snapshots.data()};
    dispatch(&rpl);
    for (int b = 0; b < model.boardCount(); ++b) {
        const float expected = b < sources.size() ? float(sources[b] + 1) : 0.0f;
        QCOMPARE(model.board(b)->close(), expected);
    }
}

void TestQuoteModels::sectionRatio_data() {
    QTest::addColumn<uint>("row");
    QTest::addColumn<float>("ratio");
    QTest::newRow("limit-up band") << 0u << 51.0f / 1580.0f;
    QTest::newRow("largest band") << 5u << 1.0f;
    QTest::newRow("limit-down band") << 11u << 15.0f / 1580.0f;
    QTest::newRow("past the last row") << 12u << 0.0f;
    QTest::newRow("far past the rows") << 4000000000u << 0.0f;
}

void TestQuoteModels::sectionRatio() {
    QFETCH(uint, row);
    QFETCH(float, ratio);
    IndexSectionCountModel model;
    QCOMPARE(model.rowCount(), 12);
    QCOMPARE(model.getMaxCount(), 1580);
    QCOMPARE(model.getCurRatio(row), ratio);
}

namespace {

QVariantMap band(const QString& section, int count, int type) {
    return {
        {"name", QStringLiteral("沪市")}, {"section", section}, {"count", count}, {"type", type}};
}

}  // namespace

void TestQuoteModels::breadthSections_data() {
    QTest::addColumn<QVariantList>("items");
    QTest::addColumn<QStringList>("sections");
    QTest::addColumn<int>("largest");
    QTest::addColumn<QList<float>>("ratios");
    QTest::addColumn<bool>("reset");

    QVariantList twelve;
    QStringList twelveNames;
    QList<float> twelveRatios;
    for (int i = 0; i < 12; ++i) {
        twelve << band(QString::number(i), (i + 1) * 10, i < 6 ? 1 : -1);
        twelveNames << QString::number(i);
        twelveRatios << float((i + 1) * 10) / 120.0f;
    }
    QTest::newRow("same bands: updated in place")
        << twelve << twelveNames << 120 << twelveRatios << false;

    QTest::newRow("totals are no bands and set no scale")
        << QVariantList{band("up_counts", 3000, 1), band("涨停", 20, 1), band("0-2%", 80, 1),
                        band("down_counts", 1900, -1), band("跌停", 0, -1)}
        << QStringList{"涨停", "0-2%", "跌停"} << 80 << QList<float>{0.25f, 1.0f, 0.0f} << true;

    QTest::newRow("every band empty: no division by zero")
        << QVariantList{band("涨停", 0, 1), band("跌停", 0, -1)} << QStringList{"涨停", "跌停"} << 0
        << QList<float>{0.0f, 0.0f} << true;

    QTest::newRow("entries that are not bands are skipped")
        << QVariantList{QVariant(QStringLiteral("涨停")), QVariant(7), band("平盘", 40, 0),
                        band("坏数", -5, 1)}
        << QStringList{"平盘", "坏数"} << 40 << QList<float>{1.0f, 0.0f} << true;

    QTest::newRow("no bands at all")
        << QVariantList{} << QStringList{} << 0 << QList<float>{} << true;
}

void TestQuoteModels::breadthSections() {
    QFETCH(QVariantList, items);
    QFETCH(QStringList, sections);
    QFETCH(int, largest);
    QFETCH(QList<float>, ratios);
    QFETCH(bool, reset);
    IndexSectionCountModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setSections(items);
    QCOMPARE(model.rowCount(), sections.size());
    QCOMPARE(model.getMaxCount(), largest);
    for (int i = 0; i < sections.size(); ++i) {
        const QModelIndex at = model.index(i);
        QCOMPARE(model.data(at, IndexSectionCountModel::SectionRole).toString(), sections[i]);
        QCOMPARE(model.getCurRatio(uint(i)), ratios[i]);
        QCOMPARE(model.data(at, IndexSectionCountModel::RatioRole).toFloat(), ratios[i]);
        QVERIFY(model.data(at, IndexSectionCountModel::CountRole).toInt() >= 0);
    }
    QCOMPARE(resets.count(), reset ? 1 : 0);
    QCOMPARE(changes.count(), reset || sections.isEmpty() ? 0 : 1);
}

void TestQuoteModels::multiStockRows_data() {
    QTest::addColumn<QString>("ctx");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ownContext");
    QTest::addColumn<int>("emitted");
    const QString list = QStringLiteral(R"({"block_":1101,"page_":{"no":4,"length":9}})");
    QTest::newRow("a page of nine") << list << 9 << true << 9;
    QTest::newRow("a last page of five") << list << 5 << true << 5;
    QTest::newRow("an empty list") << list << 0 << true << 0;
    QTest::newRow("another context's reply") << list << 9 << false << -1;
    QTest::newRow("a text that is no context") << QStringLiteral("[1,2") << 9 << false << -1;
}

void TestQuoteModels::multiStockRows() {
    QFETCH(QString, ctx);
    QFETCH(int, count);
    QFETCH(bool, ownContext);
    QFETCH(int, emitted);
    MultiStockModel model;
    model.setCtx(ctx);
    // Paging a model without a usable context does nothing.
    model.pageUp();
    model.pageDown();
    QSignalSpy changed(&model, &MultiStockModel::dataChange);
    std::vector<QuoteRealTimeMarket> snapshots;
    for (int i = 0; i < count; ++i) {
        QuoteRealTimeMarket s = snapshot(QByteArray::number(600000 + i).constData(), "股票", 10.0f);
        s.info.market = 1;
        snapshots.push_back(s);
    }
    QuoteCtx* other = quote_ctx_create();
    QuoteReply rpl{0, QUOTE_REPLY_REALTIME, ownContext ? model.context() : other, uint32_t(count),
                   count > 0 ? snapshots.data() : nullptr};
    dispatch(&rpl);
    quote_ctx_release(other);
    if (emitted < 0) {
        QCOMPARE(changed.count(), 0);
        return;
    }
    QCOMPARE(changed.count(), 1);
    const QVariantList rows = changed.at(0).at(0).toJsonArray().toVariantList();
    QCOMPARE(rows.size(), emitted);
    for (int i = 0; i < emitted; ++i) {
        const QVariantMap row = rows[i].toMap();
        QCOMPARE(row.value("code").toString(), QString::number(600000 + i));
        QCOMPARE(row.value("market").toInt(), 1);
        QCOMPARE(row.value("name").toString(), QStringLiteral("股票"));
    }
}

QTEST_MAIN(TestQuoteModels)
#include "tst_quote_models.moc"
