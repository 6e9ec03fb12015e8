// The small rules behind the server's limits, driven directly: where a request head ends
// and what its body length is, how long a login waits after failures, how a quota counts,
// and that a watchlist answer read across a change is not kept.
#include <QtTest>

#include "server/http/address_quota.h"
#include "server/http/login_guard.h"
#include "server/http/request_head.h"
#include "server/http/watchlist_cache.h"

using namespace vq::http;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(RequestHead::State)

class LimitsTest : public QObject {
    Q_OBJECT

private slots:
    void head_data() {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<RequestHead::State>("state");
        QTest::addColumn<int>("headLength");  // -1: all of the bytes
        QTest::addColumn<int>("bodyLength");
        QTest::addColumn<bool>("chunked");
        using S = RequestHead::State;
        const std::string get = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
        QTest::newRow("get") << get << S::Complete << int(get.size()) << 0 << false;
        QTest::newRow("partial head")
            << std::string("GET / HTTP/1.1\r\nHost: x\r\n") << S::Incomplete << 0 << 0 << false;
        QTest::newRow("next request behind") << get + "GET /b HTTP/1.1\r\n\r\n"
                                             << S::Complete << int(get.size()) << 0 << false;
        QTest::newRow("length any case, spaces")
            << std::string("POST / HTTP/1.1\r\ncontent-LENGTH:   42 \r\n\r\n") << S::Complete << -1
            << 42 << false;
        QTest::newRow("same length twice")
            << std::string("POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\n")
            << S::Complete << -1 << 5 << false;
        QTest::newRow("negative length")
            << std::string("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << S::Malformed << 0
            << 0 << false;
        QTest::newRow("empty length") << std::string("POST / HTTP/1.1\r\nContent-Length:\r\n\r\n")
                                      << S::Malformed << 0 << 0 << false;
        QTest::newRow("length past 64 bits")
            << std::string("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n")
            << S::Malformed << 0 << 0 << false;
        QTest::newRow("chunked has no length")
            << std::string(
                   "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 9\r\n\r\n")
            << S::Complete << -1 << 0 << true;
        QTest::newRow("head over the limit, unfinished")
            << "GET / HTTP/1.1\r\nX: " + std::string(300, 'a') << S::TooLarge << 0 << 0 << false;
        QTest::newRow("head over the limit, finished")
            << "GET / HTTP/1.1\r\nX: " + std::string(300, 'a') + "\r\n\r\n"
            << S::TooLarge << 0 << 0 << false;
    }
    void head() {
        QFETCH(std::string, bytes);
        QFETCH(RequestHead::State, state);
        QFETCH(int, headLength);
        QFETCH(int, bodyLength);
        QFETCH(bool, chunked);
        const RequestHead h = scanHead(bytes, 256);
        QCOMPARE(int(h.state), int(state));
        if (state == RequestHead::State::Complete) {
            QCOMPARE(int(h.headLength), headLength < 0 ? int(bytes.size()) : headLength);
            QCOMPARE(int(h.bodyLength), bodyLength);
            QCOMPARE(h.chunked, chunked);
        }
    }

    // Failures of one name at one address: free ones, then doubling waits up to a ceiling;
    // another address is never held up by them.
    void throttle_data() {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("after");  // seconds after the last failure
        QTest::addColumn<int>("waitHere");
        QTest::addColumn<int>("waitElsewhere");
        QTest::newRow("free failures") << 2 << 0 << 0 << 0;
        QTest::newRow("first delay") << 3 << 0 << 2 << 0;
        QTest::newRow("first delay, partly over") << 3 << 1 << 1 << 0;
        QTest::newRow("first delay over") << 3 << 2 << 0 << 0;
        QTest::newRow("doubled") << 5 << 0 << 8 << 0;
        QTest::newRow("ceiling") << 12 << 0 << 60 << 0;
        QTest::newRow("forgotten after the window") << 12 << 1000 << 0 << 0;
    }
    void throttle() {
        QFETCH(int, failures);
        QFETCH(int, after);
        QFETCH(int, waitHere);
        QFETCH(int, waitElsewhere);
        LoginPolicy policy;
        policy.freeFailures = 3;
        policy.firstDelaySeconds = 2;
        policy.maxDelaySeconds = 60;
        policy.windowSeconds = 900;
        policy.maxFailuresPerAddress = 100;
        LoginThrottle t(policy);
        for (int i = 0; i < failures; ++i) {
            t.failed(QStringLiteral("carol"), "10.0.0.1", 1000);
        }
        QCOMPARE(int(t.wait(QStringLiteral("carol"), "10.0.0.1", 1000 + after)), waitHere);
        QCOMPARE(int(t.wait(QStringLiteral("carol"), "10.0.0.2", 1000 + after)), waitElsewhere);
    }

    // One address failing across many names waits until its old failures leave the window;
    // a success clears the name's own count only.
    void throttlePerAddress() {
        LoginPolicy policy;
        policy.maxFailuresPerAddress = 5;
        policy.windowSeconds = 100;
        LoginThrottle t(policy);
        for (int i = 0; i < 5; ++i) {
            t.failed(QStringLiteral("name%1").arg(i), "10.0.0.9", 1000 + i);
        }
        QCOMPARE(int(t.wait(QStringLiteral("other"), "10.0.0.9", 1010)), 90);
        QCOMPARE(int(t.wait(QStringLiteral("other"), "10.0.0.8", 1010)), 0);
        t.succeeded(QStringLiteral("name1"), "10.0.0.9");
        QCOMPARE(int(t.wait(QStringLiteral("other"), "10.0.0.9", 1101)), 0);
    }

    void quota() {
        AddressQuota q(60, 2);
        QVERIFY(q.take("a", 0, 2, 100, 60));
        QVERIFY(!q.take("a", 1, 2, 100, 50));  // over the bytes
        QVERIFY(q.take("a", 2, 2, 100, 40));
        QVERIFY(!q.take("a", 3, 2, 1000, 1));  // over the count
        QVERIFY(q.take("a", 61, 2, 100, 60));  // the first left the window
        // Past two keys the least recently used one is forgotten.
        q.add("b", 62);
        q.add("c", 63);
        QCOMPARE(q.use("a", 64).count, 0);
        QCOMPARE(q.use("c", 64).count, 1);
    }

    // A read that began before a change must not put the old answer back.
    void cacheKeepsNoStaleAnswer() {
        WatchlistCache cache;
        const uint64_t before = cache.generation(7);
        cache.invalidate(7);
        cache.keep(7, before, "old");
        QVERIFY(!cache.answer(7));
        cache.keep(7, cache.generation(7), "new");
        QCOMPARE(*cache.answer(7), std::string("new"));
        cache.invalidate(7);
        QVERIFY(!cache.answer(7));
    }
};

QTEST_GUILESS_MAIN(LimitsTest)
#include "tst_server_limits.moc"
