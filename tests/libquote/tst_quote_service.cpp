// The quote service on its own: what a push carries, hostile and broken peers, and the
// bound on what a slow reader can pile up.
#include "protocol/messages.h"
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/quote/answer.h"
#include "server/quote/quote_service.h"
#include "tests/support/raw_quote_client.h"

#include <QtTest>
#include <memory>

#include <algorithm>
#include <cmath>

namespace {

std::string frameOf(vqp::Msg type, const std::string& body) {
    std::string s;
    size_t f = vqp::beginFrame(s, type);
    s += body;
    vqp::finishFrame(s, f);
    return s;
}

vqp::SecurityKey keyOf(const vq::market::Security& s) {
    vqp::SecurityKey k{};
    vqp::setText(k.code, s.code);
    k.market = uint8_t(s.market);
    return k;
}

bool decodeBody(const std::string& frame, vqp::ReplyHeader& h, vqp::Reader** reader,
                std::string& body) {
    vqp::FrameDecoder d;
    d.feed(frame.data(), frame.size());
    vqp::Frame f;
    if (d.next(f) != vqp::FrameDecoder::Result::Frame || f.type != vqp::Msg::Reply)
        return false;
    body = f.body;
    *reader = new vqp::Reader(body.data(), body.size());
    return vqp::decodeReplyHeader(**reader, h);
}

}  // namespace

Q_DECLARE_METATYPE(std::string)

class TestQuoteService : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void quietMarketNoPush_data();
    void quietMarketNoPush();
    void klinePushCarriesNewestBars();
    void klineTurnover_data();
    void klineTurnover();
    void minutePushContinues();
    void klinePushAfterLongGap();
    void pageBeyondEndClamped();
    void sharedOrderFollowsMarket();
    void badHello_data();
    void badHello();
    void hostileFrames_data();
    void hostileFrames();
    void slowReaderBounded();
    void subscriptionLimit();
    void subscriptionsCounted();

private:
    int stock() const;
    std::unique_ptr<vq::market::Market> market_;
    std::unique_ptr<vq::quote::QuoteService> service_;
};

void TestQuoteService::initTestCase() {
    vq::market::Options o;
    o.clock = vq::market::ClockMode::Manual;
    o.aShares = 300;
    o.startTime = vq::market::beijingTime(
        vq::market::previousTradingDay(vq::market::beijingDate(int64_t(::time(nullptr)))), 9, 30);
    market_ = vq::market::Market::create(o);
    market_->advanceTo(market_->snapshot()->time + 20 * 60);
    vq::quote::ServiceOptions so;
    so.port = 0;
    so.pushIntervalMs = 100;
    so.minPushIntervalMs = 5;
    so.maxPendingBytes = 64 * 1024;
    service_ = std::make_unique<vq::quote::QuoteService>(*market_, so);
    QVERIFY(service_->start());
}

void TestQuoteService::cleanupTestCase() {
    service_.reset();
    market_.reset();
}

int TestQuoteService::stock() const {
    for (const auto& s : market_->securities())
        if (s.type == vq::market::SecType::Stock)
            return s.index;
    return -1;
}

void TestQuoteService::quietMarketNoPush_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("period");
    QTest::newRow("snapshot") << 0 << 30;
    QTest::newRow("ticks") << 0 << 31;
    QTest::newRow("minute") << 0 << 32;
    QTest::newRow("day") << 0 << 33;
    QTest::newRow("5 minutes") << 0 << 35;
    QTest::newRow("dividends") << 1 << 0;
    QTest::newRow("alerts") << 3 << 0;
}

// Without a market move a subscription sends nothing; after one, the moving kinds do.
void TestQuoteService::quietMarketNoPush() {
    QFETCH(int, type);
    QFETCH(int, period);
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.id = 1;
    r.type = uint8_t(type);
    r.period = uint16_t(period);
    r.codes = {keyOf(*market_->security(stock()))};
    r.pageSize = type == 3 ? 50 : 0;
    r.pageFirst = period == 31 ? -1 : 0;
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    out.clear();
    QVERIFY(!a.answer(r, st, false, out));
    QVERIFY(out.empty());
    if (type == 0) {
        market_->advanceTo(market_->snapshot()->time + 300);
        QVERIFY(a.answer(r, st, false, out));
        out.clear();
        QVERIFY(!a.answer(r, st, false, out));
    }
}

