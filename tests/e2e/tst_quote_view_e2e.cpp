// From login to a live K-line in the real terminal against a real server: the terminal runs
// as its own process with the quote-view probe preloaded, which logs in as the demo user,
// types 600000 and Enter, checks the tab and the chart's bars from the server, switches to
// the daily K-line with Enter, draws a trend line from the drawing palette, steps to the
// 1-minute cycle with F8, closes the tab with Esc, and opens 600000 again to find the line back.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/server_process.h"

class TestQuoteViewE2E : public QObject {
    Q_OBJECT

private slots:
    void loginSearchAndCharts();
};

void TestQuoteViewE2E::loginSearchAndCharts() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no X display: run the suite under xvfb-run (scripts/test does)");
    ServerProcess server{QStringLiteral(VQ_SERVER_PATH)};
    QVERIFY2(server.start(), qPrintable(server.log()));

    QTemporaryDir home;
    QVERIFY(home.isValid());
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
    env.insert("VELTOQUORIN_CONTROL_URL", QString::fromUtf8(server.controlUrl()));
    env.insert("TZ", "Asia/Shanghai");
    env.insert("QT_LOGGING_RULES", "vq.timing.info=true");
    env.insert("LD_PRELOAD", QStringLiteral(VQ_PROBE_PATH));

    QProcess terminal;
    terminal.setProcessEnvironment(env);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray output;
    connect(&terminal, &QProcess::readyRead, [&] { output += terminal.readAll(); });
    terminal.start(QStringLiteral(VQ_TERMINAL_PATH), QStringList());
    QVERIFY(terminal.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(terminal.state() == QProcess::NotRunning, 180000);
    output += terminal.readAll();

    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("probe:") || line.contains("vq.timing"))
            qInfo().noquote() << QString::fromUtf8(line);
    QVERIFY2(!output.contains("probe: FAIL"), output.constData());
    QVERIFY2(output.contains("probe: done"), output.constData());
    QCOMPARE(terminal.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestQuoteViewE2E)
#include "tst_quote_view_e2e.moc"
