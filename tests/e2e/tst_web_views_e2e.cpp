// Web pages in the real terminal against a real server process: the login notice opens in a
// browser window that asks before closing; the news list of 600000 in the quote view fills from
// the server and opens an item in a browser window; the item's "goto::" link opens the quote
// view, garbage and unknown codes open nothing; an "app://qml/" link of a web tab opens a route;
// a page's new window opens a browser window; a download is saved under the page title.

#include <QDate>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWebEngineProfile>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <QtWebEngine>

#include "app/fonts.h"
#include "app/main_phase.h"
#include "app/qml_phase.h"
#include "app/qml_types.h"
#include "app/qroot.h"
#include "app/single_application.h"
#include "app/startup_arguments.h"
#include "bridge/app_documents.h"
#include "bridge/data_folder.h"
#include "bridge/web_engine_setup.h"
#include "in_process_terminal.h"
#include "terminal_session.h"
#include "window_lookup.h"

namespace {

const QString kNewsTitle = QStringLiteral("振特玻璃：年度利润分配方案公告");

QPoint centreOf(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

// The visible browser windows, newest last.
QList<QQuickWindow*> browserWindows() {
    QList<QQuickWindow*> out;
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (w->objectName() == QLatin1String("browserWindow") && w->isVisible()) {
            out << qobject_cast<QQuickWindow*>(w);
        }
    }
    return out;
}

void runScript(QObject* webView, const QString& script) {
    QMetaObject::invokeMethod(webView, "runJavaScript", Q_ARG(QString, script));
}

QJsonObject noticeRecord() {
    QFile file(bridge::dataFolder() + QStringLiteral("/notice_2.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

}  // namespace

class TestWebViewsE2E : public QObject {
    Q_OBJECT
public:
    explicit TestWebViewsE2E(SingleApplication* app) : app_(app) {}

private slots:
    void initTestCase();
    void webViews();
    void cleanupTestCase();

private:
    void publish(const QStringList& args, const QByteArray& input);
    bool serverAnswers() const;
    void drive();
    void checkLoginNotice();
    void checkNewsList(QQuickWindow* window);
    void checkLinks(QQuickWindow* window, QQuickWindow* browser);
    void checkWebTab(QQuickWindow* window);
    void checkDownload(QQuickWindow* browser);
    void checkNewWindow(QQuickWindow* browser);
    QObject* currentView(QQuickWindow* window) const;

    SingleApplication* app_;
    QTemporaryDir serverData_;
    QTemporaryDir downloads_;
    QProcess server_;
    QByteArray serverLog_;
    quint16 httpPort_ = 0;
    bool driven_ = false;
};

void TestWebViewsE2E::initTestCase() {
    QVERIFY(serverData_.isValid() && downloads_.isValid());
    httpPort_ = freePort();
    publish({"news", "add", "--title", kNewsTitle, "--code", "600000", "--market", "1", "--source",
             "公司公告"},
            "公司董事会审议通过年度利润分配方案。");
    publish({"notice", "add", "--type", "2", "--title", "交易规则调整", "--url",
             QStringLiteral("http://127.0.0.1:%1/news/view?id=1").arg(httpPort_)},
            "");
    server_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&server_, &QProcess::readyRead, this, [this] { serverLog_ += server_.readAll(); });
    server_.start(QStringLiteral(VQ_SERVER_PATH),
                  {"serve", "--data", serverData_.path(), "--http",
                   QStringLiteral("127.0.0.1:%1").arg(httpPort_), "--quote",
                   QStringLiteral("127.0.0.1:%1").arg(freePort()), "--demo", "--clock", "demo"});
    QVERIFY(server_.waitForStarted(10000));
    // A loaded machine may take a while to build the market.
    for (int i = 0; i < 600 && !serverAnswers(); ++i) {
        QTest::qWait(50);
    }
    QVERIFY2(serverAnswers(), serverLog_.constData());
    qputenv("VELTOQUORIN_CONTROL_URL", "http://127.0.0.1:" + QByteArray::number(httpPort_));
    QQuickWebEngineProfile::defaultProfile()->setDownloadPath(downloads_.path());
}

void TestWebViewsE2E::publish(const QStringList& args, const QByteArray& input) {
    QProcess cli;
    cli.start(QStringLiteral(VQ_SERVER_PATH), QStringList(args) << "--data" << serverData_.path());
    cli.write(input);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 0);
}

bool TestWebViewsE2E::serverAnswers() const {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, httpPort_);
    return probe.waitForConnected(100);
}

