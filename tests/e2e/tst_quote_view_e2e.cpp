// From login to a live K-line in the real terminal against a real server: the terminal runs
// as its own process with the quote-view probe preloaded, which logs in as the demo user,
// types 600000 and Enter, checks the tab and the chart's bars from the server, switches to
// the daily K-line with Enter, draws a trend line from the drawing palette, steps to the
// 1-minute cycle with F8, closes the tab with Esc, and opens 600000 again to find the line back.

#include "tests/e2e/probed_terminal.h"

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
    QByteArray output;
    const int code = runProbedTerminal(server, QStringLiteral(VQ_TERMINAL_PATH),
                                       QStringLiteral(VQ_PROBE_PATH), {}, output);
    QVERIFY2(!output.contains("probe: FAIL"), output.constData());
    QVERIFY2(output.contains("probe: done"), output.constData());
    QCOMPARE(code, 0);
}

QTEST_GUILESS_MAIN(TestQuoteViewE2E)
#include "tst_quote_view_e2e.moc"
