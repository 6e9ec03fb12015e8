// The gain ranking of the whole market in the real terminal against a real server: the
// ranking probe preloaded into the terminal opens it with the command "60", compares the
// first and the next page with the order the server computes from its own snapshot, opens
// the selected row's quote view with Enter, steps to the list's next security with PageDown,
// and opens the composite ranking of the same block with the command "80".

#include "tests/e2e/probed_terminal.h"

class TestRankingViewE2E : public QObject {
    Q_OBJECT

private slots:
    void rankingPagesAndQuoteView();
};

void TestRankingViewE2E::rankingPagesAndQuoteView() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no X display: run the suite under xvfb-run (scripts/test does)");
    ServerProcess server{QStringLiteral(VQ_SERVER_PATH)};
    QVERIFY2(server.start(), qPrintable(server.log()));
    QProcessEnvironment extra;
    extra.insert("VQ_PROBE_QUOTE", server.quoteAddress());
    QByteArray output;
    const int code = runProbedTerminal(server, QStringLiteral(VQ_TERMINAL_PATH),
                                       QStringLiteral(VQ_RANKING_PROBE_PATH), extra, output);
    QVERIFY2(!output.contains("probe: FAIL"), output.constData());
    QVERIFY2(output.contains("probe: done"), output.constData());
    QCOMPARE(code, 0);
}

QTEST_GUILESS_MAIN(TestRankingViewE2E)
#include "tst_ranking_view_e2e.moc"
