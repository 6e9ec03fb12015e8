// The chart data model against a real server: how each request sets up its context, the
// series slots, cancelling, ex-rights adjustment, the snapshot identity, loading older bars,
// live pushes and a server restart.
#include "live_quote_server.h"
#include "quote/mq_model.h"
#include "quote/quote_proxy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <deque>
#include <map>

namespace {

// Every reply the proxy hands out, with its context as text. Created before any model, so
// its slot runs first and `last` names the context of the reply a model is passing on.
class ReplyTrace : public QObject {
    Q_OBJECT
public:
    ReplyTrace() {
        auto* p = QuoteProxy::instance();
        for (auto sig : {&QuoteProxy::quoteReplayTypeMinute, &QuoteProxy::quoteReplayTypeKLine,
                         &QuoteProxy::quoteReplayTypeDividend, &QuoteProxy::quoteReplayTypePrice,
                         &QuoteProxy::quoteDetail, &QuoteProxy::quoteStockTip})
            connect(p, sig, this, &ReplyTrace::take, Qt::BlockingQueuedConnection);
    }
    QJsonObject last;

private:
    void take(QuoteReply* rpl) {
        if (rpl->ctx)
            last = QJsonDocument::fromJson(quote_ctx_dump(rpl->ctx)).object();
    }
};

struct Emission {
    Emission(const QString& s, int i = -1, int n = 0) : signal(s), index(i), count(n) {}
    QString signal;
    int index;
    int count;
    size_t seq = 0;  // position among a collector's emissions
    std::vector<int64_t> times;
    std::vector<float> closes;
    int append = 0;
    bool zeroHeader = false;
    QJsonObject ctx;  // the context the reply answered
};

// Copies what a model emits while the payload is valid.
class Collector : public QObject {
    Q_OBJECT
public:
    Collector(MQModel* m, const ReplyTrace* trace) : trace_(trace) {
        connect(m, &MQModel::codeInfoChanged, this, [this] { add(Emission("codeInfoChanged")); });
        connect(m, &MQModel::updateKLine, this, [this](QuoteKPoints* k, int index) {
            Emission e{"kline", index, int(k->count)};
            for (uint32_t i = 0; i < k->count; ++i) {
                e.times.push_back(k->points[i].time);
                e.closes.push_back(k->points[i].close);
            }
            add(e);
        });
        connect(m, &MQModel::updateMinute, this, [this](QuoteMinPoints* mp, int index) {
            Emission e{"minute", index, int(mp->count)};
            e.append = mp->append;
            for (uint32_t i = 0; i < mp->count; ++i)
                e.times.push_back(mp->points[i].time);
            add(e);
        });
        connect(m, &MQModel::updateDividend, this, [this](QuoteDividendPoints* d) {
            Emission e{"dividend", -1, int(d->count)};
            QByteArray header(reinterpret_cast<const char*>(d), 100);
            e.zeroHeader = header.count('\0') == 100;
            for (uint32_t i = 0; i < d->count; ++i)
                e.times.push_back(d->points[i].time);
            add(e);
        });
        connect(m, &MQModel::updatePrice, this, [this](QuoteRealTimeMarket& rt) {
            Emission e{"price", -1, 1};
            e.closes.push_back(rt.close);
            add(e);
        });
        connect(m, &MQModel::updateDetail, this,
                [this](QuoteDetailPoints& d) { add(Emission("detail", -1, int(d.count))); });
        connect(m, &MQModel::updateStockTip, this,
                [this](QuoteReply* r) { add(Emission("tip", -1, int(r->count))); });
    }
    std::deque<Emission> all;  // stable addresses while it grows

