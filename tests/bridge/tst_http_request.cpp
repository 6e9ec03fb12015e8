#include <zlib.h>

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QStringList>
#include <QtTest>

#include "bridge/app_documents.h"
#include "bridge/http_request.h"
#include "bridge/network_cookie_jar.h"
#include "tests/support/local_http_server.h"

namespace {

QByteArray gzipped(const QByteArray& plain) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(plain.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.constData()));
    stream.avail_in = uInt(plain.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// Every signal of a request, in the order it was emitted.
QStringList* recordSignals(HttpRequest* request) {
    auto* log = new QStringList;
    QObject::connect(request, &QObject::destroyed, [log] { delete log; });
    auto add = [request, log](auto signal, const char* name) {
        QObject::connect(request, signal, request, [log, name] { log->append(name); });
    };
    add(&HttpRequest::started, "started");
    add(&HttpRequest::finished, "finished");
    add(&HttpRequest::error, "error");
    add(&HttpRequest::timeout, "timeout");
    add(&HttpRequest::abort, "abort");
    add(&HttpRequest::responseTextChanged, "responseTextChanged");
    add(&HttpRequest::readyStateChanged, "readyStateChanged");
    add(&HttpRequest::statusChanged, "statusChanged");
    add(&HttpRequest::statusTextChanged, "statusTextChanged");
    return log;
}

bool waitDone(HttpRequest* request, int ms = 10000) {
    QSignalSpy finished(request, &HttpRequest::finished);
    QSignalSpy failed(request, &HttpRequest::error);
    QElapsedTimer timer;
    timer.start();
    while (finished.isEmpty() && failed.isEmpty() && timer.elapsed() < ms) {
        QTest::qWait(10);
    }
    return !finished.isEmpty() || !failed.isEmpty();
}

}  // namespace

class TestHttpRequest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { server_.stop(); }
    void init() { bridge::setLoginDocument(QJsonObject()); }

    void successSignalOrder();
    void failureSignalOrder();
    void httpErrorStatus();
    void bodyDecoding_data();
    void bodyDecoding();
    void placeholders_data();
    void placeholders();
    void relativeUrlGoesToControlHost();
    void timeoutAbortsAndSignals();
    void zeroTimeoutArmsNoTimer();
    void secondSendWhileLoadingIsIgnored();
    void unknownMethodSendsNothing();
    void methods_data();
    void methods();
    void requestCookiesText();
    void cookiesFromJar();
    void noManagerReportsError();
    void headersAreLockedWhileLoading();
    void responseHeaders();
    void clearResets();

private:
    QUrl url(const char* path) const { return QUrl(QString::fromStdString(server_.url(path))); }

    LocalHttpServer server_;
    QNetworkAccessManager manager_;
};

void TestHttpRequest::initTestCase() {
    auto& s = server_.server();
    s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-One", "1");
        res.set_content("hello", "text/plain");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("gone", "text/plain");
    });
    s.Get("/gzip", [](const httplib::Request&, httplib::Response& res) {
        const QByteArray body = gzipped(QStringLiteral("压缩的正文 body").toUtf8());
        res.set_content(body.constData(), size_t(body.size()), "application/octet-stream");
    });
    s.Get("/gzip-zero", [](const httplib::Request&, httplib::Response& res) {
        QByteArray body = gzipped("abc");
        body.replace(body.size() - 4, 4, QByteArray(4, '\0'));
        res.set_content(body.constData(), size_t(body.size()), "application/octet-stream");
    });
    s.Get("/gzip-lying", [](const httplib::Request&, httplib::Response& res) {
        // A trailer claiming 4 GiB must not make the client allocate it.
        QByteArray body = gzipped("short");
        body.replace(body.size() - 4, 4, QByteArray(4, '\xff'));
        res.set_content(body.constData(), size_t(body.size()), "application/octet-stream");
    });
    s.Get("/utf8", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("上证指数", "text/plain; charset=utf-8");
    });
    s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        res.set_content("late", "text/plain");
    });
    s.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        std::string text = req.path + "?" + req.get_param_value("id") + "|" +
                           req.get_param_value("v") + "|" + req.get_header_value("Cookie");
        res.set_content(text, "text/plain");
    });
    auto method = [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.method + ":" + req.body, "text/plain");
    };
    s.Get("/method", method);
    s.Post("/method", method);
    s.Put("/method", method);
    s.Delete("/method", method);
    s.Options("/method", method);
    s.Get("/head", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("", "text/plain");
    });
    QVERIFY(server_.start() > 0);
}

