// A context sent again (a table paging, a chart switching cycle) against a real quote
// service while the market moves: replies of what it asked before never reach it again,
// a Fetch still answers beside the subscription, and the service is left holding only the
// context's current subscription, across a reconnect and after a cancel.
#include "protocol/wire.h"
#include "quote_fixture.h"

#include <QtTest>

#include <atomic>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using vq::market::Security;

enum class Send { Subscribe, Request, Fetch };

// One send of a context: its period and page (for a Fetch, `size` older rows).
struct Step {
    Send send;
    int period;
    int first;
    int size;
};
using Steps = std::vector<Step>;

}  // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Send)
Q_DECLARE_METATYPE(Step)

namespace {

// Moves the market on every few milliseconds while it lives, so subscriptions push.
class MarketMover {
public:
    explicit MarketMover(QuoteFixture& fx)
        : thread_([this, &fx] {
              while (!stop_) {
                  fx.advance(5);
                  std::this_thread::sleep_for(std::chrono::milliseconds(15));
              }
          }) {}
    ~MarketMover() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Takes the engine's connection on the service's port as the service would, reads what it
// sends and answers none of it.
class SilentService {
public:
    explicit SilentService(uint16_t port) : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     ::listen(listener_, 4) == 0;
    }
    ~SilentService() {
        if (peer_ >= 0)
            ::close(peer_);
        ::close(listener_);
    }

    // Waits until the engine has connected and sent something after its hello; false when
    // nothing came within `ms`. The connection then drops unanswered with this object.
    bool takeRequest(int ms) {
        if (!listening_ || !readable(listener_, ms))
            return false;
        peer_ = ::accept(listener_, nullptr, nullptr);
        vqp::Hello server;
        server.role = vqp::Role::Server;
        std::string hello;
        vqp::encodeHello(server, hello);
        if (peer_ < 0 || ::send(peer_, hello.data(), hello.size(), MSG_NOSIGNAL) < 0)
            return false;
        size_t got = 0;
        char buf[4096];
        while (got <= vqp::kHelloSize) {
            if (!readable(peer_, ms))
                return false;
            const ssize_t n = ::recv(peer_, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            got += size_t(n);
        }
        return true;
    }

private:
    static bool readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1;
    }

    int listener_;
    int peer_ = -1;
    bool listening_ = false;
};

struct CtxHolder {
    QuoteCtx* ctx = quote_ctx_create();
    ~CtxHolder() {
        if (ctx)
            quote_ctx_release(ctx);
    }
};

int replyTypeOf(int period) {
    switch (period) {
        case 30:
            return QUOTE_REPLY_REALTIME;
        case 31:
            return QUOTE_REPLY_DETAIL;
        case 32:
            return QUOTE_REPLY_MINUTE;
        default:
            return QUOTE_REPLY_KLINE;
    }
}

// Whether a reply can answer the send `s`: its kind, and for a list its page, for bars no
// more rows than asked. The steps of a row are chosen so that answers of the earlier ones
// fail this for the last.
bool answers(const Got& g, const Step& s) {
    if (g.type != replyTypeOf(s.period))
        return false;
    if (s.period == 30)
        return g.firstNo == s.first;
    return s.period < 33 || g.count <= uint32_t(s.size);
}

}  // namespace

class TestLibquoteRerequest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void previousRepliesNeverArrive_data();
    void previousRepliesNeverArrive();
    void fetchBesideSubscription_data();
    void fetchBesideSubscription();
    void reconnectSendsOnlyCurrent();
    void unansweredRequestSentAgain_data();
    void unansweredRequestSentAgain();
    void nothingLeftSubscribed_data();
    void nothingLeftSubscribed();

private:
    void configure(QuoteCtx* ctx, const Step& s);
    void sendStep(QuoteCtx* ctx, const Step& s);
    bool waitAnswer(size_t from, QuoteCtx* ctx, const Step& s, Got* out = nullptr);
    QuoteSecurityKey stockKey() const;

    std::unique_ptr<QuoteFixture> fx_;
};

void TestLibquoteRerequest::initTestCase() {
    fx_ = std::make_unique<QuoteFixture>(300);
    QVERIFY(fx_->startService(0));
    fx_->advance(30 * 60);
    fx_->startEngine();
    QVERIFY(replyLog().waitFor(
        0, [](const Got& g) { return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 1; }));
}

// Every test starts with the service holding no subscription of ours.
void TestLibquoteRerequest::init() {
    QTRY_COMPARE(fx_->serviceSubscriptions(), 0);
}

void TestLibquoteRerequest::cleanupTestCase() {
    fx_.reset();
}

QuoteSecurityKey TestLibquoteRerequest::stockKey() const {
    for (const Security& s : fx_->market->securities())
        if (s.type == vq::market::SecType::Stock)
            return keyOf(s.code, s.market);
    return QuoteSecurityKey{};
}

