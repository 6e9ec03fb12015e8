// The home view and the nine-chart view in the terminal, through its own start-up path,
// against a real server process whose demo market is in session: the login phase logs in as
// the demo user, then the main phase shows the home view, which the test reads and drives
// with real mouse and key events. Figures (login to a fully painted home view, the GUI
// thread's load with nine live minute charts) go to the vq.timing log.

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <atomic>
#include <ctime>

#include "app/main_phase.h"
#include "app/qml_phase.h"
#include "app/qroot.h"
#include "app/single_application.h"
#include "bridge/data_folder.h"
#include "in_process_terminal.h"
#include "quote/quote_proxy.h"
#include "terminal_session.h"
#include "tests/support/server_process.h"
#include "tests/support/whole_list.h"

Q_LOGGING_CATEGORY(e2eTiming, "vq.timing")

namespace {

QQuickItem* itemNamed(QObject* root, const QString& name) {
    return qobject_cast<QQuickItem*>(findNamed(root, name));
}

QPoint sceneCentre(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

// Merges `query` into a view's route query, as the tab area does for a route update.
void updateQuery(QObject* view, const QVariantMap& query) {
    QMetaObject::invokeMethod(view, "updateQuery", Q_ARG(QVariant, QVariant(query)));
}

// Bars of a chart's first series.
int pointCount(QObject* chart) {
    int n = 0;
    if (chart)
        QMetaObject::invokeMethod(chart, "getPointCount", Q_RETURN_ARG(int, n), Q_ARG(int, 0));
    return n;
}

QVariant call(QObject* o, const char* method, const QVariant& a = {}, const QVariant& b = {},
              const QVariant& c = {}) {
    QVariant result;
    if (!a.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result));
    else if (!b.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a));
    else if (!c.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a),
                                  Q_ARG(QVariant, b));
    else
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a),
                                  Q_ARG(QVariant, b), Q_ARG(QVariant, c));
    return result;
}

// A list's context as a quote table puts it into the route of a view it opens.
QString encodedContext(const WholeList& list) {
    return QString::fromUtf8(QUrl::toPercentEncoding(list.context(30)));
}

// Share of wall time the GUI thread spends on the processor, from the thread's own clock:
// waits of any kind (the event loop's, the engine handing over a reply) do not count.
class BusyMeter {
public:
    BusyMeter() : cpuStart_(threadCpuNs()) { wall_.start(); }
    double busyShare() const {
        const qint64 wall = wall_.nsecsElapsed();
        return wall > 0 ? double(threadCpuNs() - cpuStart_) / double(wall) : 0.0;
    }
    qint64 elapsedMs() const { return wall_.elapsed(); }

private:
    static qint64 threadCpuNs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    QElapsedTimer wall_;
    qint64 cpuStart_;
};

}  // namespace

class TestHomeViewE2E : public QObject {
    Q_OBJECT
public:
    explicit TestHomeViewE2E(SingleApplication* app) : app_(app) {}

private slots:
    void initTestCase();
    void homeThenNineCharts();

private:
    void publish(const QStringList& args);
    void logIn();
    void drive();
    void checkHome(QQuickWindow* window, QObject* home);
    void checkWatchlist(QQuickWindow* window, QObject* home);
    void checkNews(QQuickWindow* window, QObject* home);
    void checkNineCharts(QQuickWindow* window);
    void measureNineCharts(QObject* view);
    void checkHiddenUnsubscribed(QQuickWindow* window, QObject* view);

    SingleApplication* app_;
    ServerProcess server_{QStringLiteral(VQ_SERVER_PATH), {"--clock", "demo"}};
    QElapsedTimer sinceLogin_;
    bool driven_ = false;
    bool endedByTimeout_ = false;
};

void TestHomeViewE2E::publish(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(VQ_SERVER_PATH), QStringList(args) << "--data" << server_.dataPath());
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 0);
}

void TestHomeViewE2E::initTestCase() {
    QDir().mkpath(QStringLiteral(VQ_SCREENSHOT_DIR));
    publish({"news", "add", "--title", "浦发银行发布季度报告", "--code", "600000", "--market", "1",
             "--source", "本站"});
    publish(
        {"research", "add", "--title", "浦发银行深度研究", "--code", "600000", "--market", "1"});
    QVERIFY2(server_.start(), qPrintable(server_.log()));
    qputenv("VELTOQUORIN_CONTROL_URL", server_.controlUrl());
}

void TestHomeViewE2E::logIn() {
    logInAsDemo();
    sinceLogin_.start();
}