void TestHttpRequest::successSignalOrder() {
    HttpRequest request(&manager_);
    QStringList* log = recordSignals(&request);
    request.open("GET", url("/ok"));
    log->clear();
    request.send();
    QCOMPARE(*log, QStringList({"started", "readyStateChanged"}));
    QCOMPARE(request.readyState(), HttpRequest::Loading);
    log->clear();
    QVERIFY(waitDone(&request));
    QCOMPARE(*log, QStringList(
                       {"responseTextChanged", "statusChanged", "readyStateChanged", "finished"}));
    QCOMPARE(int(request.status()), 200);
    QCOMPARE(request.responseText(), QStringLiteral("hello"));
    QCOMPARE(request.readyState(), HttpRequest::Finished);

    // The same body and status a second time: nothing changed, so no change signals.
    request.open("GET", url("/ok"));
    request.send();
    log->clear();
    QVERIFY(waitDone(&request));
    QCOMPARE(*log, QStringList({"readyStateChanged", "finished"}));
}

void TestHttpRequest::failureSignalOrder() {
    // A port nothing listens on: the connection is refused.
    LocalHttpServer closed;
    const int port = closed.start();
    closed.stop();
    HttpRequest request(&manager_);
    QStringList* log = recordSignals(&request);
    request.open("GET", QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
    request.send();
    log->clear();
    QVERIFY(waitDone(&request));
    QCOMPARE(*log,
             QStringList({"statusChanged", "readyStateChanged", "statusTextChanged", "error"}));
    QCOMPARE(request.status(), HttpRequest::ConnectionRefusedError);
    QCOMPARE(request.readyState(), HttpRequest::Error);
    QVERIFY(!request.statusText().isEmpty());
}

void TestHttpRequest::httpErrorStatus() {
    HttpRequest request(&manager_);
    request.open("GET", url("/missing"));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.status(), HttpRequest::ContentNotFoundError);
    QCOMPARE(request.responseText(), QStringLiteral("gone"));
}

void TestHttpRequest::bodyDecoding_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QByteArray zero = gzipped("abc");
    zero.replace(zero.size() - 4, 4, QByteArray(4, '\0'));
    QByteArray lying = gzipped("short");
    lying.replace(lying.size() - 4, 4, QByteArray(4, '\xff'));
    QTest::newRow("plain utf-8") << "/utf8" << QStringLiteral("上证指数");
    QTest::newRow("gzip body inflated") << "/gzip" << QStringLiteral("压缩的正文 body");
    QTest::newRow("trailer size 0: raw bytes") << "/gzip-zero" << QString::fromUtf8(zero);
    // A trailer claiming 4 GiB is a corrupt member: no huge buffer, the raw text is handed on.
    QTest::newRow("lying trailer: raw bytes") << "/gzip-lying" << QString::fromUtf8(lying);
}

void TestHttpRequest::bodyDecoding() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    HttpRequest request(&manager_);
    request.open("GET", url(path.toLatin1().constData()));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText(), expected);
}

void TestHttpRequest::placeholders_data() {
    QTest::addColumn<QJsonObject>("login");
    QTest::addColumn<QString>("expected");
    QJsonObject user;
    user.insert("id", 12345);
    QJsonObject login;
    login.insert("user", user);
    QTest::newRow("before login: user.id becomes nothing")
        << QJsonObject() << "/echo?|velto_winpc_tax1_1.000006|";
    QTest::newRow("after login: user.id filled")
        << login << "/echo?12345|velto_winpc_tax1_1.000006|";
}

void TestHttpRequest::placeholders() {
    QFETCH(QJsonObject, login);
    QFETCH(QString, expected);
    bridge::setLoginDocument(login);
    HttpRequest request(&manager_);
    request.open("GET", QUrl(QString::fromStdString(server_.url("/echo")) +
                             QStringLiteral("?id={{user.id}}&v={{appVer}}")));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText(), expected);
}

void TestHttpRequest::relativeUrlGoesToControlHost() {
    qputenv("VELTOQUORIN_CONTROL_URL", server_.url("").c_str());
    HttpRequest request(&manager_);
    request.open("GET", QUrl("/utf8"));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText(), QStringLiteral("上证指数"));
    qunsetenv("VELTOQUORIN_CONTROL_URL");
}

void TestHttpRequest::timeoutAbortsAndSignals() {
    HttpRequest request(&manager_);
    QStringList* log = recordSignals(&request);
    request.setTimeout(200);
    request.open("GET", url("/slow"));
    request.send();
    log->clear();
    QTRY_VERIFY_WITH_TIMEOUT(log->contains("timeout"), 5000);
    QCOMPARE(log->first(), QStringLiteral("abort"));
    QVERIFY(log->indexOf("error") < log->indexOf("timeout"));
    QCOMPARE(request.status(), HttpRequest::OperationCanceledError);
    QCOMPARE(request.readyState(), HttpRequest::Error);
}

void TestHttpRequest::zeroTimeoutArmsNoTimer() {
    HttpRequest request(&manager_);
    QSignalSpy timedOut(&request, &HttpRequest::timeout);
    request.setTimeout(0);
    request.open("GET", url("/slow"));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(timedOut.count(), 0);
    QCOMPARE(request.responseText(), QStringLiteral("late"));
}