void TestLibquoteRerequest::configure(QuoteCtx* ctx, const Step& s) {
    quote_ctx_set_type(ctx, 0);
    quote_ctx_set_peroid(ctx, s.period);
    if (s.period == 30) {
        quote_ctx_set_block(ctx, 1101, 0);
        quote_ctx_set_option(ctx, 4);
        quote_ctx_set_sort(ctx, 1, 1);
    } else {
        QuoteSecurityKey k = stockKey();
        quote_ctx_set_code(ctx, &k, 1);
    }
    quote_ctx_set_page(ctx, s.first, s.size);
}

void TestLibquoteRerequest::sendStep(QuoteCtx* ctx, const Step& s) {
    switch (s.send) {
        case Send::Subscribe:
            configure(ctx, s);
            quote_ctx_subscribe(ctx);
            break;
        case Send::Request:
            configure(ctx, s);
            quote_ctx_request(ctx);
            break;
        case Send::Fetch:
            quote_ctx_load_more(ctx, s.size);
            break;
    }
}

bool TestLibquoteRerequest::waitAnswer(size_t from, QuoteCtx* ctx, const Step& s, Got* out) {
    return replyLog().waitFor(
        from, [&](const Got& g) { return g.ctx == ctx && answers(g, s); }, out);
}

void TestLibquoteRerequest::previousRepliesNeverArrive_data() {
    QTest::addColumn<Steps>("steps");
    const Send sub = Send::Subscribe, req = Send::Request, fetch = Send::Fetch;
    QTest::newRow("table paging down, subscribed")
        << Steps{{sub, 30, 0, 20}, {sub, 30, 20, 20}, {sub, 30, 40, 20}, {sub, 30, 60, 20}};
    QTest::newRow("table paging, one-shot requests")
        << Steps{{req, 30, 0, 20}, {req, 30, 40, 20}, {req, 30, 20, 20}};
    QTest::newRow("table subscribed, then asked once")
        << Steps{{sub, 30, 0, 20}, {req, 30, 20, 20}};
    QTest::newRow("chart switching cycle")
        << Steps{{sub, 35, 0, 60}, {sub, 33, 0, 50}, {sub, 39, 0, 20}};
    QTest::newRow("chart from minute line and ticks to day bars")
        << Steps{{sub, 32, -1, 0}, {sub, 31, -1, 10}, {sub, 33, 0, 20}};
    QTest::newRow("older bars asked for, then another cycle")
        << Steps{{sub, 33, 0, 20}, {fetch, 33, 0, 60}, {sub, 39, 0, 10}};
}

// The sends follow each other at once, so the answers of the earlier ones are still on
// their way (or queued in the service) when the last goes out. Whatever arrived before the
// last send returned is fair; nothing of the earlier sends may come after it.
void TestLibquoteRerequest::previousRepliesNeverArrive() {
    QFETCH(Steps, steps);
    MarketMover mover(*fx_);
    CtxHolder c;
    const size_t begin = replyLog().size();
    for (const Step& s : steps)
        sendStep(c.ctx, s);
    const size_t from = replyLog().size();
    const Step& last = steps.back();
    QVERIFY(waitAnswer(begin, c.ctx, last));
    QTest::qWait(400);  // pushes and late answers have time to come
    for (const Got& g : replyLog().of(c.ctx, from))
        QVERIFY2(answers(g, last), qPrintable(QString("a reply of type %1, %2 rows from %3")
                                                  .arg(g.type)
                                                  .arg(g.count)
                                                  .arg(g.firstNo)));
}

void TestLibquoteRerequest::fetchBesideSubscription_data() {
    QTest::addColumn<bool>("behindSubscribe");
    QTest::addColumn<bool>("resent");  // the same bars sent again right after, adjusted
    QTest::newRow("after the first answer") << false << false;
    QTest::newRow("right behind the subscribe") << true << false;
    QTest::newRow("then the bars adjusted") << false << true;
}

// load_more asks for older bars and leaves the subscription pushing. A re-send of the same
// bars (an ex-rights change) still lets them come; its own answer covers every row.
void TestLibquoteRerequest::fetchBesideSubscription() {
    QFETCH(bool, behindSubscribe);
    QFETCH(bool, resent);
    const Step page{Send::Subscribe, 34, 0, 30};
    CtxHolder c;
    size_t from = replyLog().size();
    sendStep(c.ctx, page);
    Got first;
    if (!behindSubscribe)
        QVERIFY(waitAnswer(from, c.ctx, page, &first));
    quote_ctx_load_more(c.ctx, 30);
    if (resent) {
        quote_ctx_set_option(c.ctx, 2);
        quote_ctx_update(c.ctx);
    }
    if (behindSubscribe)
        QVERIFY(waitAnswer(from, c.ctx, page, &first));
    QCOMPARE(first.count, 30u);
    Got older;
    QVERIFY(replyLog().waitFor(
        from,
        [&](const Got& g) {
            return g.ctx == c.ctx && g.count == 30 && g.times.back() < first.times.front();
        },
        &older));
    if (resent)
        QVERIFY(replyLog().waitFor(from,
                                   [&](const Got& g) { return g.ctx == c.ctx && g.count == 60; }));
    QTRY_COMPARE(fx_->serviceSubscriptions(), 1);
    size_t pushedFrom = replyLog().size();
    MarketMover mover(*fx_);
    Got pushed;
    QVERIFY(replyLog().waitFor(
        pushedFrom, [&](const Got& g) { return g.ctx == c.ctx && g.type == QUOTE_REPLY_KLINE; },
        &pushed));
    QVERIFY(pushed.times.front() >= first.times.back());
    QCOMPARE(fx_->serviceSubscriptions(), 1);
}