void TestQuoteService::klinePushCarriesNewestBars() {
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.period = vqp::Period1Min;
    r.codes = {keyOf(*market_->security(stock()))};
    r.pageSize = 100;
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    const int64_t lastSent = st.lastTime;
    market_->advanceTo(market_->snapshot()->time + 180);
    out.clear();
    QVERIFY(a.answer(r, st, false, out));
    vqp::ReplyHeader h;
    vqp::Reader* rd = nullptr;
    std::string body;
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::KLineBlock b;
    QVERIFY(vqp::decodeKLine(*rd, b));
    delete rd;
    // Three new minutes: the last bar sent (now finished) and the ones after it, no older.
    QVERIFY(b.points.size() >= 2 && b.points.size() <= 5);
    QCOMPARE(b.points.front().time, lastSent);
    QVERIFY(b.points.back().time > lastSent);
}

void TestQuoteService::klineTurnover_data() {
    QTest::addColumn<int>("type");
    QTest::newRow("stock: volume over float shares") << int(vq::market::SecType::Stock);
    QTest::newRow("index: none") << int(vq::market::SecType::Index);
}

// Day bars carry their turnover rate in percent of the float shares; aggregates have none.
void TestQuoteService::klineTurnover() {
    QFETCH(int, type);
    const vq::market::Security* security = nullptr;
    for (const auto& s : market_->securities())
        if (int(s.type) == type) {
            security = &s;
            break;
        }
    QVERIFY(security);
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.period = vqp::PeriodDay;
    r.codes = {keyOf(*security)};
    r.pageSize = 30;
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    vqp::ReplyHeader h;
    vqp::Reader* rd = nullptr;
    std::string body;
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::KLineBlock b;
    QVERIFY(vqp::decodeKLine(*rd, b));
    delete rd;
    QVERIFY(!b.points.empty());
    for (const vqp::KPoint& p : b.points) {
        const double expected = type == int(vq::market::SecType::Stock)
                                    ? double(p.volume) / double(security->floatShares) * 100
                                    : 0.0;
        QVERIFY2(std::abs(p.extra - expected) <= 1e-4 * std::max(1.0, expected),
                 qPrintable(QString("%1 vs %2").arg(p.extra).arg(expected)));
    }
    if (type == int(vq::market::SecType::Stock)) {
        QVERIFY(b.points.back().extra > 0);
    }
}

// A subscription that was not answered for a long while (its terminal read slowly) gets
// every bar since the last one it was sent, not just the newest few.
void TestQuoteService::klinePushAfterLongGap() {
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.period = vqp::Period1Min;
    r.codes = {keyOf(*market_->security(stock()))};
    r.pageSize = 10;
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    const int64_t lastSent = st.lastTime;
    market_->advanceTo(market_->snapshot()->time + 25 * 60);
    out.clear();
    QVERIFY(a.answer(r, st, false, out));
    vqp::ReplyHeader h;
    vqp::Reader* rd = nullptr;
    std::string body;
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::KLineBlock b;
    QVERIFY(vqp::decodeKLine(*rd, b));
    delete rd;
    QCOMPARE(b.points.front().time, lastSent);
    QVERIFY2(b.points.size() >= 25, qPrintable(QString::number(b.points.size())));
}

void TestQuoteService::minutePushContinues() {
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.period = vqp::PeriodMinute;
    r.codes = {keyOf(*market_->security(stock()))};
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    vqp::ReplyHeader h;
    vqp::Reader* rd = nullptr;
    std::string body;
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::MinuteBlock first;
    QVERIFY(vqp::decodeMinute(*rd, first));
    delete rd;
    QCOMPARE(int(first.append), 0);
    market_->advanceTo(market_->snapshot()->time + 120);
    out.clear();
    QVERIFY(a.answer(r, st, false, out));
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::MinuteBlock next;
    QVERIFY(vqp::decodeMinute(*rd, next));
    delete rd;
    QCOMPARE(int(next.append), 1);
    QCOMPARE(next.points.front().time, first.points.back().time);
    QVERIFY(next.points.size() >= 2 && next.points.size() <= 4);
}