void TestHomeViewE2E::homeThenNineCharts() {
    logIn();
    if (QTest::currentTestFailed())
        return;
    QTimer::singleShot(0, this, [this] {
        drive();
        driven_ = true;
        if (QQuickWindow* window = QRoot::instance()->window())
            window->close();
        QTimer::singleShot(8000, qApp, [this] {
            endedByTimeout_ = true;
            QCoreApplication::exit(0);
        });
    });
    runMainPhase(*app_, bridge::dataFolder());
    QVERIFY(driven_);
    QVERIFY2(!endedByTimeout_, "the main window did not close");
}

void TestHomeViewE2E::drive() {
    QQuickWindow* window = QRoot::instance()->window();
    QVERIFY(window);
    QObject* tabs = findNamed(window->contentItem(), "tabArea");
    QVERIFY(tabs);
    // The first tab is the home view, named 首页, and cannot be closed.
    QTRY_COMPARE(tabs->property("count").toInt(), 1);
    QCOMPARE(call(tabs, "titleAt", 0).toString(), QStringLiteral("首页"));
    auto* home = tabs->property("currentItem").value<QObject*>();
    QVERIFY(home);
    QCOMPARE(home->objectName(), QStringLiteral("homeView"));
    QVERIFY(!call(tabs, "closeTab", 0).toBool());

    // Every block shows its first data; the first frame after that ends the figure.
    QTRY_VERIFY_WITH_TIMEOUT(home->property("painted").toBool(), 20000);
    qint64 paintedMs = -1;
    auto frame = connect(window, &QQuickWindow::frameSwapped, this, [&] {
        if (paintedMs < 0)
            paintedMs = sinceLogin_.elapsed();
    });
    window->update();
    QTRY_VERIFY(paintedMs >= 0);
    disconnect(frame);
    qCInfo(e2eTiming) << "home view: login to every block painted" << paintedMs
                      << "ms (goal 500 ms)";
    QVERIFY(window->grabWindow().save(QStringLiteral(VQ_SCREENSHOT_DIR) + "/home_view.png"));

    checkHome(window, home);
    if (QTest::currentTestFailed())
        return;
    checkWatchlist(window, home);
    if (QTest::currentTestFailed())
        return;
    checkNews(window, home);
    if (QTest::currentTestFailed())
        return;
    checkNineCharts(window);
}

void TestHomeViewE2E::checkHome(QQuickWindow* window, QObject* home) {
    // The five index tiles carry prices and the chart of the first one has its minutes.
    for (int i = 0; i < 5; ++i) {
        QQuickItem* tile = itemNamed(home, QStringLiteral("indexTile_%1").arg(i));
        QVERIFY(tile);
        QVERIFY(findNamed(tile, "indexClose")->property("text").toString() != QLatin1String("--"));
    }
    auto* chart = itemNamed(itemNamed(home, "indexChart"), "panelMainChart");
    QVERIFY(chart);
    QTRY_VERIFY(pointCount(chart) > 0);

    // A click on the second tile charts 深证成指.
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      sceneCentre(itemNamed(home, "indexTile_1")));
    QObject* board = findNamed(home, "indexBoard");
    QVERIFY(board);
    QCOMPARE(board->property("chosen").toInt(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(board->property("chartReady").toBool(), 10000);

    // Twenty concept tiles: names and rates, the strongest ten first.
    for (int i = 0; i < 20; ++i) {
        QObject* tile = findNamed(home, QStringLiteral("conceptTile_%1").arg(i));
        QVERIFY(tile);
        QVERIFY(!findNamed(tile, "conceptName")->property("text").toString().isEmpty());
        QVERIFY(findNamed(tile, "conceptRate")->property("text").toString().endsWith('%'));
    }
    // Four breadth lists, each with its bands.
    for (const char* member : {"HS", "SH", "SZ", "CY"}) {
        QObject* list = findNamed(home, QStringLiteral("breadthList_") + member);
        QVERIFY2(list, member);
        QVERIFY(list->property("source").value<QObject*>()->property("count").toInt() >= 12);
    }
}

void TestHomeViewE2E::checkWatchlist(QQuickWindow* window, QObject* home) {
    // The demo user's first group starts empty: no current security, an empty table.
    auto* table = itemNamed(home, "homeWatchlist");
    QVERIFY(table);
    QCOMPARE(table->property("rowCount").toInt(), 0);
    QVERIFY(home->property("currentSecurity").isNull() ||
            home->property("currentSecurity").toMap().isEmpty());

    // An index and a stock join the group: the stock becomes current, an index row clicked
    // does not take its place.
    QMetaObject::invokeMethod(window, "toggleWatchlist", Q_ARG(QVariant, "1A0001"),
                              Q_ARG(QVariant, 1), Q_ARG(QVariant, true));
    QMetaObject::invokeMethod(window, "toggleWatchlist", Q_ARG(QVariant, "600000"),
                              Q_ARG(QVariant, 1), Q_ARG(QVariant, true));
    QTRY_COMPARE_WITH_TIMEOUT(table->property("rowCount").toInt(), 2, 10000);
    QTRY_COMPARE(home->property("currentSecurity").toMap().value("code").toString(),
                 QStringLiteral("600000"));
    auto* model = table->property("table_model").value<QObject*>();
    int indexRow = -1;
    for (int r = 0; r < 2; ++r) {
        QJsonObject info;
        QMetaObject::invokeMethod(model, "getCodeInfo", Q_RETURN_ARG(QJsonObject, info),
                                  Q_ARG(int, r));
        if (info.value("code").toString() == QLatin1String("1A0001"))
            indexRow = r;
    }
    QVERIFY(indexRow >= 0);
    const int pitch = 27, header = 25;  // row height and header of the quote tables
    const QPoint rowPoint =
        table->mapToScene(QPointF(120, header + pitch * indexRow + pitch / 2)).toPoint();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, rowPoint);
    QTRY_COMPARE(table->property("selectIndex").toInt(), indexRow);
    QCOMPARE(home->property("currentSecurity").toMap().value("code").toString(),
             QStringLiteral("600000"));
}