QObject* TestWebViewsE2E::currentView(QQuickWindow* window) const {
    QObject* tabs = findInWindow(window, "tabArea");
    return tabs ? tabs->property("currentItem").value<QObject*>() : nullptr;
}

void TestWebViewsE2E::webViews() {
    logInAsDemo();
    if (QTest::currentTestFailed()) {
        return;
    }
    runMainWindow(*app_, [this] {
        drive();
        driven_ = true;
        for (QQuickWindow* b : browserWindows()) {
            b->setProperty("show_alert", false);
            b->close();
        }
    });
    QVERIFY(driven_);
}

void TestWebViewsE2E::drive() {
    QQuickWindow* window = QRoot::instance()->window();
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(window->isExposed(), 10000);
    checkLoginNotice();
    if (QTest::currentTestFailed()) {
        return;
    }
    checkNewsList(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    QList<QQuickWindow*> browsers = browserWindows();
    QCOMPARE(browsers.size(), 1);
    checkLinks(window, browsers.first());
    if (QTest::currentTestFailed()) {
        return;
    }
    checkDownload(browsers.first());
    if (QTest::currentTestFailed()) {
        return;
    }
    checkNewWindow(browsers.first());
    if (QTest::currentTestFailed()) {
        return;
    }
    checkWebTab(window);
}

// The login notice's page opens in a browser window; closing it asks whether it should stay
// away today, and "当天不再提醒" marks it so.
void TestWebViewsE2E::checkLoginNotice() {
    QQuickWindow* notice = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((notice = browserWindows().value(0)) != nullptr, 15000);
    QVERIFY(notice->property("show_alert").toBool());
    QObject* web = findInWindow(notice, "webView");
    QVERIFY(web);
    QTRY_COMPARE_WITH_TIMEOUT(web->property("loadProgress").toInt(), 100, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(notice->title(), QStringLiteral("金融终端  ") + kNewsTitle, 10000);
    QCOMPARE(noticeRecord().value("pop").toString(), QString());

    notice->close();
    QQuickWindow* question = nullptr;
    QTRY_VERIFY([&] {
        for (QWindow* w : QGuiApplication::topLevelWindows()) {
            if (w->objectName() == QLatin1String("closeQuestion") && w->isVisible()) {
                question = qobject_cast<QQuickWindow*>(w);
            }
        }
        return question != nullptr;
    }());
    QVERIFY(notice->isVisible());
    QCOMPARE(findInWindow(question, "alertText")->property("text").toString(),
             QStringLiteral("下次启动是否不再弹出本条消息？"));
    auto* ok = qobject_cast<QQuickItem*>(findInWindow(question, "alertOk"));
    QVERIFY(ok);
    QCOMPARE(ok->property("text").toString(), QStringLiteral("当天不再提醒"));
    QTest::mouseClick(question, Qt::LeftButton, Qt::NoModifier, centreOf(ok));
    QTRY_VERIFY(browserWindows().isEmpty());
    QCOMPARE(noticeRecord().value("pop").toString(),
             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}

// 600000's news in the quote view's panel, from the server; a double click opens the item.
void TestWebViewsE2E::checkNewsList(QQuickWindow* window) {
    const QVariantMap security{{"code", "600000"}, {"market", 1}};
    QMetaObject::invokeMethod(window, "onChangeToMQView", Q_ARG(QVariant, security));
    QObject* view = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (view = currentView(window)) && view->objectName() == QLatin1String("mqView"), 10000);
    auto* newsTab = qobject_cast<QQuickItem*>(findNamed(view, "infoTab_2"));
    QVERIFY(newsTab);
    // A stock has all four tabs; the news tab is third once the bar is laid out.
    QTRY_VERIFY(newsTab->isVisible() && newsTab->width() > 0 && newsTab->x() > 0);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(newsTab));
    QObject* list = findNamed(view, "newsList");
    QVERIFY(list);
    QTRY_VERIFY_WITH_TIMEOUT(list->property("rows").toList().size() == 1, 10000);
    QCOMPARE(list->property("rows").toList().first().toMap().value("title").toString(), kNewsTitle);
    // Research of the security loads with it, for the chart's markers (none published).
    QObject* research = findNamed(view, "researchList");
    QTRY_VERIFY_WITH_TIMEOUT(!research->property("loading").toBool(), 15000);
    QCOMPARE(research->property("message").toString(), QStringLiteral("暂无研究报告"));

    // The list lays its rows out before the next frame.
    QQuickItem* row = nullptr;
    QTRY_VERIFY((row = qobject_cast<QQuickItem*>(findNamed(list, "articleRow_0"))) &&
                row->isVisible() && row->height() > 0);
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(row));
    QQuickWindow* browser = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((browser = browserWindows().value(0)) != nullptr, 10000);
    QObject* web = findInWindow(browser, "webView");
    QTRY_COMPARE_WITH_TIMEOUT(web->property("loadProgress").toInt(), 100, 15000);
    QVERIFY(web->property("url").toString().endsWith(QStringLiteral("/news/view?id=1")));
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("金融终端  ") + kNewsTitle, 10000);
    QVERIFY(!browser->property("show_alert").toBool());
}

