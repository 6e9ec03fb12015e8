#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/crash_report_sender.h"
#include "app/crash_reporter.h"
#include "app/qroot.h"
#include "app/single_application.h"
#include "app/startup_arguments.h"
#include "tests/support/local_http_server.h"

class TestAppShell : public QObject {
    Q_OBJECT

private slots:
    void setRectThresholds_data();
    void setRectThresholds();
    void setWindowRejectsNonWindows();
    void screenRightBottom();
    void argumentsEndWithWebSwitches();
    void secondStartHandsOver();
    void restartBecomesFirstInstance();
    void crashWritesReport_data();
    void crashWritesReport();
    void reportsSentAndRemoved_data();
    void reportsSentAndRemoved();
};

void TestAppShell::setRectThresholds_data() {
    QTest::addColumn<QRectF>("asked");
    QTest::addColumn<QRect>("expected");  // null: the window keeps its geometry
    QTest::newRow("600x480 is never set") << QRectF(0, 0, 600, 480) << QRect();
    QTest::newRow("601 wide applies") << QRectF(0, 0, 601, 480) << QRect(0, 0, 601, 480);
    QTest::newRow("481 high applies") << QRectF(10, 20, 600, 481) << QRect(10, 20, 600, 481);
    QTest::newRow("just above 600 applies, truncated")
        << QRectF(3.9, 4.2, 600.5, 300.7) << QRect(3, 4, 600, 300);
    QTest::newRow("small both ways") << QRectF(5, 5, 300, 200) << QRect();
}

void TestAppShell::setRectThresholds() {
    QFETCH(QRectF, asked);
    QFETCH(QRect, expected);
    QQuickWindow window;
    window.setGeometry(100, 100, 800, 600);
    QRoot::instance()->setWindow(&window);
    QRoot::instance()->setRect(float(asked.x()), float(asked.y()), float(asked.width()),
                               float(asked.height()));
    QCOMPARE(window.geometry(), expected.isNull() ? QRect(100, 100, 800, 600) : expected);
    QRoot::instance()->setWindow(nullptr);
}

void TestAppShell::setWindowRejectsNonWindows() {
    QObject notAWindow;
    QRoot::instance()->setWindow(&notAWindow);
    QVERIFY(QRoot::instance()->window() == nullptr);
    QRoot::instance()->setRect(0, 0, 1000, 800);  // no window: nothing happens, no crash
}

void TestAppShell::screenRightBottom() {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint p = QRoot::instance()->getScreenRightBottom(300, 200);
    QCOMPARE(p, QPoint(area.right() + 1 - 300, area.bottom() + 1 - 200));
}

void TestAppShell::argumentsEndWithWebSwitches() {
    char prog[] = "veltoquorin";
    char extra[] = "--flag";
    char* argv[] = {prog, extra, nullptr};
    StartupArguments args(2, argv);
    QCOMPARE(args.count(), 5);
    QCOMPARE(QByteArray(args.values()[1]), QByteArray("--flag"));
    QCOMPARE(QByteArray(args.values()[2]),
             QByteArray("--ppapi-flash-path=./pepflashplayer32_33_0_0_401.dll"));
    QCOMPARE(QByteArray(args.values()[3]), QByteArray("--ppapi-flash-version=33.0.0.401"));
    QCOMPARE(QByteArray(args.values()[4]), QByteArray("--disable-web-security"));
    QVERIFY(args.values()[5] == nullptr);
}

