// The server-state model and the index tiles, fed by replies that cross from an engine-like
// thread as the quote engine's do.
#include <QtTest>

#include <cstring>
#include <functional>
#include <thread>

#include "quote/index_board_model.h"
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

QTEST_MAIN(TestQuoteModels)
#include "tst_quote_models.moc"