// The item's "goto::" link opens the quote view; links with garbage or an unknown code open
// nothing and say why.
void TestWebViewsE2E::checkLinks(QQuickWindow* window, QQuickWindow* browser) {
    QObject* tabs = findInWindow(window, "tabArea");
    QMetaObject::invokeMethod(tabs, "setCurrent", Q_ARG(QVariant, 0));
    QTRY_VERIFY(currentView(window) && currentView(window)->property("code") != "600000");

    QObject* web = findInWindow(browser, "webView");
    QObject* notice = findInWindow(browser, "linkNotice");
    QVERIFY(web && notice);
    runScript(web, "document.querySelector('a.quote').click()");
    QTRY_VERIFY_WITH_TIMEOUT(currentView(window)->property("code").toString() == "600000", 10000);
    QCOMPARE(currentView(window)->property("market").toInt(), 1);
    // The page stays where it was.
    QVERIFY(web->property("url").toString().endsWith(QStringLiteral("/news/view?id=1")));
    // The same link again finds the tab it opened.
    const int opened = tabs->property("count").toInt();
    QObject* quoteTab = currentView(window);
    QMetaObject::invokeMethod(tabs, "setCurrent", Q_ARG(QVariant, 0));
    QTRY_VERIFY(currentView(window) != quoteTab);
    runScript(web, "document.querySelector('a.quote').click()");
    QTRY_VERIFY_WITH_TIMEOUT(currentView(window) == quoteTab, 10000);
    QCOMPARE(tabs->property("count").toInt(), opened);

    struct Case {
        const char* link;
        QString message;
    };
    const Case cases[] = {
        {"goto::quote::x,,1", QStringLiteral("链接无效")},
        {"goto::quote::x,600000,abc", QStringLiteral("链接无效")},
        {"goto::quote::x,999999,1", QStringLiteral("未找到证券 999999")},
    };
    for (const Case& c : cases) {
        const int count = tabs->property("count").toInt();
        QObject* before = currentView(window);
        notice->setProperty("message", QString());
        runScript(web, QStringLiteral("location.href = '%1'").arg(QLatin1String(c.link)));
        QTRY_COMPARE_WITH_TIMEOUT(notice->property("message").toString(), c.message, 10000);
        QCOMPARE(tabs->property("count").toInt(), count);
        QCOMPARE(currentView(window), before);
    }
}

