// The terminal itself, started as a user would (needs an X display: the web engine needs
// OpenGL, which the offscreen platform lacks).

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/local_http_server.h"

class TestTerminalProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void secondStartExitsZero();
    void pendingCrashReportsAreSentAtStart();

private:
    QProcessEnvironment environment(const QString& controlUrl = QString()) const;
    QString terminal_;
    QTemporaryDir home_;
};

void TestTerminalProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("no X display: run the suite under xvfb-run (scripts/test does)");
    }
    terminal_ = QStringLiteral(VQ_TERMINAL_PATH);
    QVERIFY(QFile::exists(terminal_));
    QVERIFY(home_.isValid());
    QDir(home_.path()).mkpath("runtime");
    QFile::setPermissions(home_.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcessEnvironment TestTerminalProcess::environment(const QString& controlUrl) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    env.insert("XDG_DATA_HOME", home_.path() + "/data");
    // Our own runtime folder, so the test never hands over to a terminal the user runs.
    env.insert("XDG_RUNTIME_DIR", home_.path() + "/runtime");
    env.insert("VELTOQUORIN_CONTROL_URL", controlUrl.isEmpty() ? "http://127.0.0.1:9" : controlUrl);
    env.insert("QT_LOGGING_RULES", "vq.startup.info=true");
    return env;
}

void TestTerminalProcess::secondStartExitsZero() {
    QProcess first;
    first.setProcessEnvironment(environment());
    first.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray firstOutput;
    connect(&first, &QProcess::readyRead, [&] { firstOutput += first.readAll(); });
    first.start(terminal_, QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(
        firstOutput.contains("LoginView.qml first frame") || first.state() == QProcess::NotRunning,
        30000);
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(terminal_, QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!second.readAllStandardError().contains("first frame"));  // it showed no window
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished();
    }
}

void TestTerminalProcess::pendingCrashReportsAreSentAtStart() {
    const QString reports = home_.path() + "/data/VeltoQuorin/crashes";
    QVERIFY(QDir().mkpath(reports));
    QFile report(reports + "/crash-100-1.txt");
    QVERIFY(report.open(QIODevice::WriteOnly));
    report.write("application: VeltoQuorin\nsignal: 11 (SIGSEGV)\n");
    report.close();

    LocalHttpServer server;
    std::atomic<int> received{0};
    server.server().Post("/crash-reporter/", [&](const httplib::Request& req, httplib::Response&) {
        if (req.body.find("SIGSEGV") != std::string::npos)
            ++received;
    });
    QVERIFY(server.start() > 0);

    QProcess terminal;
    terminal.setProcessEnvironment(environment(QString::fromStdString(server.url(""))));
    terminal.start(terminal_, QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(received.load() == 1 && !QFile::exists(report.fileName()), 30000);
    terminal.terminate();
    if (!terminal.waitForFinished(10000)) {
        terminal.kill();
        terminal.waitForFinished();
    }
    server.stop();
}

QTEST_GUILESS_MAIN(TestTerminalProcess)
#include "tst_terminal_process.moc"
