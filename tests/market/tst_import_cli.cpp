// The import command as an operator runs it: exit codes, the problems on standard error and
// their cap.
#include <QtTest>

#include <fstream>

namespace {

void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
}

QByteArray manyBadRows(int n) {
    QByteArray text = "date,open,high,low,close,volume\n";
    for (int k = 0; k < n; ++k)
        text += "2024-06-" + QByteArray::number(10 + k % 3) + ",x,1,1,1,1\n";
    return text;
}

}  // namespace

class TestImportCli : public QObject {
    Q_OBJECT
private slots:
    void exitCodes_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("stderrHas");
        QTest::addColumn<QString>("stdoutHas");
        QTest::newRow("good") << QByteArray("600000.csv") << QByteArray("2024-06-12,9,9,9,9,100\n")
                              << QStringList() << 0 << ""
                              << "imported 1 securities with 1 daily bars";
        QTest::newRow("bad row") << QByteArray("600000.csv")
                                 << QByteArray("2024-06-12,9,9,9,9,100\n2024-06-13,9\n")
                                 << QStringList() << 1
                                 << "600000.csv:2: 2 fields where 6 are expected\n"
                                 << "";
        QTest::newRow("bad row skipped")
            << QByteArray("600000.csv") << QByteArray("2024-06-12,9,9,9,9,100\n2024-06-13,9\n")
            << QStringList{"--skip-bad-rows"} << 0 << "600000.csv:2: 2 fields where 6"
            << "1 rows skipped, 0 files rejected";
        QTest::newRow("file rejected while skipping")
            << QByteArray("999999.2.csv") << QByteArray("2024-06-12,9,9,9,9,100\n")
            << QStringList{"--skip-bad-rows"} << 1
            << "999999.2.csv: 999999.2 is neither in the market nor in securities.csv"
            << "1 files rejected";
        QTest::newRow("problems capped") << QByteArray("600000.csv") << manyBadRows(300)
                                         << QStringList() << 1 << "600000.csv: 250 more problems\n"
                                         << "";
        QTest::newRow("unknown seed")
            << QByteArray("600000.csv") << QByteArray("2024-06-12,9,9,9,9,100\n")
            << QStringList{"--seed", "x"} << 1 << "--seed wants a number"
            << "";
    }
    void exitCodes() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, text);
        QFETCH(QStringList, extra);
        QFETCH(int, code);
        QFETCH(QString, stderrHas);
        QFETCH(QString, stdoutHas);
        QTemporaryDir src, data;
        write(src.path() + "/" + file, text);
        write(src.path() + "/securities.csv", "code,market,name,type\n600000,SH,浦发银行,stock\n");
        QProcess p;
        p.start(QStringLiteral(VQ_SERVER_PATH),
                QStringList{"import", src.path(), "--data", data.path()} + extra);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), code);
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        // A failed strict import leaves the data folder as it was: nothing imported.
        if (code != 0 && !extra.contains("--skip-bad-rows"))
            QVERIFY(!QDir(data.path() + "/market/import").exists());
    }
};

QTEST_GUILESS_MAIN(TestImportCli)
#include "tst_import_cli.moc"