// After the service restarts, the engine subscribes again to what the context asks now,
// not to what it asked before; a one-shot request made while the service was away goes
// out once, and only the latest of them.
void TestLibquoteRerequest::reconnectSendsOnlyCurrent() {
    const Step old{Send::Subscribe, 30, 0, 20}, current{Send::Subscribe, 30, 20, 20};
    CtxHolder sub, once;
    size_t sent = replyLog().size();
    sendStep(sub.ctx, old);
    sendStep(sub.ctx, current);
    QVERIFY(waitAnswer(sent, sub.ctx, current));
    QTRY_COMPARE(fx_->serviceSubscriptions(), 1);

    uint16_t port = fx_->port();
    size_t from = replyLog().size();
    fx_->stopService();
    QVERIFY(replyLog().waitFor(
        from, [](const Got& g) { return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 0; }));
    const Step onceOld{Send::Request, 30, 40, 20}, onceCurrent{Send::Request, 30, 60, 20};
    sendStep(once.ctx, onceOld);
    sendStep(once.ctx, onceCurrent);
    size_t restarted = replyLog().size();
    QVERIFY(fx_->startService(port));
    QVERIFY(waitAnswer(restarted, sub.ctx, current));
    QVERIFY(waitAnswer(restarted, once.ctx, onceCurrent));
    QTRY_COMPARE(fx_->serviceSubscriptions(), 1);
    {
        MarketMover mover(*fx_);
        QTest::qWait(400);
    }
    QCOMPARE(replyLog().countFor(restarted, once.ctx), size_t(1));
    for (const Got& g : replyLog().of(sub.ctx, restarted))
        QCOMPARE(g.firstNo, current.first);
}

void TestLibquoteRerequest::unansweredRequestSentAgain_data() {
    QTest::addColumn<Step>("ask");
    QTest::newRow("a page of a list") << Step{Send::Request, 30, 20, 20};
    QTest::newRow("day bars") << Step{Send::Request, 33, 0, 20};
}

// A one-shot request that went out on a connection which then dropped before it was
// answered goes out again on the next connection, and is answered there.
void TestLibquoteRerequest::unansweredRequestSentAgain() {
    QFETCH(Step, ask);
    const uint16_t port = fx_->port();
    size_t from = replyLog().size();
    fx_->stopService();
    QVERIFY(replyLog().waitFor(
        from, [](const Got& g) { return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 0; }));
    CtxHolder once;
    sendStep(once.ctx, ask);
    {
        SilentService silent(port);
        QVERIFY(silent.takeRequest(10000));
    }
    const size_t restarted = replyLog().size();
    QVERIFY(fx_->startService(port));
    QVERIFY(waitAnswer(restarted, once.ctx, ask));
}

void TestLibquoteRerequest::nothingLeftSubscribed_data() {
    QTest::addColumn<Send>("second");
    QTest::addColumn<bool>("release");
    QTest::newRow("subscribed twice, cancelled") << Send::Subscribe << false;
    QTest::newRow("subscribed twice, released") << Send::Subscribe << true;
    QTest::newRow("subscribed, asked once, cancelled") << Send::Request << false;
    QTest::newRow("subscribed, older bars, cancelled") << Send::Fetch << false;
}

void TestLibquoteRerequest::nothingLeftSubscribed() {
    QFETCH(Send, second);
    QFETCH(bool, release);
    MarketMover mover(*fx_);
    const Step first{Send::Subscribe, 33, 0, 20}, then{second, 33, 20, 10};
    CtxHolder c;
    size_t from = replyLog().size();
    sendStep(c.ctx, first);
    sendStep(c.ctx, then);
    QVERIFY(replyLog().waitFor(from, [&](const Got& g) { return g.ctx == c.ctx; }));
    QTRY_COMPARE(fx_->serviceSubscriptions(), second == Send::Request ? 0 : 1);
    if (release) {
        quote_ctx_release(c.ctx);
        c.ctx = nullptr;
        QTRY_COMPARE(fx_->serviceSubscriptions(), 0);
        return;
    }
    from = replyLog().size();
    quote_ctx_cancel(c.ctx);
    QTRY_COMPARE(fx_->serviceSubscriptions(), 0);
    QTest::qWait(300);
    // Only a reply the engine was handing over while the cancel was made may follow it.
    QVERIFY(replyLog().countFor(from, c.ctx) <= 1);
}

QTEST_GUILESS_MAIN(TestLibquoteRerequest)
#include "tst_libquote_rerequest.moc"