void TestHttpRequest::secondSendWhileLoadingIsIgnored() {
    HttpRequest request(&manager_);
    QSignalSpy started(&request, &HttpRequest::started);
    request.open("GET", url("/slow"));
    request.send();
    request.send();
    QCOMPARE(started.count(), 1);
    QVERIFY(waitDone(&request));
}

void TestHttpRequest::unknownMethodSendsNothing() {
    HttpRequest request(&manager_);
    request.open("PATCH", url("/method"));
    QStringList* log = recordSignals(&request);
    QTest::ignoreMessage(QtDebugMsg, "Invaild method : \"PATCH\"");
    request.send();
    QTest::qWait(100);
    QVERIFY(log->isEmpty());
    QCOMPARE(request.readyState(), HttpRequest::UnStart);
}

void TestHttpRequest::methods_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("expected");
    QTest::newRow("GET") << "GET"
                         << "GET:";
    QTest::newRow("lower-case post carries the body") << "post"
                                                      << "POST:a=1";
    QTest::newRow("PUT carries the body") << "PUT"
                                          << "PUT:a=1";
    QTest::newRow("DELETE") << "DELETE"
                            << "DELETE:";
}

void TestHttpRequest::methods() {
    QFETCH(QString, method);
    QFETCH(QString, expected);
    HttpRequest request(&manager_);
    request.open(method, url("/method"));
    request.setRequestHeader(QByteArray("Content-Type"), QByteArray("text/plain"));
    request.send("a=1");
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText(), expected);
}

void TestHttpRequest::requestCookiesText() {
    HttpRequest request(&manager_);
    QJsonObject cookies;
    cookies.insert("a", 1);
    cookies.insert("b", "2");
    request.setRequestCookies(cookies);
    QCOMPARE(request.getRequestHeader("Cookie"), QStringLiteral("a=1; b=2; "));
    QCOMPARE(request.getRequestHeader("X-Absent"), QString());
}

void TestHttpRequest::cookiesFromJar() {
    QNetworkAccessManager manager;
    auto* jar = new NetworkCookieJar;
    manager.setCookieJar(jar);
    QNetworkCookie sid("sid", "abc");
    sid.setDomain("other.example");
    jar->insertCookie(sid);
    QNetworkCookie lang("lang", "zh");
    lang.setDomain("other.example");
    jar->insertCookie(lang);

    HttpRequest request(&manager);
    request.open("GET", url("/echo"));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText().section('|', 2), QStringLiteral("sid=abc;lang=zh;"));

    // An explicit Cookie header wins over the jar.
    HttpRequest explicitCookie(&manager);
    explicitCookie.open("GET", url("/echo"));
    explicitCookie.setRequestHeader(QByteArray("Cookie"), QByteArray("mine=1"));
    explicitCookie.send();
    QVERIFY(waitDone(&explicitCookie));
    QCOMPARE(explicitCookie.responseText().section('|', 2), QStringLiteral("mine=1"));

    jar->save();
    QFile file(NetworkCookieJar::cookieFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
}

void TestHttpRequest::noManagerReportsError() {
    HttpRequest request;
    QSignalSpy failed(&request, &HttpRequest::error);
    request.open("GET", url("/ok"));
    QTest::ignoreMessage(QtDebugMsg, "NetAccessManager is nullptr");
    request.send();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(request.readyState(), HttpRequest::UnStart);
}

void TestHttpRequest::headersAreLockedWhileLoading() {
    HttpRequest request(&manager_);
    request.setTimeout(5000);
    request.open("GET", url("/slow"));
    request.send();
    request.setTimeout(10);
    request.setRequestHeader(QByteArray("X-Late"), QByteArray("1"));
    QCOMPARE(request.getTimeout(), 5000);
    QCOMPARE(request.getRequestHeader("X-Late"), QString());
    QVERIFY(waitDone(&request));
    QCOMPARE(request.readyState(), HttpRequest::Finished);
}

void TestHttpRequest::responseHeaders() {
    HttpRequest request(&manager_);
    request.open("GET", url("/ok"));
    request.send();
    QVERIFY(waitDone(&request));
    bool found = false;
    for (const QJsonValue& header : request.getAllResponseHeader()) {
        found = found || header.toObject().value("X-One").toString() == "1";
    }
    QVERIFY(found);
}

void TestHttpRequest::clearResets() {
    HttpRequest request(&manager_);
    request.open("GET", url("/ok"));
    request.setRequestHeader(QByteArray("X-A"), QByteArray("1"));
    request.send();
    QVERIFY(waitDone(&request));
    request.clear();
    QCOMPARE(request.readyState(), HttpRequest::UnStart);
    QCOMPARE(request.getRequestHeader("X-A"), QString());
    QVERIFY(request.getAllResponseHeader().isEmpty());
    // A cleared object can be opened and sent again.
    request.open("GET", url("/utf8"));
    request.send();
    QVERIFY(waitDone(&request));
    QCOMPARE(request.responseText(), QStringLiteral("上证指数"));
}

QTEST_MAIN(TestHttpRequest)
#include "tst_http_request.moc"