    // Waits for an emission of `signal` after position `from` that `pred` accepts.
    const Emission* waitFor(
        const QString& signal, size_t from = 0,
        const std::function<bool(const Emission&)>& pred = [](const Emission&) { return true; },
        int ms = 15000) {
        const Emission* found = nullptr;
        LiveQuoteServer::waitUntil(
            [&] {
                for (size_t i = from; i < all.size() && !found; ++i)
                    if (all[i].signal == signal && pred(all[i]))
                        found = &all[i];
                return found != nullptr;
            },
            this, &Collector::changed, ms);
        return found;
    }
    int countOf(const QString& signal, size_t from = 0) const {
        return int(std::count_if(all.begin() + std::ptrdiff_t(from), all.end(),
                                 [&](const Emission& e) { return e.signal == signal; }));
    }

signals:
    void changed();

private:
    void add(Emission e) {
        e.ctx = trace_->last;
        e.seq = all.size();
        all.push_back(std::move(e));
        emit changed();
    }
    const ReplyTrace* trace_;
};

// The Shanghai composite: it moves with every Shanghai trade, so pushes follow each other
// closely, where a single stock may not trade for a while.
const QString kMoving = QStringLiteral("1A0001");

QJsonObject page(int no, int length) {
    return {{"no", no}, {"length", length}};
}

}  // namespace

class TestMQModel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void contextSetup_data();
    void contextSetup();
    void seriesSlots_data();
    void seriesSlots();
    void cancelOther_data();
    void cancelOther();
    void cancelKLine_data();
    void cancelKLine();
    void adjustedKLines_data();
    void adjustedKLines();
    void identity_data();
    void identity();
    void loadMore_data();
    void loadMore();
    void livePushContinuesSeries_data();
    void livePushContinuesSeries();
    void serverRestart();

private:
    // Asks a fresh model for one K-line and waits for it, so every earlier request of the
    // same connection has been answered.
    void fence();
    QString stock_, stock2_, dividendStock_;
    LiveQuoteServer server_;
    ReplyTrace* trace_ = nullptr;
};

void TestMQModel::initTestCase() {
    trace_ = new ReplyTrace;
    QVERIFY2(server_.startServer(), qPrintable(server_.log()));
    QVERIFY2(server_.startEngine(), qPrintable(server_.log()));
    stock_ = server_.firstOf(2, 1);
    QVERIFY(!stock_.isEmpty());
    for (const ListedSecurity& s : server_.securities())
        if (s.type == 2 && s.market == 2) {
            stock2_ = s.code;
            break;
        }
    // A stock with ex-rights events, for the adjustment cases.
    for (const ListedSecurity& s : server_.securities()) {
        if (s.type != 2 || s.market != 1)
            continue;
        MQModel model;
        Collector got(&model, trace_);
        model.getDividendData(s.code, 1);
        const Emission* d = got.waitFor("dividend");
        QVERIFY(d);
        if (d->count > 0) {
            dividendStock_ = s.code;
            break;
        }
    }
    QVERIFY(!dividendStock_.isEmpty());
}

void TestMQModel::cleanupTestCase() {
    server_.stopEngine();
    server_.stopServer();
    delete trace_;
}

void TestMQModel::fence() {
    MQModel model;
    Collector got(&model, trace_);
    model.getKLineData(stock_, 1, 5, 33, 0);
    QVERIFY(got.waitFor("kline"));
}

