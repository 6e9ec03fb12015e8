// The market monitors in the real terminal against a real server: the monitors probe
// preloaded into the terminal opens the alert monitor and the block monitor from the quick
// bar and the strategy dashboard, and checks them against the live demo market. The concept
// blocks it expects come from the server's own block document.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include "tests/e2e/probed_terminal.h"

namespace {

// The codes of the concept blocks (category 1016) the server's block document lists.
QStringList conceptBlocks(const ServerProcess& server) {
    QNetworkAccessManager network;
    QNetworkReply* reply =
        network.get(QNetworkRequest(QUrl(QString::fromUtf8(server.controlUrl()) + "/board")));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(10000);
    QStringList codes;
    const QJsonArray blocks = QJsonDocument::fromJson(reply->readAll()).object()["data"].toArray();
    for (const QJsonValue& b : blocks)
        if (b["category"].toInt() == 1016)
            codes << b["code"].toString();
    reply->deleteLater();
    return codes;
}

}  // namespace

class TestMonitorsE2E : public QObject {
    Q_OBJECT

private slots:
    void alertsBlocksAndDashboard();
};

void TestMonitorsE2E::alertsBlocksAndDashboard() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no X display: run the suite under xvfb-run (scripts/test does)");
    ServerProcess server{QStringLiteral(VQ_SERVER_PATH)};
    QVERIFY2(server.start(), qPrintable(server.log()));
    const QStringList concepts = conceptBlocks(server);
    QVERIFY(!concepts.isEmpty());
    QProcessEnvironment extra;
    extra.insert("VQ_PROBE_CONCEPTS", concepts.join(','));
    QByteArray output;
    const int code = runProbedTerminal(server, QStringLiteral(VQ_TERMINAL_PATH),
                                       QStringLiteral(VQ_MONITORS_PROBE_PATH), extra, output);
    QVERIFY2(!output.contains("probe: FAIL"), output.constData());
    QVERIFY2(output.contains("probe: done"), output.constData());
    QCOMPARE(code, 0);
}

QTEST_GUILESS_MAIN(TestMonitorsE2E)
#include "tst_monitors_e2e.moc"
