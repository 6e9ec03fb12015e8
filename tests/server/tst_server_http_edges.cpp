// The broken and heavy requests the HTTP server must survive, over loopback against a real
// server: oversized and chunked bodies, garbage to every route, a stop with a request in
// flight, many clients at once.

#include <QDir>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "http_fixture.h"

using namespace vq;

class HttpEdgeTest : public QObject, protected HttpFixture {
    Q_OBJECT

public:
    explicit HttpEdgeTest(bool postgres) : postgres_(postgres) {}

private:
    bool postgres_;

private slots:
    void initTestCase() { startServer(postgres_); }
    void cleanupTestCase() { stopServer(); }

    void oversizedBody() {
        const QByteArray big(1024 * 1024 + 1, ' ');
        const Reply r = postJson("/mystock?user_id=" + uidOf("alice") + "&cmd=update", big);
        QCOMPARE(r.status, 413);
        QVERIFY(!r.object()["msg"].toString().isEmpty());
        // Just under the limit is read (and then judged on its content).
        QByteArray fits(1024 * 1024 - 16, ' ');
        fits.prepend("[]");
        QCOMPARE(postJson("/mystock?user_id=" + uidOf("alice") + "&cmd=update", fits).status, 200);
    }

    // A chunked body carries no length to check in advance: refused before it is read.
    void chunkedBodyRefused() {
        const QDir reports(dir_.filePath("crash-reports"));
        const int before = reports.entryList(QDir::Files).size();
        auto res = client()->Post(
            "/crash-reporter/",
            [](size_t offset, httplib::DataSink& sink) {
                if (offset < 4096) {
                    const std::string chunk(1024, 'x');
                    sink.write(chunk.data(), chunk.size());
                } else {
                    sink.done();
                }
                return true;
            },
            "text/plain");
        // The answer is 411; the server then closes the connection with the body unread,
        // which the client may see as a reset before it reads the answer.
        QVERIFY(!res || res->status == 411);
        QCOMPARE(reports.entryList(QDir::Files).size(), before);
        QCOMPARE(get("/v3clientcontrol").status, 200);
    }

    // Garbage to every route: never a 500, never a dead server.
    void garbage_data() {
        QTest::addColumn<QString>("path");
        for (const char* p :
             {"/login", "/mystock?user_id=x&cmd=update", "/formula?user_id=x",
              "/user_action?user_id=x", "/crash-reporter/", "/heartbeat", "/notice?type=3",
              "/v3clientcontrol", "/news/list", "/board", "/nowhere"}) {
            QTest::newRow(p) << QString::fromLatin1(p);
        }
    }
    void garbage() {
        QFETCH(QString, path);
        const std::string p = path.toStdString();
        const std::vector<std::pair<std::string, std::string>> bodies = {
            {"", "application/json"},
            {std::string("\x00\xff\xfe{[\"", 6), "application/json"},
            {"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", "application/json"},
            {"username=%%%&password=%G0", "application/x-www-form-urlencoded"},
            {"{\"cmd\":null}", "application/json"},
            {"[{\"cmd\":\"ADD\",\"code\":\"600000\",\"group_id\":{}}]", "application/json"},
        };
        for (const auto& [body, type] : bodies) {
            const Reply post = wrap(client()->Post(p.c_str(), body, type.c_str()));
            QVERIFY2(post.status > 0 && post.status != 500, body.c_str());
            const Reply got =
                wrap(client()->Get((p + (p.find('?') == std::string::npos ? "?" : "&") +
                                    "user_id=%00%01&type=%FF&code=" + std::string(300, 'x'))
                                       .c_str()));
            QVERIFY(got.status > 0 && got.status != 500);
        }
        QCOMPARE(get("/v3clientcontrol").status, 200);
    }

    // Stopping lets a request that is already being answered finish, then refuses new ones.
    void stopFinishesRequestsInFlight() {
        http::HttpOptions options;
        options.port = 0;
        options.dataDir = dir_.path();
        http::HttpServer server(*db_, options);
        std::atomic<bool> entered{false};
        server.addRegistrar([&entered](http::Router& router) {
            router.get("/slow", [&entered](const httplib::Request&, httplib::Response& res) {
                entered = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                http::sendJson(res, http::success());
            });
        });
        QVERIFY(server.start());
        const int port = server.port();
        int status = 0;
        std::thread request([&] {
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(20, 0);
            if (auto r = c.Get("/slow")) {
                status = r->status;
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(entered.load(), 10000);
        server.stop();
        request.join();
        QCOMPARE(status, 200);
        httplib::Client late("127.0.0.1", port);
        late.set_connection_timeout(2, 0);
        QVERIFY(!late.Get("/v3clientcontrol"));
    }

    // Many terminals at once: every request answered, every write kept.
    void concurrentClients() {
        const std::string uid = uidOf("dave");
        QVERIFY(postJson("/mystock?user_id=" + uid + "&cmd=update",
                         R"([{"cmd":"RENAME","group_id":1,"group_name":"A"}])")
                    .status == 200);
        std::atomic<int> bad{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                httplib::Client c("127.0.0.1", port_);
                c.set_read_timeout(30, 0);
                for (int i = 0; i < 10; ++i) {
                    const std::string code = std::to_string(t * 100 + i);
                    const std::string body = R"([{"cmd":"ADD","code":{"code":")" + code +
                                             R"(","market_id":"1"},"group_id":"1"}])";
                    auto r = c.Post(("/mystock?user_id=" + uid + "&cmd=update").c_str(), body,
                                    "application/json");
                    auto g = c.Get(("/mystock?user_id=" + uid + "&cmd=get").c_str());
                    if (!r || r->status != 200 || !g || g->status != 200) {
                        ++bad;
                    }
                }
            });
        }
        for (auto& th : threads) {
            th.join();
        }
        QCOMPARE(bad.load(), 0);
        QCOMPARE(groups(uid)[0].toObject()["codes"].toArray().size(), 80);
    }
};

// Both databases: SQLite, then PostgreSQL when a cluster can start.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    HttpEdgeTest sqlite(false);
    int failed = QTest::qExec(&sqlite, argc, argv);
    HttpEdgeTest postgres(true);
    failed += QTest::qExec(&postgres, argc, argv);
    return failed;
}
#include "tst_server_http_edges.moc"