void TestMQModel::contextSetup_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("arg1");  // page size, first tick, block or time
    QTest::addColumn<int>("arg2");  // cycle or page size
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QJsonObject>("expected");

    QJsonArray fields;
    for (int i = 0; i <= 46; ++i)
        fields.append(i);
    for (int id : {49, 306, 350, 351, 1001, 1002, 1003, 1015, 1016})
        fields.append(id);
    const int day = int(QDateTime::currentSecsSinceEpoch()) - 7 * 86400;
    QTest::newRow("minute today") << "minute" << 0 << 0 << "minute"
                                  << QJsonObject{{"type_", 0},
                                                 {"peroid_", 32},
                                                 {"page_", page(-1, 0)},
                                                 {"time_", 0}};
    QTest::newRow("minute of a past day")
        << "hminute" << day << 0 << "minute"
        << QJsonObject{{"type_", 0}, {"peroid_", 32}, {"page_", page(-1, 0)}, {"time_", day}};
    const struct {
        const char* name;
        int rows, cycle, sent;
    } klines[] = {{"day 512", 512, 33, 512},
                  {"day 2048 is everything", 2048, 33, 9999},
                  {"week 2048", 2048, 39, 9999},
                  {"month 2048", 2048, 40, 9999},
                  {"1-minute 2048 as asked", 2048, 34, 2048},
                  {"5-minute", 300, 35, 300},
                  {"15-minute 2048", 2048, 36, 2048},
                  {"30-minute", 120, 37, 120},
                  {"60-minute", 60, 38, 60},
                  {"day 2047", 2047, 33, 2047}};
    for (const auto& k : klines)
        QTest::newRow(k.name) << "kline" << k.rows << k.cycle << "kline"
                              << QJsonObject{{"type_", 0},
                                             {"peroid_", k.cycle},
                                             {"page_", page(0, k.sent)},
                                             {"user_data_", 0}};
    QTest::newRow("dividends with a K-line")
        << "kline" << 100 << 33 << "dividend" << QJsonObject{{"type_", 1}};
    QTest::newRow("dividends alone")
        << "dividend" << 0 << 0 << "dividend" << QJsonObject{{"type_", 1}};
    QTest::newRow("snapshot") << "price" << 0 << 0 << "price"
                              << QJsonObject{{"type_", 0}, {"peroid_", 30}, {"fields_", fields}};
    QTest::newRow("latest ticks") << "detail" << -1 << 50 << "detail"
                                  << QJsonObject{
                                         {"type_", 0}, {"peroid_", 31}, {"page_", page(-1, 50)}};
    QTest::newRow("ticks from one")
        << "detail" << 1 << 20 << "detail" << QJsonObject{{"page_", page(1, 20)}};
    QTest::newRow("alerts of a security")
        << "tip" << 0 << 30 << "tip" << QJsonObject{{"type_", 3}, {"page_", page(0, 30)}};
    QTest::newRow("alerts of a block")
        << "blocktip" << 1110 << 40 << "tip"
        << QJsonObject{
               {"type_", 3}, {"block_", 1110}, {"codes_", QJsonArray()}, {"page_", page(0, 40)}};
}

void TestMQModel::contextSetup() {
    QFETCH(QString, request);
    QFETCH(int, arg1);
    QFETCH(int, arg2);
    QFETCH(QString, signal);
    QFETCH(QJsonObject, expected);
    MQModel model;
    Collector got(&model, trace_);
    if (request == "minute")
        model.getMinuteData(stock_, 1, 0);
    else if (request == "hminute")
        model.getHMinuteData(stock_, 1, 0, uint(arg1));
    else if (request == "kline")
        model.getKLineData(stock_, 1, uint(arg1), uint(arg2), 0);
    else if (request == "dividend")
        model.getDividendData(stock_, 1);
    else if (request == "price")
        model.getPriceData(stock_, 1);
    else if (request == "detail")
        model.getDetailData(stock_, 1, arg1, uint(arg2));
    else if (request == "tip")
        model.getStockTipData(stock_, 1, uint(arg2));
    else
        model.getStockTipData(uint(arg1), uint(arg2));
    const Emission* e = got.waitFor(signal);
    QVERIFY(e);
    if (request != "blocktip")
        expected["codes_"] = QJsonArray{QJsonObject{{"code", stock_}, {"market", 1}}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(e->ctx.value(it.key()), it.value());
}

void TestMQModel::seriesSlots_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("requests");  // "index:code" with code a or b
    QTest::addColumn<QStringList>("latest");    // "index:code" of the last reply per index
    for (const char* kind : {"minute", "kline"}) {
        auto row = [&](const char* name) {
            return std::ref(QTest::newRow(qPrintable(QString("%1: %2").arg(kind, name))) << kind);
        };
        row("appended in order") << QStringList{"0:a", "1:b", "2:a"}
                                 << QStringList{"0:a", "1:b", "2:a"};
        row("gap on an empty list") << QStringList{"2:a"} << QStringList{};
        row("gap after one") << QStringList{"0:a", "2:b"} << QStringList{"0:a"};
        row("negative index") << QStringList{"-1:a"} << QStringList{};
        row("replaced in place") << QStringList{"0:a", "1:a", "1:b"} << QStringList{"0:a", "1:b"};
    }
}