void TestAppShell::secondStartHandsOver() {
    const QString probe = QCoreApplication::applicationDirPath() + "/single_instance_probe";
    QProcess first;
    QByteArray firstOutput;
    connect(&first, &QProcess::readyReadStandardOutput,
            [&] { firstOutput += first.readAllStandardOutput(); });
    first.start(probe, QStringList());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(firstOutput.contains("ready") || first.state() != QProcess::Running,
                             10000);
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    second.start(probe, {"hello"});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().contains("running"));

    QTRY_COMPARE_WITH_TIMEOUT(first.state(), QProcess::NotRunning, 10000);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY2(firstOutput.contains("activated stays-on-top=no visible=yes"),
             firstOutput.constData());

    // With the first instance gone, a new start is the first instance again.
    QProcess third;
    QByteArray thirdOutput;
    connect(&third, &QProcess::readyReadStandardOutput,
            [&] { thirdOutput += third.readAllStandardOutput(); });
    third.start(probe, QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(thirdOutput.contains("ready"), 10000);
    third.kill();
    third.waitForFinished();
}

void TestAppShell::restartBecomesFirstInstance() {
    QTemporaryDir dir;
    const QString log = dir.filePath("probe.log");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PROBE_LOG", log);
    env.insert("PROBE_RESTART", dir.filePath("restarted"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QCoreApplication::applicationDirPath() + "/single_instance_probe", QStringList());
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);
    // The restarted process (detached, same environment) must find the name free.
    auto lines = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n')
                                              : QList<QByteArray>();
    };
    QTRY_COMPARE_WITH_TIMEOUT(lines().size(), 2, 10000);
    QVERIFY(lines().at(0).startsWith("first "));
    QVERIFY2(lines().at(1).startsWith("first "), lines().at(1).constData());
    QVERIFY(lines().at(0) != lines().at(1));
}

void TestAppShell::crashWritesReport_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("signalLine");
    QTest::newRow("segmentation fault") << "segv"
                                        << "signal: 11 (SIGSEGV)";
    QTest::newRow("abort") << "abort"
                           << "signal: 6 (SIGABRT)";
}

void TestAppShell::crashWritesReport() {
    QFETCH(QString, kind);
    QFETCH(QString, signalLine);
    QTemporaryDir dir;
    QProcess crash;
    crash.start(QCoreApplication::applicationDirPath() + "/crash_probe", {dir.path(), kind});
    QVERIFY(crash.waitForFinished(20000));
    QCOMPARE(crash.exitStatus(), QProcess::CrashExit);
    const QStringList reports = crash::pendingReports(dir.path());
    QCOMPARE(reports.size(), 1);
    QFile file(reports.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith("application: VeltoQuorin\nversion: velto_winpc_tax1_1.000006\n"));
    QVERIFY2(text.contains(signalLine), qPrintable(text));
    QVERIFY2(text.contains("backtrace:\n") && text.contains("crash_probe"), qPrintable(text));
}

void TestAppShell::reportsSentAndRemoved_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("removed");
    QTest::newRow("accepted") << 200 << true;
    QTest::newRow("refused stays for the next start") << 500 << false;
}

void TestAppShell::reportsSentAndRemoved() {
    QFETCH(int, status);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    for (const char* name : {"crash-1-1.txt", "crash-2-2.txt", "crash-3-3.txt.part"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("report ") + name);
    }
    LocalHttpServer server;
    std::vector<std::string> bodies;
    server.server().Post("/crash-reporter/",
                         [&](const httplib::Request& req, httplib::Response& res) {
                             bodies.push_back(req.body);
                             res.status = status;
                         });
    QVERIFY(server.start() > 0);
    const QUrl control(QString::fromStdString(server.url("/v3clientcontrol?x=1")));
    CrashReportSender sender(dir.path(), CrashReportSender::endpointFor(control));
    QSignalSpy done(&sender, &CrashReportSender::done);
    sender.start();
    QVERIFY(done.wait(10000));
    server.stop();
    QCOMPARE(bodies.size(), size_t(2));  // the partial report is never sent
    QCOMPARE(done.first().at(0).toInt(), removed ? 2 : 0);
    QCOMPARE(crash::pendingReports(dir.path()).isEmpty(), removed);
    QVERIFY(QFile::exists(dir.filePath("crash-3-3.txt.part")));
}

QTEST_MAIN(TestAppShell)
#include "tst_app_shell.moc"
