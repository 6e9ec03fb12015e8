// From login to the main window, through the terminal's own start-up path, against a real
// server process on loopback ports with a fresh data folder: the login phase's window logs in
// as the demo user, then the main phase runs the main window, which the test drives with real
// key events and reads through its object tree.

#include <QDate>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <QtWebEngine>
#include <functional>

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

// Types `text` key by key into the window (Latin-1 characters only).
void typeText(QWindow* window, const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(window, c.toLatin1());
    }
}

// The body of a GET, waiting for it in the event loop (empty on failure).
QByteArray httpGet(const QString& url) {
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(url)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(5000);
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

QPoint centreOf(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

}  // namespace

class TestMainWindowE2E : public QObject {
    Q_OBJECT
public:
    explicit TestMainWindowE2E(SingleApplication* app) : app_(app) {}

private slots:
    void initTestCase();
    void loginThenMainWindow();
    void cleanupTestCase();

private:
    void startServer();
    void stopServer();
    bool serverAnswers() const;
    void driveMainWindow();
    void publish(const QStringList& args, const QByteArray& input);
    void checkNotices(QQuickWindow* window);
    void checkMenus(QQuickWindow* window);
    void checkSearch(QQuickWindow* window);
    void checkWatchlist(QQuickWindow* window);
    void checkWatchlistFromServer(QQuickWindow* window);
    void checkSubWindow(QQuickWindow* window);
    void quitThroughConfirmation(QQuickWindow* window);
    void checkTabKeys(QQuickWindow* window);
    void checkServerRestart(QQuickWindow* window);
    void screenshot(QQuickWindow* window, const QString& name);

    SingleApplication* app_;
    QTemporaryDir serverData_;
    QProcess server_;
    QByteArray serverLog_;
    quint16 httpPort_ = 0;
    quint16 quotePort_ = 0;
    bool mainWindowDriven_ = false;
    bool endedByTimeout_ = false;
    bool expectWatchlistEmpty_ = false;
};

void TestMainWindowE2E::initTestCase() {
    QVERIFY(serverData_.isValid());
    httpPort_ = freePort();
    quotePort_ = freePort();
    // A login notice without a page, a pop-up notice and a headline for the status bar.
    publish({"notice", "add", "--type", "2", "--title", "系统维护通知", "--author", "运维部"},
            "本周六凌晨系统维护，届时暂停服务。");
    publish({"notice", "add", "--type", "3", "--title", "新股申购提示"}, "今日有两只新股申购。");
    publish({"news", "add", "--title", "两市成交额回升", "--source", "本站"}, "");
    startServer();
    QVERIFY2(serverAnswers(), serverLog_.constData());
    qputenv("VELTOQUORIN_CONTROL_URL", "http://127.0.0.1:" + QByteArray::number(httpPort_));
}

void TestMainWindowE2E::publish(const QStringList& args, const QByteArray& input) {
    QProcess cli;
    cli.start(QStringLiteral(VQ_SERVER_PATH), QStringList(args) << "--data" << serverData_.path());
    cli.write(input);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 0);
}

void TestMainWindowE2E::startServer() {
    server_.setProcessChannelMode(QProcess::MergedChannels);
    disconnect(&server_, &QProcess::readyRead, this, nullptr);
    connect(&server_, &QProcess::readyRead, this, [this] { serverLog_ += server_.readAll(); });
    server_.start(QStringLiteral(VQ_SERVER_PATH),
                  {"serve", "--data", serverData_.path(), "--http",
                   QStringLiteral("127.0.0.1:%1").arg(httpPort_), "--quote",
                   QStringLiteral("127.0.0.1:%1").arg(quotePort_), "--demo", "--clock", "demo"});
    server_.waitForStarted(10000);
    for (int i = 0; i < 200 && !serverAnswers(); ++i) {
        QTest::qWait(50);
    }
}

void TestMainWindowE2E::stopServer() {
    server_.terminate();
    if (!server_.waitForFinished(10000)) {
        server_.kill();
        server_.waitForFinished();
    }
}

bool TestMainWindowE2E::serverAnswers() const {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, httpPort_);
    return probe.waitForConnected(100);
}