void TestMQModel::seriesSlots() {
    QFETCH(QString, kind);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, latest);
    MQModel model;
    Collector got(&model, trace_);
    for (const QString& r : requests) {
        const int index = r.section(':', 0, 0).toInt();
        const QString code = r.endsWith('a') ? stock_ : stock2_;
        const uint market = r.endsWith('a') ? 1 : 2;
        if (kind == "minute")
            model.getMinuteData(code, market, index);
        else
            model.getKLineData(code, market, 20, 33, index);
    }
    fence();
    std::map<int, QString> seen;
    for (const Emission& e : got.all) {
        if (e.signal != kind)
            continue;
        const QString code = e.ctx["codes_"].toArray()[0].toObject()["code"].toString();
        seen[e.index] = QString("%1:%2").arg(e.index).arg(code == stock_ ? "a" : "b");
    }
    QStringList actual;
    for (const auto& s : seen)
        actual << s.second;
    QCOMPARE(actual, latest);
}

void TestMQModel::cancelOther_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QList<int>>("indices");  // of the replies that follow
    for (const char* kind : {"minute", "kline"}) {
        const QString k(kind);
        QTest::newRow(qPrintable(k + ": keep 0")) << k << 0 << QList<int>{0};
        QTest::newRow(qPrintable(k + ": keep 1 keeps its index")) << k << 1 << QList<int>{1};
        QTest::newRow(qPrintable(k + ": keep the last")) << k << 2 << QList<int>{2};
        QTest::newRow(qPrintable(k + ": past the end")) << k << 3 << QList<int>{0, 1, 2};
        QTest::newRow(qPrintable(k + ": negative")) << k << -1 << QList<int>{0, 1, 2};
    }
}

void TestMQModel::cancelOther() {
    QFETCH(QString, kind);
    QFETCH(int, keep);
    QFETCH(QList<int>, indices);
    MQModel model;
    Collector got(&model, trace_);
    for (int i = 0; i < 3; ++i) {
        if (kind == "minute")
            model.getMinuteData(kMoving, 1, i);
        else
            model.getKLineData(kMoving, 1, 20, 34, i);
        QVERIFY(got.waitFor(kind, 0, [i](const Emission& e) { return e.index == i; }));
    }
    const size_t from = got.all.size();
    kind == "minute" ? model.cancelOtherMinute(keep) : model.cancelOtherKLine(keep);
    // The first series is sent again by a change of mode; minutes move with the market.
    if (kind == "kline")
        model.setDividendCmd("bd");
    QSet<int> want(indices.begin(), indices.end()), seen;
    QVERIFY(LiveQuoteServer::waitUntil(
        [&] {
            for (size_t i = from; i < got.all.size(); ++i)
                if (got.all[i].signal == kind)
                    seen.insert(got.all[i].index);
            return seen.contains(want);
        },
        &got, &Collector::changed));
    QCOMPARE(seen, want);
}

void TestMQModel::cancelKLine_data() {
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("cancelAt");  // -1: cancelDividend()
    QTest::addColumn<bool>("emptyDividend");
    QTest::addColumn<bool>("klineStays");
    QTest::newRow("cancel everything") << 2 << 0 << true << false;
    QTest::newRow("cancel the overlay") << 2 << 1 << false << true;
    QTest::newRow("cancel past the end") << 1 << 3 << false << true;
    QTest::newRow("cancel with no series") << 0 << 0 << true << false;
    QTest::newRow("dividends alone") << 1 << -1 << true << true;
}

