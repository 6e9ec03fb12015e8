// Context text, version check and reference documents of libquote (no service needed).
#include "libquote/quote.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <atomic>
#include <thread>

extern "C" int vq_c_api_check(void);

namespace {
QJsonObject dumpOf(QuoteCtx* c) {
    return QJsonDocument::fromJson(QByteArray(quote_ctx_dump(c))).object();
}
QuoteSecurityKey key(const char* code, int market) {
    QuoteSecurityKey k{};
    qstrncpy(k.code, code, sizeof k.code);
    k.market = uint8_t(market);
    return k;
}
}  // namespace

class TestLibquoteContext : public QObject {
    Q_OBJECT
private slots:
    void versionCheck_data();
    void versionCheck();
    void dumpHoldsSettings();
    void parseRoundTrip_data();
    void parseRoundTrip();
    void parseRefusesNonObjects_data();
    void parseRefusesNonObjects();
    void longCodeCut();
    void margin_data();
    void margin();
    void blockIds_data();
    void blockIds();
    void badDocumentsKeepOld();
    void shutdownBeforeRun();
};

// The GUI thread may ask for the shutdown before the engine thread has even entered
// quote_engine_run; that run must end at once instead of running forever.
void TestLibquoteContext::shutdownBeforeRun() {
    quote_engine_shutdown();
    QuoteServerEntry e{"tcp://127.0.0.1:9", "none", "tcp"};
    QuoteEngineSettings s{0, "", &e, 0};
    static int replies = 0;
    auto cb = [](void*, QuoteReply*) { ++replies; };
    std::atomic<bool> done{false};
    std::thread t([&] {
        QCOMPARE(quote_engine_run(&s, cb), 0);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 5000);
    t.join();
    QCOMPARE(replies, 0);
    // Settings without a server are refused.
    QuoteEngineSettings none{0, "", nullptr, 0};
    QCOMPARE(quote_engine_run(&none, cb), -1);
    QuoteServerEntry bad{"no port here", "x", "tcp"};
    QuoteEngineSettings badSettings{0, "", &bad, 0};
    QCOMPARE(quote_engine_run(&badSettings, cb), -1);
}

void TestLibquoteContext::versionCheck_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("patch");
    QTest::addColumn<bool>("usable");
    QTest::newRow("the terminal's") << 1 << 19 << 0 << true;
    QTest::newRow("older minor") << 1 << 3 << 9 << true;
    QTest::newRow("newer minor") << 1 << 20 << 0 << false;
    QTest::newRow("newer patch") << 1 << 19 << 1 << false;
    QTest::newRow("other major") << 2 << 0 << 0 << false;
    QTest::newRow("major 0") << 0 << 19 << 0 << false;
}

void TestLibquoteContext::versionCheck() {
    QVERIFY(vq_c_api_check() != 0);  // the same answer through a C caller
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, patch);
    QFETCH(bool, usable);
    QCOMPARE(__quote_version_check(major, minor, patch) != 0, usable);
}

void TestLibquoteContext::dumpHoldsSettings() {
    QuoteCtx* c = quote_ctx_create();
    QuoteSecurityKey keys[2] = {key("600000", 1), key("000001", 2)};
    quote_ctx_set_page(c, 40, 20);
    quote_ctx_set_type(c, 0);
    quote_ctx_set_peroid(c, 30);
    quote_ctx_set_code(c, keys, 2);
    quote_ctx_set_option(c, 12);
    quote_ctx_set_sort(c, 34, 1);
    uint16_t fields[3] = {0, 1, 1015};
    quote_ctx_set_market_field(c, fields, 3);
    quote_ctx_set_user_data(c, 5);
    QJsonObject o = dumpOf(c);
    QCOMPARE(o.value("peroid_").toInt(), 30);
    QCOMPARE(o.value("option_").toInt(), 12);
    QCOMPARE(o.value("codes_").toArray().size(), 2);
    QCOMPARE(o.value("codes_").toArray().at(1).toObject().value("code").toString(),
             QString("000001"));
    QCOMPARE(o.value("codes_").toArray().at(1).toObject().value("market").toInt(), 2);
    QCOMPARE(o.value("sort_").toObject().value("field").toInt(), 34);
    QCOMPARE(o.value("sort_").toObject().value("mode").toInt(), 1);
    QCOMPARE(o.value("fields_").toArray(), (QJsonArray{0, 1, 1015}));
    QCOMPARE(o.value("page_").toObject().value("no").toInt(), 40);
    QCOMPARE(o.value("page_").toObject().value("length").toInt(), 20);
    QCOMPARE(o.value("user_data_").toInt(), 5);
    quote_ctx_release(c);
}

