// The quote service against clients that do not play along: one that floods requests and
// never reads, connections that never say hello, and one address trying to take every
// session. Throughout, a normal terminal on another address must be answered promptly.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtTest>
#include <chrono>

#include "loopback_client.h"
#include "protocol/messages.h"
#include "quote_wire.h"
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/quote/quote_service.h"

namespace {

constexpr size_t kBudget = 256 * 1024;
constexpr int kSlowConsumerMs = 500;
constexpr int kHelloTimeoutMs = 300;

// A terminal speaking the protocol by hand: hello, then one request at a time.
class Terminal {
public:
    Terminal(const std::string& source, uint16_t port) : fd_(hostile::connectFrom(source, port)) {
        timeval tv{5, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        hostile::sendAll(fd_, hostile::clientHello());
    }
    ~Terminal() { ::close(fd_); }
    bool connected() const { return fd_ >= 0; }
    // Reads until a frame of `type` arrives; false on close or timeout.
    bool waitFor(vqp::Msg type) { return hostile::readUntilFrame(fd_, hello_, decoder_, type); }
    // One request and its answer; the round trip in milliseconds, or -1 without an answer.
    double roundTrip(const vqp::Request& r) {
        std::string bytes;
        vqp::encodeRequest(r, bytes);
        const auto start = std::chrono::steady_clock::now();
        if (!hostile::sendAll(fd_, bytes) || !waitFor(vqp::Msg::Reply)) {
            return -1;
        }
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }

private:
    int fd_;
    std::string hello_;
    vqp::FrameDecoder decoder_;
};

}  // namespace

class HostileQuoteTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vq::market::Market> market_;

    vq::quote::ServiceOptions options() const {
        vq::quote::ServiceOptions o;
        o.port = 0;
        o.pushIntervalMs = 100;
        o.minPushIntervalMs = 10;
        o.maxPendingBytes = kBudget;
        o.slowConsumerMs = kSlowConsumerMs;
        o.helloTimeoutMs = kHelloTimeoutMs;
        o.maxSessions = 16;
        o.maxSessionsPerAddress = 8;
        return o;
    }

    vqp::Request quoteOf(int security, uint32_t id) const {
        vqp::Request r;
        r.id = id;
        r.period = vqp::PeriodSnapshot;
        vqp::SecurityKey k{};
        vqp::setText(k.code, market_->security(security)->code);
        k.market = uint8_t(market_->security(security)->market);
        r.codes = {k};
        return r;
    }

private slots:
    void initTestCase() {
        vq::market::Options o;
        o.clock = vq::market::ClockMode::Manual;
        o.aShares = 300;
        o.startTime = vq::market::beijingTime(
            vq::market::previousTradingDay(vq::market::beijingDate(int64_t(::time(nullptr)))), 9,
            30);
        market_ = vq::market::Market::create(o);
        market_->advanceTo(market_->snapshot()->time + 20 * 60);
    }
    void cleanupTestCase() { market_.reset(); }

    // Thousands of whole-market pages requested by a client that never reads: its output
    // stops at the budget, the terminal next to it keeps getting answers, and the flooder
    // is closed once it has stayed over budget.
    void floodWithoutReading() {
        vq::quote::QuoteService service(*market_, options());
        QVERIFY(service.start());
        const int flooder = hostile::connectFrom("127.0.0.2", service.port(), 4096);
        QVERIFY(flooder >= 0);
        std::string flood = hostile::clientHello();
        vqp::Request big;
        big.period = vqp::PeriodSnapshot;
        big.block = 1110;
        big.option = vqp::OptionBlockRanking;
        big.sortField = 34;
        big.pageSize = 10000;
        for (uint32_t id = 1; id <= 5000; ++id) {
            big.id = id;
            vqp::encodeRequest(big, flood);
        }
        // Whatever the socket takes; the rest would only wait behind it.
        size_t sent = 0;
        while (sent < flood.size()) {
            const ssize_t n = ::send(flooder, flood.data() + sent, flood.size() - sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0) {
                break;
            }
            sent += size_t(n);
        }

        Terminal terminal("127.0.0.1", service.port());
        QVERIFY(terminal.waitFor(vqp::Msg::CodeList));
        double worst = 0;
        for (uint32_t i = 0; i < 30; ++i) {
            const double ms = terminal.roundTrip(quoteOf(int(i % 50), 100 + i));
            QVERIFY2(ms >= 0, "the terminal got no answer");
            worst = std::max(worst, ms);
        }
        QVERIFY2(worst < 500, qPrintable(QString("slowest answer %1 ms").arg(worst)));

        const size_t page = market_->block(1110)->members.size() * (sizeof(vqp::Snapshot) + 64);
        QVERIFY2(service.peakPendingBytes() <= kBudget + page,
                 qPrintable(QString("peak %1").arg(service.peakPendingBytes())));
        QTRY_COMPARE_WITH_TIMEOUT(service.sessionCount(), 1, kSlowConsumerMs + 3000);
        QVERIFY(hostile::closedWithin(flooder, 2000));
        ::close(flooder);
    }

    // Connections that never send a hello are closed after the hello timeout.
    void silentConnectionTimesOut() {
        vq::quote::QuoteService service(*market_, options());
        QVERIFY(service.start());
        const int silent = hostile::connectFrom("127.0.0.3", service.port());
        QVERIFY(silent >= 0);
        QVERIFY(hostile::closedWithin(silent, kHelloTimeoutMs + 2000));
        ::close(silent);
        QTRY_COMPARE(service.sessionCount(), 0);
    }

    // Silent connections from several addresses fill the table: a terminal still gets in
    // (the oldest silent one makes room), and one address cannot go past its share.
    void fullTableAdmitsTerminal() {
        vq::quote::ServiceOptions o = options();
        o.helloTimeoutMs = 60000;  // they would stay for good
        vq::quote::QuoteService service(*market_, o);
        QVERIFY(service.start());
        std::vector<int> silent;
        for (const char* source : {"127.0.0.4", "127.0.0.5"}) {
            for (int i = 0; i < o.maxSessionsPerAddress; ++i) {
                silent.push_back(hostile::connectFrom(source, service.port()));
            }
        }
        QTRY_COMPARE(service.sessionCount(), o.maxSessions);
        const int overCap = hostile::connectFrom("127.0.0.4", service.port());
        QVERIFY(hostile::closedWithin(overCap, 2000));
        ::close(overCap);

        Terminal terminal("127.0.0.1", service.port());
        QVERIFY(terminal.waitFor(vqp::Msg::CodeList));
        QVERIFY(terminal.roundTrip(quoteOf(0, 1)) >= 0);
        QCOMPARE(service.sessionCount(), o.maxSessions);
        for (const int fd : silent) {
            ::close(fd);
        }
    }
};

QTEST_GUILESS_MAIN(HostileQuoteTest)
#include "tst_hostile_quote.moc"