void TestMQModel::cancelKLine() {
    QFETCH(int, series);
    QFETCH(int, cancelAt);
    QFETCH(bool, emptyDividend);
    QFETCH(bool, klineStays);
    MQModel model;
    Collector got(&model, trace_);
    for (int i = 0; i < series; ++i)
        model.getKLineData(stock_, 1, 30, 33, i);
    if (series > 0)
        QVERIFY(got.waitFor("dividend"));
    const size_t from = got.all.size();
    cancelAt < 0 ? model.cancelDividend() : model.cancelKLine(cancelAt);
    QCOMPARE(got.countOf("dividend", from), emptyDividend ? 1 : 0);
    if (emptyDividend) {
        const Emission* d = got.waitFor("dividend", from);
        QCOMPARE(d->count, 0);
        QVERIFY(d->zeroHeader);
    }
    // A change of mode re-sends the first series, if one is left.
    model.setDividendCmd("fd");
    fence();
    QCOMPARE(got.countOf("kline", from) > 0, klineStays);
}

void TestMQModel::adjustedKLines_data() {
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<bool>("setFirst");  // the mode is set before the K-line is asked for
    QTest::addColumn<bool>("olderDiffer");
    QTest::addColumn<bool>("newerDiffer");
    QTest::newRow("none") << "" << false << false << false;
    QTest::newRow("unknown command is none") << "xx" << false << false << false;
    QTest::newRow("forward") << "fd" << false << true << false;
    QTest::newRow("backward") << "bd" << false << false << true;
    QTest::newRow("forward set before the K-line") << "fd" << true << true << false;
}

void TestMQModel::adjustedKLines() {
    QFETCH(QString, cmd);
    QFETCH(bool, setFirst);
    QFETCH(bool, olderDiffer);
    QFETCH(bool, newerDiffer);
    MQModel model;
    Collector got(&model, trace_);
    auto whole = [](const Emission& e) { return e.count > 100; };
    if (setFirst)
        model.setDividendCmd(cmd);
    model.getKLineData(dividendStock_, 1, 2048, 33, 0);
    const Emission* plain = got.waitFor("kline", 0, whole);
    QVERIFY(plain);
    const Emission* div = got.waitFor("dividend");
    QVERIFY(div && div->count > 0);
    const int64_t firstEx = div->times.front(), lastEx = div->times.back();
    const std::vector<int64_t> times = plain->times;
    const std::vector<float> closes = plain->closes;
    // The whole series comes again after the dividends, in the mode chosen by then.
    const Emission* adjusted = got.waitFor("kline", div->seq, whole);
    if (!setFirst) {
        QVERIFY(adjusted);
        model.setDividendCmd(cmd);
        adjusted = got.waitFor("kline", adjusted->seq + 1, whole);
    }
    QVERIFY(adjusted);
    bool olderDiffers = false, newerDiffers = false;
    for (size_t i = 0; i < adjusted->times.size() && i < times.size(); ++i) {
        QCOMPARE(adjusted->times[i], times[i]);
        const bool differs = !qFuzzyCompare(adjusted->closes[i], closes[i]);
        if (times[i] < firstEx)
            olderDiffers |= differs;
        if (times[i] >= lastEx && i + 1 < times.size())  // today's bar may move meanwhile
            newerDiffers |= differs;
    }
    QCOMPARE(olderDiffers, olderDiffer);
    QCOMPARE(newerDiffers, newerDiffer);
}

void TestMQModel::identity_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("market");
    QTest::addColumn<int>("type");
    QTest::newRow("before any snapshot") << QString() << 0 << 2;
    QTest::newRow("stock") << "stock" << 1 << 2;
    QTest::newRow("index") << "1A0001" << 1 << 1;
    QTest::newRow("unknown security keeps the default") << "ZZ9999" << 0 << 2;
}