void TestLibquoteContext::parseRoundTrip_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("block ranking")
        << QByteArray(
               R"({"type_":0,"peroid_":30,"block_":1102,"option_":4,"sort_":{"field":8,"mode":0},"page_":{"no":0,"length":30}})")
        << "block_" << QJsonValue(1102);
    QTest::newRow("unknown key kept")
        << QByteArray(R"({"peroid_":30,"title":"自选股","codes_":[]})") << "title"
        << QJsonValue("自选股");
    QTest::newRow("market as text")
        << QByteArray(R"({"codes_":[{"code":"600000","market":"1"}]})") << "codes_"
        << QJsonValue(QJsonArray{QJsonObject{{"code", "600000"}, {"market", 1}}});
    QTest::newRow("empty codes skipped")
        << QByteArray(R"({"codes_":[{"code":"","market":1},{"market":2}]})") << "codes_"
        << QJsonValue(QJsonArray{});
    QTest::newRow("view edits page") << QByteArray(R"({"page_":{"no":60,"length":9}})") << "page_"
                                     << QJsonValue(QJsonObject{{"no", 60}, {"length", 9}});
    QTest::newRow("negative length clamped")
        << QByteArray(R"({"page_":{"no":0,"length":-5}})") << "page_"
        << QJsonValue(QJsonObject{{"no", 0}, {"length", 0}});
    QTest::newRow("user data") << QByteArray(R"({"user_data_":77})") << "user_data_"
                               << QJsonValue(77);
}

// A context rebuilt from its text dumps the same settings (and keys it does not know).
void TestLibquoteContext::parseRoundTrip() {
    QFETCH(QByteArray, text);
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QuoteCtx* c = quote_ctx_parse(text.constData(), text.size());
    QVERIFY(c);
    QJsonObject o = dumpOf(c);
    QCOMPARE(o.value(key), value);
    QByteArray again = QByteArray(quote_ctx_dump(c));
    QuoteCtx* d = quote_ctx_parse(again.constData(), again.size());
    QCOMPARE(dumpOf(d), o);
    quote_ctx_release(c);
    quote_ctx_release(d);
}

void TestLibquoteContext::parseRefusesNonObjects_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("truncated") << QByteArray(R"({"peroid_":3)");
    QTest::newRow("garbage") << QByteArray("\xff\xfe\x00zz", 5);
}

void TestLibquoteContext::parseRefusesNonObjects() {
    QFETCH(QByteArray, text);
    QVERIFY(quote_ctx_parse(text.constData(), text.size()) == nullptr);
    QVERIFY(quote_ctx_parse(nullptr, 10) == nullptr);
}

void TestLibquoteContext::longCodeCut() {
    QByteArray t = R"({"codes_":[{"code":"ABCDEFGHIJKLMNOPQRSTU","market":1}]})";
    QuoteCtx* c = quote_ctx_parse(t.constData(), t.size());
    QCOMPARE(dumpOf(c).value("codes_").toArray().at(0).toObject().value("code").toString(),
             QString("ABCDEFGHIJKLMNOP"));
    quote_ctx_release(c);
}

void TestLibquoteContext::margin_data() {
    QTest::addColumn<QByteArray>("doc");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("market");
    QTest::addColumn<int>("expected");
    QByteArray env =
        R"({"code":"0000","msg":"success","result":[{"code":"600000","market":1},{"code":"000001","market_id":"2"},{"code":"600519","market":1,"margin":0}]})";
    QTest::newRow("listed") << env << "600000" << 1 << 1;
    QTest::newRow("market id as text") << env << "000001" << 2 << 1;
    QTest::newRow("other market") << env << "600000" << 2 << 0;
    QTest::newRow("flagged not eligible") << env << "600519" << 1 << 0;
    QTest::newRow("absent") << env << "601398" << 1 << 0;
    QTest::newRow("bare array of texts")
        << QByteArray(R"(["300750.2","600036.1"])") << "300750" << 2 << 1;
}

void TestLibquoteContext::margin() {
    QFETCH(QByteArray, doc);
    QFETCH(QString, code);
    QFETCH(int, market);
    QFETCH(int, expected);
    QCOMPARE(quote_margin_load(doc.constData(), doc.size()), 1);
    QCOMPARE(quote_margin_is(code.toUtf8().constData(), uint8_t(market)), expected);
}

void TestLibquoteContext::blockIds_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("market");
    QTest::addColumn<qint64>("id");
    QTest::newRow("block security") << "BK0474" << 90 << qint64(474);
    QTest::newRow("index standing for a block") << "1A0001" << 1 << qint64(1102);
    QTest::newRow("unknown") << "600000" << 1 << qint64(0);
}

void TestLibquoteContext::blockIds() {
    QFETCH(QString, code);
    QFETCH(int, market);
    QFETCH(qint64, id);
    QByteArray doc = R"({"result":[{"code":"BK0474","market":90,"block_id":474,"name":"保险"},
                       {"code":"1A0001","market":1,"block_id":"1102"}]})";
    QCOMPARE(quote_block_load(doc.constData(), doc.size()), 1);
    QuoteSecurityKey k = key(code.toUtf8().constData(), market);
    QCOMPARE(qint64(quote_block_index_block_id1(&k)), id);
}

void TestLibquoteContext::badDocumentsKeepOld() {
    QByteArray good = R"([{"code":"600000","market":1}])";
    QCOMPARE(quote_margin_load(good.constData(), good.size()), 1);
    QByteArray bad = "{not json";
    QCOMPARE(quote_margin_load(bad.constData(), bad.size()), 0);
    QCOMPARE(quote_margin_load(nullptr, 0), 0);
    QCOMPARE(quote_margin_is("600000", 1), 1);
    QCOMPARE(quote_margin_is(nullptr, 1), 0);
}

QTEST_APPLESS_MAIN(TestLibquoteContext)
#include "tst_libquote_context.moc"
