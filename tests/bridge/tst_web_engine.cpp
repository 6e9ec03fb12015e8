// Pages in the embedded web engine carry the client flag, as header and as cookie, and the
// fixed desktop user agent.

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QtTest>
#include <QtWebEngine>
#include <mutex>

#include "bridge/deployment.h"
#include "bridge/web_engine_setup.h"
#include "tests/support/local_http_server.h"

class TestWebEngine : public QObject {
    Q_OBJECT

private slots:
    void pageRequestsCarryTheClientFlag();
};

void TestWebEngine::pageRequestsCarryTheClientFlag() {
    LocalHttpServer server;
    std::mutex mutex;
    std::string flag, agent, cookie;
    int hits = 0;
    server.server().Get("/page", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        flag = req.get_header_value("SoftwareFlags");
        agent = req.get_header_value("User-Agent");
        cookie = req.get_header_value("Cookie");
        ++hits;
        res.set_content("<html><body>ok</body></html>", "text/html");
    });
    QVERIFY(server.start() > 0);
    qputenv(bridge::kControlUrlVariable, server.url("").c_str());
    bridge::installWebEngineProfile();

    QQmlApplicationEngine engine;
    const QString page = QString::fromStdString(server.url("/page"));
    engine.loadData(QStringLiteral("import QtQuick 2.15; import QtQuick.Window 2.15;"
                                   "import QtWebEngine 1.10;"
                                   "Window { visible: true; width: 400; height: 300;"
                                   "WebEngineView { anchors.fill: parent; url: '%1' } }")
                        .arg(page)
                        .toUtf8());
    QVERIFY(!engine.rootObjects().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            std::lock_guard<std::mutex> lock(mutex);
            return hits > 0;
        }(),
        30000);
    std::lock_guard<std::mutex> lock(mutex);
    QCOMPARE(QByteArray::fromStdString(flag), QByteArray(bridge::kClientFlagValue));
    QCOMPARE(QByteArray::fromStdString(agent), QByteArray(bridge::kUserAgent));
    QVERIFY2(QByteArray::fromStdString(cookie).contains(QByteArray("SoftwareFlags=") +
                                                        bridge::kClientFlagValue),
             cookie.c_str());
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::puts("SKIP: the web engine needs an X display (run under xvfb-run)");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QtWebEngine::initialize();
    QGuiApplication app(argc, argv);
    TestWebEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_web_engine.moc"