// The order shared between terminals is the order of the current market version, for
// every page of it.
void TestQuoteService::sharedOrderFollowsMarket() {
    vq::quote::Answerer shared(*market_);
    vqp::Request r;
    r.period = vqp::PeriodSnapshot;
    r.block = 1101;
    r.option = vqp::OptionBlockRanking;
    r.sortField = 34;
    r.pageSize = 30;
    auto frame = [&](vq::quote::Answerer& a, int first) {
        vqp::Request q = r;
        q.pageFirst = first;
        vq::quote::PushState st;
        std::string out;
        a.answer(q, st, true, out);
        return out;
    };
    frame(shared, 0);
    market_->advanceTo(market_->snapshot()->time + 120);
    for (int first : {0, 30, 60}) {
        vq::quote::Answerer fresh(*market_);
        QCOMPARE(frame(shared, first), frame(fresh, first));
    }
}

void TestQuoteService::pageBeyondEndClamped() {
    vq::quote::Answerer a(*market_);
    vqp::Request r;
    r.period = vqp::PeriodSnapshot;
    r.block = 1101;
    r.option = vqp::OptionBlockRanking;
    r.sortField = 34;
    r.pageFirst = 100000;
    r.pageSize = 10;
    vq::quote::PushState st;
    std::string out;
    QVERIFY(a.answer(r, st, true, out));
    vqp::ReplyHeader h;
    vqp::Reader* rd = nullptr;
    std::string body;
    QVERIFY(decodeBody(out, h, &rd, body));
    vqp::SnapshotPage p;
    QVERIFY(vqp::decodeSnapshots(*rd, p));
    delete rd;
    QCOMPARE(size_t(p.total), market_->block(1101)->members.size());
    QCOMPARE(p.rows.size(), size_t(10));
    QCOMPARE(p.firstNo, int(p.total) - 10);
}