void TestHomeViewE2E::checkNews(QQuickWindow* window, QObject* home) {
    // The news of the current security; a double click opens the item in a browser window.
    QObject* news = findNamed(home, "newsBlock");
    QVERIFY(news);
    QTRY_COMPARE_WITH_TIMEOUT(news->property("rows").toList().size(), 1, 10000);
    QTRY_VERIFY(itemNamed(news, "newsRow_0"));
    const int windowsBefore = QGuiApplication::topLevelWindows().size();
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       sceneCentre(itemNamed(news, "newsRow_0")));
    QTRY_COMPARE(QGuiApplication::topLevelWindows().size(), windowsBefore + 1);
    QWindow* browser = QGuiApplication::topLevelWindows().last();
    QVERIFY2(browser->property("url").toUrl().toString().contains("/news/view?id="),
             qPrintable(browser->property("url").toUrl().toString()));
    QMetaObject::invokeMethod(browser, "destroy");

    // The research tab lists the reports.
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      sceneCentre(itemNamed(news, "newsTab_1")));
    QTRY_COMPARE(news->property("kind").toInt(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(news->property("rows").toList().size(), 1, 10000);
    QCOMPARE(news->property("rows").toList().at(0).toMap().value("title").toString(),
             QStringLiteral("浦发银行深度研究"));
}

void TestHomeViewE2E::checkNineCharts(QQuickWindow* window) {
    QObject* tabs = findNamed(window->contentItem(), "tabArea");
    WholeList list(1110);
    QTRY_VERIFY_WITH_TIMEOUT(list.answered, 10000);
    QVERIFY(list.titles.size() > 40);

    // Opened from the fifth row of the list's first page.
    const QString route =
        QStringLiteral("app://qml/qml/QMultiStockView.qml?json=%1&row=4").arg(encodedContext(list));
    QMetaObject::invokeMethod(window, "onChangedTabView", Q_ARG(QVariant, "多股同列"),
                              Q_ARG(QVariant, route), Q_ARG(QVariant, false));
    QTRY_COMPARE(tabs->property("count").toInt(), 2);
    auto* view = tabs->property("currentItem").value<QObject*>();
    QVERIFY(view);
    QCOMPARE(view->objectName(), QStringLiteral("multiStockView"));
    auto title = [&](int cell) {
        return findNamed(findNamed(view, QStringLiteral("multiCell_%1").arg(cell)), "cellTitle")
            ->property("text")
            .toString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(title(0), list.titles.at(4), 10000);
    QCOMPARE(title(8), list.titles.at(12));
    // Every cell charts its security's minutes.
    for (int cell = 0; cell < 9; ++cell) {
        QObject* chart =
            findNamed(findNamed(view, QStringLiteral("multiCell_%1").arg(cell)), "panelMainChart");
        QTRY_VERIFY_WITH_TIMEOUT(pointCount(chart) > 0, 10000);
    }
    QVERIFY(window->grabWindow().save(QStringLiteral(VQ_SCREENSHOT_DIR) + "/multi_stock.png"));

    measureNineCharts(view);

    // PageDown shows the next nine; Right past the last cell pages on as well.
    window->requestActivate();
    QTRY_VERIFY_WITH_TIMEOUT(window->isActive(), 5000);
    int pages = view->property("pageCount").toInt();
    QTest::keyClick(window, Qt::Key_PageDown);
    QTRY_COMPARE_WITH_TIMEOUT(view->property("pageCount").toInt(), pages + 1, 10000);
    QCOMPARE(title(0), list.titles.at(13));
    QTest::keyClick(window, Qt::Key_Right);  // no selection yet: the first cell
    QCOMPARE(view->property("selectIndex").toInt(), 0);
    QTest::keyClick(window, Qt::Key_Up);  // above the top row: the page before
    QTRY_COMPARE_WITH_TIMEOUT(view->property("pageCount").toInt(), pages + 2, 10000);
    QCOMPARE(title(0), list.titles.at(4));
    QCOMPARE(view->property("selectIndex").toInt(), 6);

    // The list's last page holds five: four cells stay empty, their charts hidden.
    const int last = list.titles.size() - 5;
    pages = view->property("pageCount").toInt();
    updateQuery(view, {{"json", encodedContext(list)}, {"row", last}});
    QTRY_COMPARE_WITH_TIMEOUT(view->property("pageCount").toInt(), pages + 1, 10000);
    QCOMPARE(title(0), list.titles.at(last));
    QCOMPARE(title(4), list.titles.at(last + 4));
    for (int cell = 5; cell < 9; ++cell) {
        QCOMPARE(title(cell), QString());
        QVERIFY(!findNamed(findNamed(view, QStringLiteral("multiCell_%1").arg(cell)), "cellChart")
                     ->property("visible")
                     .toBool());
    }
    QTest::keyClick(window, Qt::Key_PageDown);  // nothing after the last page
    QCOMPARE(title(0), list.titles.at(last));
    QVERIFY(window->grabWindow().save(QStringLiteral(VQ_SCREENSHOT_DIR) +
                                      "/multi_stock_last_page.png"));

    checkHiddenUnsubscribed(window, view);
    if (QTest::currentTestFailed())
        return;

    // A list without members (a block nobody belongs to) leaves all nine cells empty.
    QJsonObject empty{{"type_", 0},
                      {"peroid_", 30},
                      {"block_", 987654},
                      {"option_", 4},
                      {"sort_", QJsonObject{{"field", 34}, {"mode", 0}}}};
    pages = view->property("pageCount").toInt();
    const QString encoded =
        QString::fromUtf8(QUrl::toPercentEncoding(QJsonDocument(empty).toJson()));
    updateQuery(view, {{"json", encoded}, {"row", 0}});
    QTRY_COMPARE_WITH_TIMEOUT(view->property("pageCount").toInt(), pages + 1, 10000);
    for (int cell = 0; cell < 9; ++cell)
        QCOMPARE(title(cell), QString());
    QTest::keyClick(window, Qt::Key_Right);
    QTest::keyClick(window, Qt::Key_PageUp);
    QCOMPARE(view->property("selectIndex").toInt(), -1);
}

void TestHomeViewE2E::measureNineCharts(QObject* view) {
    // Replies that reach the cells' minute charts while the meter runs.
    std::atomic<int> pushes{0};
    auto counter = connect(
        QuoteProxy::instance(), &QuoteProxy::quoteReplayTypeMinute, this,
        [&pushes](QuoteReply*) { ++pushes; }, Qt::DirectConnection);
    BusyMeter meter;
    QEventLoop loop;
    QTimer::singleShot(6000, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(counter);
    qCInfo(e2eTiming).noquote()
        << QStringLiteral(
               "nine-chart view: GUI thread busy %1 % over %2 ms with nine live "
               "minute charts, %3 minute replies (goal 15 %)")
               .arg(meter.busyShare() * 100, 0, 'f', 1)
               .arg(meter.elapsedMs())
               .arg(pushes.load());
    Q_UNUSED(view);
}

void TestHomeViewE2E::checkHiddenUnsubscribed(QQuickWindow* window, QObject* view) {
    // Back on the home tab the nine-chart view drops its minute subscriptions: once the
    // replies under way are in, its charts hear nothing more.
    QObject* tabs = findNamed(window->contentItem(), "tabArea");
    QObject* chart = findNamed(findNamed(view, "multiCell_0"), "panelMainChart");
    QMetaObject::invokeMethod(tabs, "setCurrent", Q_ARG(QVariant, 0));
    QVERIFY(!view->property("visible").toBool());
    QTest::qWait(1500);
    QSignalSpy updates(chart, SIGNAL(dataUpdate()));
    QTest::qWait(4000);
    QCOMPARE(updates.count(), 0);
    // Shown again, the charts follow the market once more.
    QMetaObject::invokeMethod(tabs, "setCurrent", Q_ARG(QVariant, 1));
    QVERIFY(updates.wait(10000));
}

int main(int argc, char* argv[]) {
    qputenv("TZ", "Asia/Shanghai");
    QLoggingCategory::setFilterRules(QStringLiteral("vq.timing.info=true"));
    return runInTerminalProcess<TestHomeViewE2E>(argc, argv, false);
}

#include "tst_home_view_e2e.moc"