void TestMQModel::identity() {
    QFETCH(QString, code);
    QFETCH(int, market);
    QFETCH(int, type);
    if (code == "stock")
        code = stock_;
    MQModel model;
    Collector got(&model, trace_);
    if (!code.isEmpty()) {
        model.getPriceData(code, 1);
        if (market == 0)
            fence();
        else
            QVERIFY(got.waitFor("price"));
    }
    QCOMPARE(model.market(), market);
    QCOMPARE(model.type(), type);
    QCOMPARE(model.code(), market == 0 ? QString() : code);
    QCOMPARE(model.decimal(), market == 0 ? 0 : 2);
    if (market != 0) {
        // Receivers of the snapshot already see the identity it carries.
        QCOMPARE(got.all.at(0).signal, QString("codeInfoChanged"));
        QCOMPARE(got.all.at(1).signal, QString("price"));
    } else {
        QCOMPARE(got.all.size(), size_t(0));
    }
}

void TestMQModel::loadMore_data() {
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("older");  // rows expected in each series' answer
    QTest::newRow("older rows") << 1 << 100 << 50;
    QTest::newRow("each series") << 2 << 100 << 50;
    QTest::newRow("history exhausted") << 1 << 2048 << 0;
    QTest::newRow("no series") << 0 << 0 << -1;
}

void TestMQModel::loadMore() {
    QFETCH(int, series);
    QFETCH(int, rows);
    QFETCH(int, older);
    MQModel model;
    Collector got(&model, trace_);
    std::map<int, int64_t> first;
    for (int i = 0; i < series; ++i) {
        model.getKLineData(i == 0 ? stock_ : stock2_, i == 0 ? 1 : 2, uint(rows), 33, i);
        const Emission* e =
            got.waitFor("kline", 0, [i](const Emission& e) { return e.index == i && e.count > 1; });
        QVERIFY(e);
        first[i] = e->times.front();
    }
    const size_t from = got.all.size();
    model.loadMoreKLine(50);
    fence();
    for (int i = 0; i < series; ++i) {
        const Emission* e = got.waitFor("kline", from, [&](const Emission& e) {
            return e.index == i && (e.times.empty() || e.times.back() < first[i]);
        });
        QVERIFY(e);
        QCOMPARE(e->count, older);
    }
    if (series == 0)
        QCOMPARE(got.countOf("kline", from), 0);
}

void TestMQModel::livePushContinuesSeries_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("1-minute K-line") << "kline";
    QTest::newRow("minute line") << "minute";
}

void TestMQModel::livePushContinuesSeries() {
    QFETCH(QString, kind);
    MQModel model;
    Collector got(&model, trace_);
    kind == "kline" ? model.getKLineData(kMoving, 1, 50, 34, 0)
                    : model.getMinuteData(kMoving, 1, 0);
    const Emission* whole = got.waitFor(kind);
    QVERIFY(whole && whole->count > 0);
    QCOMPARE(whole->append, 0);
    // Skip the re-sent series that follows the dividends (K-lines) and take a push.
    const int64_t lastTime = whole->times.back();
    const Emission* push = got.waitFor(kind, 1, [&](const Emission& e) {
        return e.count > 0 && e.times.front() >= lastTime && (kind == "kline" || e.append);
    });
    QVERIFY(push);
    QVERIFY(push->count < whole->count);
}

void TestMQModel::serverRestart() {
    MQModel model;
    Collector got(&model, trace_);
    model.getKLineData(stock_, 1, 30, 34, 0);
    model.getMinuteData(stock_, 1, 0);
    model.getPriceData(stock_, 1);
    QVERIFY(got.waitFor("kline") && got.waitFor("minute") && got.waitFor("price"));
    server_.stopServer();
    QVERIFY(server_.waitForServerState(QUOTE_SERVER_DISCONNECTED));
    const size_t from = got.all.size();
    QVERIFY2(server_.startServer(), qPrintable(server_.log()));
    QVERIFY(server_.waitForServerState(QUOTE_SERVER_CONNECTED));
    // The subscriptions are sent again and answered in full.
    QVERIFY(got.waitFor("kline", from, [](const Emission& e) { return e.count == 30; }));
    QVERIFY(got.waitFor("minute", from, [](const Emission& e) { return e.append == 0; }));
    QVERIFY(got.waitFor("price", from));
    QCOMPARE(model.code(), stock_);
}

QTEST_GUILESS_MAIN(TestMQModel)
#include "tst_mq_model.moc"