void TestQuoteService::badHello_data() {
    QTest::addColumn<std::string>("bytes");
    QTest::newRow("http request") << std::string("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    std::string h;
    vqp::Hello next;
    next.major = vqp::kVersionMajor + 1;
    vqp::encodeHello(next, h);
    QTest::newRow("next major version") << h;
    h.clear();
    vqp::Hello server;
    server.role = vqp::Role::Server;
    vqp::encodeHello(server, h);
    QTest::newRow("a server talking to a server") << h;
}

void TestQuoteService::badHello() {
    QFETCH(std::string, bytes);
    RawClient c(service_->port());
    QVERIFY(c.connected());
    c.send(bytes);
    QVERIFY(c.closedByServer());
}

void TestQuoteService::hostileFrames_data() {
    QTest::addColumn<std::string>("frame");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("errorReply");
    std::string huge;
    vqp::Writer(huge).u32(0x7FFFFFFF);
    QTest::newRow("frame length beyond limit") << huge << true << false;
    std::string zero;
    vqp::Writer(zero).u32(0);
    QTest::newRow("zero length") << zero << true << false;
    std::string req;
    vqp::Writer w(req);
    w.u32(42);  // id
    w.u8(2);    // subscribe
    w.u8(0);
    w.u16(30);
    w.u32(5);  // five codes promised, none follow
    QTest::newRow("request promising more than it holds")
        << frameOf(vqp::Msg::Request, req) << false << true;
    QTest::newRow("unknown frame type") << frameOf(vqp::Msg(999), "abc") << false << false;
    QTest::newRow("cancel of nothing")
        << frameOf(vqp::Msg::Cancel, std::string(4, '\x07')) << false << false;
}

// A broken frame closes that connection (or gets an error answer); the service goes on
// serving everyone else.
void TestQuoteService::hostileFrames() {
    QFETCH(std::string, frame);
    QFETCH(bool, closes);
    QFETCH(bool, errorReply);
    RawClient c(service_->port());
    c.hello();
    QVERIFY(c.readFrame(vqp::Msg::CodeList));
    c.send(frame);
    if (closes) {
        QVERIFY(c.closedByServer());
    } else if (errorReply) {
        vqp::Frame f;
        QVERIFY(c.readFrame(vqp::Msg::Error, &f));
        vqp::ErrorMsg e;
        QVERIFY(vqp::decodeError(f.body, e));
        QCOMPARE(e.id, 42u);
        QCOMPARE(int(e.kind), int(vqp::ReplyKind::Snapshot));
    }
    if (!closes) {
        // Same connection still answers.
        vqp::Request r;
        r.id = 7;
        r.period = vqp::PeriodSnapshot;
        r.codes = {keyOf(*market_->security(stock()))};
        std::string s;
        vqp::encodeRequest(r, s);
        c.send(s);
        QVERIFY(c.readFrame(vqp::Msg::Reply));
    }
    RawClient other(service_->port());
    other.hello();
    QVERIFY(other.readFrame(vqp::Msg::CodeList));
}

// A terminal that stops reading keeps its subscription, but the service stops adding to its
// output once the limit is passed: memory stays bounded however long the market moves.
void TestQuoteService::slowReaderBounded() {
    RawClient slow(service_->port(), 4096);
    slow.hello();
    vqp::Request r;
    r.id = 1;
    r.action = vqp::Action::Subscribe;
    r.period = vqp::PeriodSnapshot;
    r.block = 1110;
    r.option = vqp::OptionBlockRanking;
    r.sortField = 34;
    std::string s;
    vqp::encodeRequest(r, s);
    slow.send(s);
    const size_t page = market_->block(1110)->members.size() * (sizeof(vqp::Snapshot) + 40);
    for (int i = 0; i < 40; ++i) {
        market_->advanceTo(market_->snapshot()->time + 30);
        QTest::qWait(20);
    }
    QTest::qWait(300);
    QVERIFY2(
        service_->peakPendingBytes() <= 64 * 1024 + 2 * page,
        qPrintable(QString("peak %1, one page %2").arg(service_->peakPendingBytes()).arg(page)));
    // Meanwhile a reading terminal is served as usual.
    RawClient fast(service_->port());
    fast.hello();
    r.id = 2;
    r.block = 0;
    r.codes = {keyOf(*market_->security(stock()))};
    s.clear();
    vqp::encodeRequest(r, s);
    fast.send(s);
    QVERIFY(fast.readFrame(vqp::Msg::Reply));
    market_->advanceTo(market_->snapshot()->time + 300);
    QVERIFY(fast.readFrame(vqp::Msg::Reply));
}

// One session cannot make the service hold an unlimited number of subscriptions.
void TestQuoteService::subscriptionLimit() {
    RawClient c(service_->port());
    c.hello();
    vqp::Request r;
    r.action = vqp::Action::Subscribe;
    r.period = vqp::PeriodDay;
    r.codes = {keyOf(*market_->security(stock()))};
    r.pageSize = 1;
    std::string all;
    const uint32_t limit = uint32_t(vq::quote::ServiceOptions().maxSubscriptions);
    for (uint32_t id = 1; id <= limit + 1; ++id) {
        r.id = id;
        vqp::encodeRequest(r, all);
    }
    c.send(all);
    vqp::Frame f;
    QVERIFY(c.readFrame(vqp::Msg::Error, &f));
    vqp::ErrorMsg e;
    QVERIFY(vqp::decodeError(f.body, e));
    QCOMPARE(e.id, limit + 1);
    QCOMPARE(int(e.code), int(vqp::ErrorCode::Overloaded));
}

// The count of live subscriptions follows subscribes, repeated subscribes of one id, cancels,
// one-off requests that replace a subscription, and sessions that go away.
void TestQuoteService::subscriptionsCounted() {
    QTRY_COMPARE(service_->subscriptionCount(), 0);
    auto c = std::make_unique<RawClient>(service_->port());
    c->hello();
    vqp::Request r;
    r.action = vqp::Action::Subscribe;
    r.period = vqp::PeriodDay;
    r.codes = {keyOf(*market_->security(stock()))};
    r.pageSize = 1;
    std::string out;
    for (uint32_t id : {1u, 2u, 3u, 2u}) {
        r.id = id;
        vqp::encodeRequest(r, out);
    }
    c->send(out);
    QTRY_COMPARE(service_->subscriptionCount(), 3);
    out.clear();
    vqp::encodeCancel(1, out);
    vqp::encodeCancel(99, out);  // never subscribed
    r.id = 3;
    r.action = vqp::Action::Request;
    vqp::encodeRequest(r, out);
    c->send(out);
    QTRY_COMPARE(service_->subscriptionCount(), 1);
    c.reset();
    QTRY_COMPARE(service_->subscriptionCount(), 0);
}

QTEST_GUILESS_MAIN(TestQuoteService)
#include "tst_quote_service.moc"
