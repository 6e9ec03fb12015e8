// Reply dispatch: one signal per reply type, in order, delivered across threads with
// blocking queued connections while the reply is still valid.
#include "quote/quote_proxy.h"

#include <QtTest>

#include <atomic>
#include <thread>

class Recorder : public QObject {
    Q_OBJECT
public:
    QStringList seen;
    int stateDuringSignal = -1;
    QString nameDuringSignal;
    float firstClose = 0;
    Qt::HANDLE thread = nullptr;

    void connectAll(QuoteProxy* p, Qt::ConnectionType type) {
        auto rec = [this](const char* name) {
            return [this, name](QuoteReply*) { seen << QString::fromLatin1(name); };
        };
        connect(p, &QuoteProxy::quotePeroidRealTime, this, rec("quotePeroidRealTime"), type);
        connect(p, &QuoteProxy::quoteReplayTypeMinute, this, rec("quoteReplayTypeMinute"), type);
        connect(p, &QuoteProxy::quoteReplayTypeKLine, this, rec("quoteReplayTypeKLine"), type);
        connect(p, &QuoteProxy::quoteReplayTypeDividend, this, rec("quoteReplayTypeDividend"),
                type);
        connect(p, &QuoteProxy::quoteReplayTypePrice, this, &Recorder::onPrice, type);
        connect(p, &QuoteProxy::quoteCodes, this, rec("quoteCodes"), type);
        connect(p, &QuoteProxy::quoteDetail, this, rec("quoteDetail"), type);
        connect(p, &QuoteProxy::quoteServerState, this, &Recorder::onState, type);
        connect(p, &QuoteProxy::quoteStockTip, this, rec("quoteStockTip"), type);
    }

public slots:
    void onPrice(QuoteReply* rpl) {
        seen << "quoteReplayTypePrice";
        thread = QThread::currentThreadId();
        // The engine thread waits while this runs, so the payload is still readable.
        if (rpl->count)
            firstClose = static_cast<QuoteRealTimeMarket*>(rpl->payload)[0].close;
    }
    void onState(QuoteReply*) {
        seen << "quoteServerState";
        stateDuringSignal = QuoteProxy::instance()->lastServerState();
        nameDuringSignal = QuoteProxy::instance()->lastServerName();
    }
};

class TestQuoteProxy : public QObject {
    Q_OBJECT
private slots:
    void dispatch_data();
    void dispatch();
    void serverStateCachedFirst();
    void blockingAcrossThreads();
};

void TestQuoteProxy::dispatch_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("signals_");
    QTest::newRow("codes") << 2 << QStringList{"quoteCodes"};
    QTest::newRow("snapshots: list, then price")
        << 3 << QStringList{"quotePeroidRealTime", "quoteReplayTypePrice"};
    QTest::newRow("minute") << 4 << QStringList{"quoteReplayTypeMinute"};
    QTest::newRow("kline") << 5 << QStringList{"quoteReplayTypeKLine"};
    QTest::newRow("detail") << 6 << QStringList{"quoteDetail"};
    QTest::newRow("dividend") << 7 << QStringList{"quoteReplayTypeDividend"};
    QTest::newRow("type 8 emits nothing") << 8 << QStringList{};
    QTest::newRow("alerts") << 9 << QStringList{"quoteStockTip"};
    QTest::newRow("unknown") << 77 << QStringList{};
    QTest::newRow("zero") << 0 << QStringList{};
}

void TestQuoteProxy::dispatch() {
    QFETCH(int, type);
    QFETCH(QStringList, signals_);
    Recorder r;
    r.connectAll(QuoteProxy::instance(), Qt::DirectConnection);
    QuoteRealTimeMarket rt{};
    QuoteReply rpl{};
    rpl.type = uint16_t(type);
    rpl.count = 1;
    rpl.payload = &rt;
    QuoteProxy::instance()->onUpdate(&rpl);
    QCOMPARE(r.seen, signals_);
}

void TestQuoteProxy::serverStateCachedFirst() {
    Recorder r;
    r.connectAll(QuoteProxy::instance(), Qt::DirectConnection);
    QuoteServerRecord server{};
    qstrncpy(server.name, "行情主站", sizeof server.name);
    QuoteServerState s{&server, QUOTE_SERVER_CONNECTED};
    QuoteReply rpl{};
    rpl.type = QUOTE_REPLY_SERVER_STATE;
    rpl.payload = &s;
    QuoteProxy::instance()->onUpdate(&rpl);
    QCOMPARE(r.seen, QStringList{"quoteServerState"});
    QCOMPARE(r.stateDuringSignal, 1);
    QCOMPARE(r.nameDuringSignal, QString("行情主站"));
    s.state = QUOTE_SERVER_DISCONNECTED;
    QuoteProxy::instance()->onUpdate(&rpl);
    QCOMPARE(r.stateDuringSignal, 0);
    QCOMPARE(QuoteProxy::instance()->lastServerState(), 0);
}

// The engine side calls onUpdate on its own thread; the receiver runs on the GUI thread
// while the payload (on the engine thread's stack) is still alive.
void TestQuoteProxy::blockingAcrossThreads() {
    Recorder r;
    r.connectAll(QuoteProxy::instance(), Qt::BlockingQueuedConnection);
    std::atomic<bool> done{false};
    std::thread engine([&] {
        QuoteRealTimeMarket rt[2]{};
        rt[0].close = 12.34f;
        QuoteReply rpl{};
        rpl.type = QUOTE_REPLY_REALTIME;
        rpl.count = 2;
        rpl.payload = rt;
        QuoteProxy::instance()->onUpdate(&rpl);
        rt[0].close = -1;  // after the emission the receiver must no longer look
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    engine.join();
    QCOMPARE(r.seen, (QStringList{"quotePeroidRealTime", "quoteReplayTypePrice"}));
    QCOMPARE(r.firstClose, 12.34f);
    QCOMPARE(r.thread, QThread::currentThreadId());
}

QTEST_MAIN(TestQuoteProxy)
#include "tst_quote_proxy.moc"