void TestMainWindowE2E::screenshot(QQuickWindow* window, const QString& name) {
    const QString dir = QStringLiteral(VQ_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    window->grabWindow().save(dir + "/" + name + ".png");
}

void TestMainWindowE2E::loginThenMainWindow() {
    logInAsDemo();
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString sessionId = bridge::variantText(
        bridge::lookupPath(bridge::loginDocument(), QStringLiteral("user.sessionId")));
    QVERIFY(!sessionId.isEmpty());

    // The main phase runs its own event loop; the checks run inside it and quit it at the end
    // (also when a check fails).
    QTimer::singleShot(0, this, [this] {
        driveMainWindow();
        mainWindowDriven_ = true;
        if (QQuickWindow* window = QRoot::instance()->window()) {
            if (QTest::currentTestFailed()) {
                window->close();
            } else {
                quitThroughConfirmation(window);
            }
        }
        // Should the window not go, end the phase anyway (and say so below).
        QTimer::singleShot(8000, qApp, [this] {
            endedByTimeout_ = true;
            QCoreApplication::exit(0);
        });
    });
    runMainPhase(*app_, bridge::dataFolder());
    QVERIFY(mainWindowDriven_);
    QVERIFY2(!endedByTimeout_, "the main window did not close");
    if (expectWatchlistEmpty_) {
        const QString userId = bridge::variantText(
            bridge::lookupPath(bridge::loginDocument(), QStringLiteral("user.id")));
        const QByteArray watchlist =
            httpGet(QStringLiteral("http://127.0.0.1:%1/mystock?user_id=%2&cmd=get")
                        .arg(httpPort_)
                        .arg(userId));
        QVERIFY2(watchlist.contains("\"0000\"") && !watchlist.contains("\"600000\""),
                 watchlist.constData());
    }
}

void TestMainWindowE2E::driveMainWindow() {
    QQuickWindow* window = QRoot::instance()->window();
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(window->isExposed(), 10000);
    QCOMPARE(window->objectName(), QStringLiteral("mainWindow"));

    // The quote server is reached, and the index bar fills from its snapshots.
    QObject* state = findInWindow(window, "serverState");
    QVERIFY(state);
    QTRY_COMPARE_WITH_TIMEOUT(state->property("text").toString(), QStringLiteral("已连接"), 15000);
    QObject* firstIndex = findInWindow(window, "indexPrice_0");
    QVERIFY(firstIndex);
    QTRY_VERIFY_WITH_TIMEOUT(firstIndex->property("text").toString() != QLatin1String("--"), 15000);

    // The menus of the login answer and the quick bar of the server.
    QVERIFY(findInWindow(window, "menu_0"));
    QTRY_VERIFY_WITH_TIMEOUT(findInWindow(window, "quickItem_0"), 10000);

    checkNotices(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkMenus(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkSearch(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkWatchlist(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkWatchlistFromServer(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkSubWindow(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkTabKeys(window);
    if (QTest::currentTestFailed()) {
        return;
    }
    checkServerRestart(window);
}

void TestMainWindowE2E::checkNotices(QQuickWindow* window) {
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    auto record = [](int type) {
        QFile file(bridge::dataFolder() + QStringLiteral("/notice_%1.json").arg(type));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    };
    // The pop-up notices open their list, the login notice (no page) its message box.
    QObject* list = findInWindow(window, "noticeList");
    QObject* message = findInWindow(window, "noticeMessage");
    QVERIFY(list && message);
    QTRY_VERIFY_WITH_TIMEOUT(list->property("opened").toBool(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(message->property("opened").toBool(), 10000);
    QCOMPARE(message->property("notice").toMap().value("title").toString(),
             QStringLiteral("系统维护通知"));
    QCOMPARE(record(2).value("title").toString(), QStringLiteral("系统维护通知"));
    QCOMPARE(record(2).value("pop").toString(), QString());
    QObject* headline = findInWindow(window, "headlineText");
    QVERIFY(headline);
    QTRY_VERIFY(headline->property("text").toString().contains(QStringLiteral("两市成交额回升")));
    screenshot(window, "notices");

    // Dismissed notices are not shown again today.
    QMetaObject::invokeMethod(findInWindow(window, "noticeOk"), "clicked");
    QTRY_VERIFY(!message->property("opened").toBool());
    QCOMPARE(record(2).value("pop").toString(), today);
    QMetaObject::invokeMethod(list, "close");
    QTRY_VERIFY(!list->property("opened").toBool());
    QCOMPARE(record(3).value("pop").toString(), today);
    QCOMPARE(record(3).value("title").toString(), QStringLiteral("新股申购提示"));
    screenshot(window, "main_window");
}

void TestMainWindowE2E::checkMenus(QQuickWindow* window) {
    // The third first-level menu of the login answer drops down with its second level.
    auto* entry = qobject_cast<QQuickItem*>(findInWindow(window, "menu_2"));
    QVERIFY(entry);
    const QPointF centre = entry->mapToScene(QPointF(entry->width() / 2, entry->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QObject* menu = findInWindow(window, "menuPopup_2");
    QVERIFY(menu);
    QTRY_VERIFY(menu->property("opened").toBool());
    QVERIFY(menu->property("count").toInt() > 3);
    screenshot(window, "menu");
    QMetaObject::invokeMethod(menu, "close");
    QTRY_VERIFY(!menu->property("opened").toBool());
    QObject* tabArea = findInWindow(window, "tabArea");
    QMetaObject::invokeMethod(tabArea, "focusCurrent");

    // A quick-bar item opens its route under its name (a tab when its view is in the build).
    auto* quick = qobject_cast<QQuickItem*>(findInWindow(window, "quickItem_1"));
    QVERIFY(quick);
    const int before = tabArea->property("count").toInt();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(quick));
    if (QFile::exists(QStringLiteral(":/qml/QRankingView.qml"))) {
        QTRY_COMPARE(tabArea->property("count").toInt(), before + 1);
        QVariant title;
        QMetaObject::invokeMethod(tabArea, "titleAt", Q_RETURN_ARG(QVariant, title),
                                  Q_ARG(QVariant, before));
        QCOMPARE(title.toString(), QStringLiteral("沪深A股"));
        screenshot(window, "quick_bar_ranking");
        QMetaObject::invokeMethod(tabArea, "closeTab", Q_ARG(QVariant, before));
        QCOMPARE(tabArea->property("count").toInt(), before);
    }
}

void TestMainWindowE2E::checkSearch(QQuickWindow* window) {
    QObject* popup = findInWindow(window, "searchPopup");
    QVERIFY(popup);
    QObject* tabArea = findInWindow(window, "tabArea");
    QVERIFY(tabArea);
    // The dictionary is written when the engine has sent the code list; wait for it.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QVariant rows;
            QMetaObject::invokeMethod(window, "dictionaryRows", Q_RETURN_ARG(QVariant, rows));
            return rows.toInt() > 1000;
        }(),
        20000);

    QTest::keyClick(window, Qt::Key_6);
    QTRY_VERIFY(popup->property("opened").toBool());
    QCOMPARE(popup->property("text").toString(), QStringLiteral("6"));
    typeText(window, QStringLiteral("00000"));
    QCOMPARE(popup->property("text").toString(), QStringLiteral("600000"));
    auto* rows = popup->property("rows").value<QObject*>();
    QVERIFY(rows);
    QVERIFY(rows->property("count").toInt() >= 1);
    // The Shanghai stock 600000 is among the rows, shown as a stock with its name.
    QVariantMap found;
    for (int i = 0; i < rows->property("count").toInt(); ++i) {
        QVariant row;
        QMetaObject::invokeMethod(popup, "rowAt", Q_RETURN_ARG(QVariant, row), Q_ARG(QVariant, i));
        const QVariantMap map = row.toMap();
        QVERIFY(map.value("code").toString().contains(QStringLiteral("600000")) ||
                map.value("pinyin").toString().contains(QStringLiteral("600000")));
        if (map.value("code").toString() == QLatin1String("600000") && map.value("market") == 1) {
            found = map;
        }
    }
    QCOMPARE(found.value("typeName").toString(), QStringLiteral("股票"));
    QVERIFY(!found.value("name").toString().isEmpty());
    screenshot(window, "search_popup");

    // Down moves to the next row; Enter opens the chosen row's route under its name (a tab
    // when the quote view is part of this build).
    QVariant second;
    QMetaObject::invokeMethod(popup, "rowAt", Q_RETURN_ARG(QVariant, second), Q_ARG(QVariant, 1));
    const int tabsBefore = tabArea->property("count").toInt();
    QTest::keyClick(window, Qt::Key_Down);
    QCOMPARE(popup->property("currentIndex").toInt(), second.toMap().isEmpty() ? 0 : 1);
    const QString chosen = second.toMap().isEmpty() ? found.value("name").toString()
                                                    : second.toMap().value("name").toString();
    QTest::keyClick(window, Qt::Key_Return);
    QTRY_VERIFY(!popup->property("opened").toBool());
    if (QFile::exists(QStringLiteral(":/qml/MQView.qml"))) {
        QCOMPARE(tabArea->property("count").toInt(), tabsBefore + 1);
        QVariant title;
        QMetaObject::invokeMethod(tabArea, "titleAt", Q_RETURN_ARG(QVariant, title),
                                  Q_ARG(QVariant, tabsBefore));
        QCOMPARE(title.toString(), chosen);
    } else {
        QCOMPARE(tabArea->property("count").toInt(), tabsBefore);
    }

    // Quotes and percent signs are searched for, not run; Escape closes the pop-up.
    QTest::keyClick(window, Qt::Key_6);
    QTRY_VERIFY(popup->property("opened").toBool());
    typeText(window, QStringLiteral("'%\""));
    QCOMPARE(rows->property("count").toInt(), 0);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!popup->property("opened").toBool());
}

void TestMainWindowE2E::checkWatchlist(QQuickWindow* window) {
    QObject* popup = findInWindow(window, "searchPopup");
    QTest::keyClick(window, Qt::Key_6);
    QTRY_VERIFY(popup->property("opened").toBool());
    typeText(window, QStringLiteral("00000"));
    QVariant row;
    QMetaObject::invokeMethod(popup, "rowAt", Q_RETURN_ARG(QVariant, row), Q_ARG(QVariant, 0));
    QCOMPARE(row.toMap().value("code").toString(), QStringLiteral("600000"));
    QVERIFY(!row.toMap().value("inWatchlist").toBool());

    // The row's button adds the stock to the first group; the synchroniser sends the queued
    // command on its next tick, and the server's watchlist holds the stock.
    auto* button = qobject_cast<QQuickItem*>(findInWindow(window, "watchButton_0"));
    QVERIFY(button);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(button));
    QMetaObject::invokeMethod(popup, "rowAt", Q_RETURN_ARG(QVariant, row), Q_ARG(QVariant, 0));
    QVERIFY(row.toMap().value("inWatchlist").toBool());
    const QString userId =
        bridge::variantText(bridge::lookupPath(bridge::loginDocument(), QStringLiteral("user.id")));
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/mystock?user_id=%2&cmd=get").arg(httpPort_).arg(userId);
    QTRY_VERIFY_WITH_TIMEOUT(httpGet(url).contains("\"600000\""), 12000);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!popup->property("opened").toBool());
}

// The watchlist view (F6) shows the first group; a security another terminal of the same
// user adds on the server shows up in it after a round of the synchroniser.
void TestMainWindowE2E::checkWatchlistFromServer(QQuickWindow* window) {
    if (!QFile::exists(QStringLiteral(":/qml/MyStockView.qml"))) {
        return;
    }
    QObject* tabArea = findInWindow(window, "tabArea");
    const int tabs = tabArea->property("count").toInt();
    QTest::keyClick(window, Qt::Key_F6);
    QTRY_COMPARE(tabArea->property("count").toInt(), tabs + 1);
    QObject* table = findInWindow(window, "myStockTable");
    QVERIFY(table);
    auto listed = [table] {
        QStringList codes;
        auto* model = table->property("table_model").value<QObject*>();
        const int rows = table->property("rowCount").toInt();
        for (int r = 0; r < rows; ++r) {
            QJsonObject info;
            QMetaObject::invokeMethod(model, "getCodeInfo", Q_RETURN_ARG(QJsonObject, info),
                                      Q_ARG(int, r));
            codes << info.value("code").toString();
        }
        return codes;
    };
    QTRY_VERIFY_WITH_TIMEOUT(listed().contains(QStringLiteral("600000")), 15000);

    const QString userId =
        bridge::variantText(bridge::lookupPath(bridge::loginDocument(), QStringLiteral("user.id")));
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/mystock?user_id=%2&cmd=update")
                                     .arg(httpPort_)
                                     .arg(userId)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = network.post(
        request,
        QByteArray(R"([{"cmd":"ADD","group_id":"1","code":{"code":"600001","market_id":"1"}}])"));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QVERIFY2(reply->readAll().contains("0000"), "the server refused the edit");
    reply->deleteLater();

    // A quicker synchroniser for the test; it is put back below.
    auto* timer = window->property("syncTimer").value<QObject*>();
    timer->setProperty("interval", 1000);
    QTRY_VERIFY_WITH_TIMEOUT(listed().contains(QStringLiteral("600001")), 15000);
    QCOMPARE(listed().first(), QStringLiteral("600001"));
    timer->setProperty("interval", 5000);
    screenshot(window, "watchlist_from_server");
    QMetaObject::invokeMethod(tabArea, "closeTab",
                              Q_ARG(QVariant, tabArea->property("currentIndex")));
    QTRY_COMPARE(tabArea->property("count").toInt(), tabs);
}

void TestMainWindowE2E::checkSubWindow(QQuickWindow* window) {
    QVariant made;
    QMetaObject::invokeMethod(
        window, "createSubWindow", Q_RETURN_ARG(QVariant, made), Q_ARG(QVariant, "深证成指"),
        Q_ARG(QVariant, "app://qml/qml/MQView.qml?code=399001&market=2#name=深证成指"));
    auto* sub = qobject_cast<QQuickWindow*>(made.value<QObject*>());
    QVERIFY(sub);
    QCOMPARE(sub->size(), QSize(1000, 650));
    QTRY_VERIFY(sub->isVisible());
    QObject* tabs = findInWindow(sub, "subTabArea");
    QVERIFY(tabs);
    QCOMPARE(tabs->property("count").toInt(),
             QFile::exists(QStringLiteral(":/qml/MQView.qml")) ? 1 : 0);
    sub->close();
    sub->deleteLater();
    window->requestActivate();
    QMetaObject::invokeMethod(findInWindow(window, "tabArea"), "focusCurrent");
}

// The close button asks first; "退出" then closes the window, which sends what is queued.
void TestMainWindowE2E::quitThroughConfirmation(QQuickWindow* window) {
    // A watchlist command queued after the last tick goes out as the window closes.
    auto* timer = window->property("syncTimer").value<QObject*>();
    QVERIFY(timer);
    QMetaObject::invokeMethod(timer, "stop");
    QMetaObject::invokeMethod(window, "toggleWatchlist", Q_ARG(QVariant, "600000"),
                              Q_ARG(QVariant, 1), Q_ARG(QVariant, false));
    expectWatchlistEmpty_ = true;

    auto* close = qobject_cast<QQuickItem*>(findInWindow(window, "closeButton"));
    QVERIFY(close);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(close));
    QQuickWindow* confirm = nullptr;
    QTRY_VERIFY([&] {
        for (QWindow* w : QGuiApplication::topLevelWindows()) {
            if (w->title() == QStringLiteral("退出确认") && w->isVisible()) {
                confirm = qobject_cast<QQuickWindow*>(w);
            }
        }
        return confirm != nullptr;
    }());
    // Grabbing a window the display has not shown yet reads a scene graph still being set up.
    QTRY_VERIFY(confirm->isExposed());
    screenshot(confirm, "quit_confirm");
    QVERIFY(window->isVisible());
    QObject* quit = findInWindow(confirm, "quitButton");
    QVERIFY(quit);
    QMetaObject::invokeMethod(quit, "clicked");
}

void TestMainWindowE2E::checkTabKeys(QQuickWindow* window) {
    QObject* tabArea = findInWindow(window, "tabArea");
    auto count = [tabArea] { return tabArea->property("count").toInt(); };
    auto current = [tabArea] { return tabArea->property("currentIndex").toInt(); };
    auto open = [window](const QString& title, const QString& url) {
        QMetaObject::invokeMethod(window, "onChangedTabView", Q_ARG(QVariant, title),
                                  Q_ARG(QVariant, url), Q_ARG(QVariant, false));
    };
    // F4 opens the Shenzhen component index, F3 the Shanghai composite, F6 the watchlist view
    // (a tab once that view is part of the build).
    int before = count();
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(count(), before + 1);
    QVariant title;
    QMetaObject::invokeMethod(tabArea, "titleAt", Q_RETURN_ARG(QVariant, title),
                              Q_ARG(QVariant, current()));
    QCOMPARE(title.toString(), QStringLiteral("深证成指"));
    QTest::keyClick(window, Qt::Key_F3);
    QMetaObject::invokeMethod(tabArea, "titleAt", Q_RETURN_ARG(QVariant, title),
                              Q_ARG(QVariant, current()));
    // The home tab shows it while there is no home view of its own.
    QVERIFY2(current() == 0 || title.toString() == QStringLiteral("上证指数"),
             qPrintable(title.toString()));
    before = count();
    QTest::keyClick(window, Qt::Key_F6);
    QCOMPARE(count(), before + (QFile::exists(QStringLiteral(":/qml/MyStockView.qml")) ? 1 : 0));

    const int home = count();
    // A route to a document that does not exist opens nothing.
    open(QStringLiteral("无此页"), QStringLiteral("app://qml/qml/NoSuchView.qml"));
    QCOMPARE(count(), home);

    // Three web pages of the server in tabs of their own; the same page again switches back.
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(httpPort_);
    open(QStringLiteral("快捷栏"), base + "/fast_menu");
    open(QStringLiteral("滚动新闻"), base + "/marque");
    open(QStringLiteral("股票池"), base + "/stock_pool");
    QCOMPARE(count(), home + 3);
    QCOMPARE(current(), home + 2);
    open(QStringLiteral("快捷栏"), base + "/fast_menu");
    QCOMPARE(count(), home + 3);
    QCOMPARE(current(), home);
    screenshot(window, "main_window_tabs");

    // Tab and Ctrl+Tab go forward, Ctrl+Shift+Tab back, wrapping at both ends.
    const int n = count();
    int expected = current();
    QTest::keyClick(window, Qt::Key_Tab);
    expected = (expected + 1) % n;
    QCOMPARE(current(), expected);
    QTest::keyClick(window, Qt::Key_Tab, Qt::ControlModifier);
    expected = (expected + 1) % n;
    QCOMPARE(current(), expected);
    QTest::keyClick(window, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    expected = (expected + n - 1) % n;
    QCOMPARE(current(), expected);
    for (int i = 0; i < n && current() != 0; ++i) {
        QTest::keyClick(window, Qt::Key_Tab);
    }
    QCOMPARE(current(), 0);
    QTest::keyClick(window, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(current(), n - 1);

    // Esc and Ctrl+W close the current tab, never the first one.
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(count(), n - 1);
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(count(), n - 2);
    while (current() != 0) {
        QTest::keyClick(window, Qt::Key_Tab);
    }
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(count(), n - 2);
    QVERIFY(count() >= 1);
}

void TestMainWindowE2E::checkServerRestart(QQuickWindow* window) {
    QObject* state = findInWindow(window, "serverState");
    stopServer();
    QTRY_COMPARE_WITH_TIMEOUT(state->property("text").toString(), QStringLiteral("断开"), 15000);
    QCOMPARE(state->property("color").value<QColor>(), QColor("#EB2832"));
    startServer();
    QVERIFY2(serverAnswers(), serverLog_.constData());
    QTRY_COMPARE_WITH_TIMEOUT(state->property("text").toString(), QStringLiteral("已连接"), 30000);
    QCOMPARE(state->property("color").value<QColor>(), QColor("#5AC478"));
}

void TestMainWindowE2E::cleanupTestCase() {
    stopServer();
}

int main(int argc, char* argv[]) {
    return runInTerminalProcess<TestMainWindowE2E>(argc, argv, false);
}

#include "tst_main_window_e2e.moc"