// A page opening a new window gets a browser window of its own, which it may close again.
void TestWebViewsE2E::checkNewWindow(QQuickWindow* browser) {
    QObject* web = findInWindow(browser, "webView");
    runScript(web, "window.popup = window.open('/news/view?id=1')");
    QQuickWindow* opened = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        browserWindows().size() == 2 && (opened = browserWindows().last()) != browser, 10000);
    QObject* openedWeb = findInWindow(opened, "webView");
    QTRY_COMPARE_WITH_TIMEOUT(openedWeb->property("loadProgress").toInt(), 100, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(opened->title(), QStringLiteral("金融终端  ") + kNewsTitle, 10000);
    runScript(web, "window.popup.close()");
    QTRY_COMPARE_WITH_TIMEOUT(browserWindows().size(), 1, 10000);
}

// A download from the item page is saved at once under the page title and the time.
void TestWebViewsE2E::checkDownload(QQuickWindow* browser) {
    QObject* web = findInWindow(browser, "webView");
    QObject* page = findInWindow(browser, "webPage");
    runScript(web,
              "var a = document.createElement('a');"
              "a.href = URL.createObjectURL(new Blob(['%PDF-1.4\\n'], "
              "{type: 'application/octet-stream'}));"
              "a.download = 'report.pdf'; document.body.appendChild(a); a.click();");
    QTRY_COMPARE_WITH_TIMEOUT(page->property("download_state").toString(), QStringLiteral("已保存"),
                              15000);
    const QStringList files = QDir(downloads_.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    const QRegularExpression name(QRegularExpression::escape(kNewsTitle) +
                                  QStringLiteral("_\\d{13}\\.pdf"));
    QVERIFY2(name.match(files.first()).hasMatch(), qPrintable(files.first()));
}

// An "app://qml/" link in a web tab opens its route in the tab area, titled by the route.
void TestWebViewsE2E::checkWebTab(QQuickWindow* window) {
    QObject* tabs = findInWindow(window, "tabArea");
    QMetaObject::invokeMethod(
        window, "onChangedTabView", Q_ARG(QVariant, QString()),
        Q_ARG(QVariant, QStringLiteral("http://127.0.0.1:%1/news/view?id=1").arg(httpPort_)),
        Q_ARG(QVariant, false));
    QObject* tab = nullptr;
    QTRY_VERIFY((tab = currentView(window)) && findNamed(tab, "webView"));
    QObject* web = findNamed(tab, "webView");
    QTRY_COMPARE_WITH_TIMEOUT(web->property("loadProgress").toInt(), 100, 15000);
    const int index = tabs->property("currentIndex").toInt();
    QTRY_VERIFY([&] {
        QVariant t;
        QMetaObject::invokeMethod(tabs, "titleAt", Q_RETURN_ARG(QVariant, t),
                                  Q_ARG(QVariant, index));
        return t.toString() == kNewsTitle;
    }());
    runScript(web, QStringLiteral("location.href = "
                                  "'app://qml/qml/MQView.qml?code=000001&market=2#title=平安'"));
    QTRY_VERIFY_WITH_TIMEOUT(currentView(window)->property("code").toString() == "000001", 10000);
    QVariant routeTitle;
    QMetaObject::invokeMethod(tabs, "titleAt", Q_RETURN_ARG(QVariant, routeTitle),
                              Q_ARG(QVariant, tabs->property("currentIndex")));
    QCOMPARE(routeTitle.toString(), QStringLiteral("平安"));
}

void TestWebViewsE2E::cleanupTestCase() {
    server_.terminate();
    if (!server_.waitForFinished(10000)) {
        server_.kill();
        server_.waitForFinished();
    }
}

int main(int argc, char* argv[]) {
    return runInTerminalProcess<TestWebViewsE2E>(argc, argv, true);
}

#include "tst_web_views_e2e.moc"
