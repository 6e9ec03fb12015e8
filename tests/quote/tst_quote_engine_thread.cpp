// The terminal's side of start-up: the engine thread reaches the configured server, the
// dictionary fills from the code list, the reference files reach the engine, and the
// shutdown joins the thread even while a reply is on its way.
#include "libquote/quote.h"
#include "quote/quote_engine_thread.h"
#include "quote/quote_proxy.h"
#include "quote/stock_dictionary.h"
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/quote/quote_service.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int dictionaryRows() {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rows");
        db.setDatabaseName(StockDictionary::databaseFile());
        if (db.open()) {
            QSqlQuery q("SELECT COUNT(*) FROM StockDictionary", db);
            if (q.next())
                n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase("rows");
    return n;
}

void writeFile(const QString& dir, const QString& name, const QByteArray& text) {
    QFile f(QDir(dir).filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

}  // namespace

class TestQuoteEngineThread : public QObject {
    Q_OBJECT
private slots:
    void firstServer_data();
    void firstServer();
    void referenceFiles_data();
    void referenceFiles();
    void startFillsDictionaryAndStops();
};

void TestQuoteEngineThread::firstServer_data() {
    QTest::addColumn<QVariant>("list");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QJsonArray two{QJsonObject{{"url", "tcp://10.0.0.1:8732"}, {"name", "主站"}, {"type", "tcp"}},
                   QJsonObject{{"url", "tcp://10.0.0.2:8732"}, {"name", "备站"}}};
    QTest::newRow("first of two") << QVariant::fromValue(two) << "tcp://10.0.0.1:8732"
                                  << "主站";
    QTest::newRow("as a JSON value")
        << QVariant::fromValue(QJsonValue(two)) << "tcp://10.0.0.1:8732"
        << "主站";
    QTest::newRow("as a variant list") << QVariant(two.toVariantList()) << "tcp://10.0.0.1:8732"
                                       << "主站";
    QTest::newRow("missing members") << QVariant::fromValue(QJsonArray{QJsonObject{}}) << ""
                                     << "";
    QTest::newRow("no document") << QVariant() << ""
                                 << "";
}

void TestQuoteEngineThread::firstServer() {
    QFETCH(QVariant, list);
    QFETCH(QString, url);
    QFETCH(QString, name);
    QByteArray u, n, t;
    QuoteEngineThread::firstServer(list, u, n, t);
    QCOMPARE(QString::fromUtf8(u), url);
    QCOMPARE(QString::fromUtf8(n), name);
}

void TestQuoteEngineThread::referenceFiles_data() {
    QTest::addColumn<QByteArray>("board");
    QTest::addColumn<QByteArray>("margin");
    QTest::addColumn<QByteArray>("rating");
    QTest::addColumn<int>("handed");
    const QByteArray board = R"({"result":[{"code":"BK0901","market":90,"block_id":901}]})";
    const QByteArray margin = R"({"result":[{"code":"600900","market":1}]})";
    const QByteArray rating = R"({"result":[{"code":"600900","market":1,"rating":"买入"}]})";
    QTest::newRow("all three") << board << margin << rating << 3;
    QTest::newRow("empty board skipped, others handled") << QByteArray() << margin << rating << 2;
    QTest::newRow("only the board") << board << QByteArray() << QByteArray() << 1;
}

void TestQuoteEngineThread::referenceFiles() {
    QFETCH(QByteArray, board);
    QFETCH(QByteArray, margin);
    QFETCH(QByteArray, rating);
    QFETCH(int, handed);
    // Start from documents that say otherwise, so a skipped file is visible.
    QByteArray none = "[]";
    quote_block_load(none.constData(), none.size());
    quote_margin_load(none.constData(), none.size());
    quote_rating_load(none.constData(), none.size());
    QTemporaryDir dir;
    writeFile(dir.path(), "board.json", board);
    writeFile(dir.path(), "stock_rzrq.json", margin);
    writeFile(dir.path(), "stock_rating.json", rating);
    QCOMPARE(loadQuoteReferenceFiles(dir.path()), handed);
    QuoteSecurityKey bk{};
    qstrncpy(bk.code, "BK0901", sizeof bk.code);
    bk.market = 90;
    QCOMPARE(quote_block_index_block_id1(&bk) == 901, !board.isEmpty());
    QCOMPARE(quote_margin_is("600900", 1) == 1, !margin.isEmpty());
    QCOMPARE(quote_rating_of("600900", 1) != nullptr, !rating.isEmpty());
}

void TestQuoteEngineThread::startFillsDictionaryAndStops() {
    vq::market::Options o;
    o.clock = vq::market::ClockMode::Manual;
    o.aShares = 200;
    o.startTime = vq::market::beijingTime(
        vq::market::previousTradingDay(vq::market::beijingDate(int64_t(::time(nullptr)))), 10, 0);
    auto market = vq::market::Market::create(o);
    vq::quote::ServiceOptions so;
    so.port = 0;
    so.name = "本机";
    vq::quote::QuoteService service(*market, so);
    QVERIFY(service.start());

    StockDictionary::instance();
    QSignalSpy states(QuoteProxy::instance(), &QuoteProxy::quoteServerState);
    QuoteEngineThread engine;
    const QString url = QString("tcp://127.0.0.1:%1").arg(service.port());
    engine.start([url] {
        return QVariant::fromValue(
            QJsonArray{QJsonObject{{"url", url}, {"name", "本地"}, {"type", "tcp"}}});
    });
    QTRY_VERIFY_WITH_TIMEOUT(QuoteProxy::instance()->lastServerState() == 1, 15000);
    QCOMPARE(QuoteProxy::instance()->lastServerName(), QString("本地"));
    QTRY_COMPARE_WITH_TIMEOUT(dictionaryRows(), int(market->securities().size()), 15000);

    // Stop while the service keeps pushing a subscription: the join must not hang.
    QuoteCtx* ctx = quote_ctx_create();
    quote_ctx_set_peroid(ctx, 30);
    quote_ctx_set_block(ctx, 1101, 0);
    quote_ctx_set_option(ctx, 4);
    quote_ctx_subscribe(ctx);
    connect(
        QuoteProxy::instance(), &QuoteProxy::quotePeroidRealTime, this, [](QuoteReply*) {},
        Qt::BlockingQueuedConnection);
    market->advanceTo(market->snapshot()->time + 60);
    QTest::qWait(100);
    engine.stopAndJoin();
    QVERIFY(!engine.running());
    quote_ctx_release(ctx);
    QVERIFY(states.count() >= 1);
}

QTEST_MAIN(TestQuoteEngineThread)
#include "tst_quote_engine_thread.moc"
