// The program as operators run it: account and publishing commands, then `serve` answering
// what they set up, and a clean stop on SIGTERM and SIGINT.

#include <httplib.h>
#include <signal.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

class CliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    struct Run {
        int code = -1;
        QString out, err;
    };

    Run run(const QStringList& args, const QByteArray& input = QByteArray()) {
        QProcess p;
        p.start(QStringLiteral(VQ_SERVER_PATH), QStringList(args) << "--data" << dir_.path());
        p.waitForStarted();
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static int freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // Starts `serve` and waits for its ready line.
    bool startServer(QProcess& p, int port, const QStringList& extra = {}) {
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QStringLiteral(VQ_SERVER_PATH),
                QStringList{"serve", "--data", dir_.path(), "--http",
                            QStringLiteral("127.0.0.1:%1").arg(port), "--quote",
                            QStringLiteral("127.0.0.1:%1").arg(freePort())} +
                    extra);
        QByteArray out;
        for (int i = 0; i < 300 && !out.contains("HTTP on"); ++i) {
            if (!p.waitForReadyRead(100) && p.state() != QProcess::Running) {
                return false;
            }
            out += p.readAllStandardOutput();
        }
        return out.contains("HTTP on");
    }

    static QJsonObject login(int port, const char* user, const char* password) {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(20, 0);
        auto r = c.Post("/login", std::string("username=") + user + "&password=" + password,
                        "application/x-www-form-urlencoded");
        return r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object()
                 : QJsonObject();
    }

private slots:
    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output");  // expected in stdout (code 0) or stderr
        // Rows run in order against one data folder.
        QTest::newRow("add alice")
            << QStringList{"user", "add", "alice"} << QByteArray("first pw\n") << 0 << "added";
        QTest::newRow("add alice again")
            << QStringList{"user", "add", "alice"} << QByteArray("x\n") << 1 << "already exists";
        QTest::newRow("name with space")
            << QStringList{"user", "add", "a b"} << QByteArray("x\n") << 1 << "no spaces";
        QTest::newRow("no password")
            << QStringList{"user", "add", "bob"} << QByteArray() << 1 << "password";
        QTest::newRow("passwd alice")
            << QStringList{"user", "passwd", "alice"} << QByteArray("新密码\n") << 0 << "changed";
        QTest::newRow("passwd nobody")
            << QStringList{"user", "passwd", "nobody"} << QByteArray("x\n") << 1 << "no user";
        QTest::newRow("list") << QStringList{"user", "list"} << QByteArray() << 0 << "alice\t";
        QTest::newRow("notice") << QStringList{"notice",  "add",      "--type", "3",
                                               "--title", "维护通知", "--date", "2024-03-02"}
                                << QByteArray("今晚维护") << 0 << "published";
        QTest::newRow("notice bad type")
            << QStringList{"notice", "add", "--type", "5", "--title", "x"} << QByteArray() << 1
            << "--type";
        QTest::newRow("notice bad date")
            << QStringList{"notice", "add", "--type", "2", "--title", "x", "--date", "03/02/2024"}
            << QByteArray() << 1 << "--date";
        QTest::newRow("pool") << QStringList{"pool", "set", "1", "价值", "600000:1", "000001:2"}
                              << QByteArray() << 0 << "2 securities";
        QTest::newRow("pool bad entry")
            << QStringList{"pool", "set", "2", "x", "600000"} << QByteArray() << 1 << "CODE:MARKET";
        QTest::newRow("news") << QStringList{"news",   "add",    "--title",  "要闻",
                                             "--code", "600000", "--market", "1"}
                              << QByteArray("正文") << 0 << "published";
        QTest::newRow("fastmenu bad")
            << QStringList{"fastmenu", "set"} << QByteArray("[{\"name\":\"x\",\"style\":9}]") << 1
            << "style";
        QTest::newRow("unknown command")
            << QStringList{"frobnicate"} << QByteArray() << 2 << "usage";
    }
    void commands() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, code);
        QFETCH(QString, output);
        const Run r = run(args, input);
        QCOMPARE(r.code, code);
        QVERIFY2((code == 0 ? r.out : r.err).contains(output), qPrintable(r.out + r.err));
    }

    void needsData() {
        QProcess p;
        p.start(QStringLiteral(VQ_SERVER_PATH), {"user", "list"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("--data"));
    }

    void serveWhatWasPublished() {
        const int port = freePort();
        QProcess server;
        QVERIFY(startServer(server, port, {"--demo"}));
        // The changed password counts, the old one not; the demo account exists.
        QCOMPARE(login(port, "alice", QUrl::toPercentEncoding("新密码").constData())["result"]
                     .toString(),
                 QString("true"));
        QCOMPARE(login(port, "alice", "first%20pw")["result"].toString(), QString("false"));
        QCOMPARE(login(port, "demo", "demo123")["result"].toString(), QString("true"));

        httplib::Client c("127.0.0.1", port);
        auto notice = c.Get("/notice?type=3&pub_date=2024-03-01");
        QVERIFY(notice);
        const QJsonArray notices = QJsonDocument::fromJson(QByteArray::fromStdString(notice->body))
                                       .object()["notices"]
                                       .toArray();
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0].toObject()["content"].toString(), QString("今晚维护"));
        auto pools = c.Get("/stock_pool");
        QVERIFY(pools);
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(pools->body))
                     .array()[0]
                     .toObject()["stocks"]
                     .toArray()
                     .size(),
                 2);

        // The port is taken: a second server says so and ends.
        QProcess second;
        QVERIFY(!startServer(second, port));
        second.waitForFinished(10000);
        QCOMPARE(second.exitCode(), 1);
        const QByteArray secondErr = second.readAllStandardError();
        QVERIFY2(secondErr.contains("cannot bind"), secondErr.constData());

        ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
        QVERIFY(server.waitForFinished(15000));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(server.readAllStandardOutput().contains("stopped"));
        // Closed cleanly: the write-ahead log was folded back into the database file.
        const QFileInfo wal(dir_.filePath("veltoquorin.db-wal"));
        QVERIFY(!wal.exists() || wal.size() == 0);
    }

    void stopsOnSigint() {
        const int port = freePort();
        QProcess server;
        QVERIFY(startServer(server, port));
        ::kill(static_cast<pid_t>(server.processId()), SIGINT);
        QVERIFY(server.waitForFinished(15000));
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(server.readAllStandardOutput().contains("SIGINT"));
    }

    void badServeOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("http without port") << QStringList{"--http", "localhost"} << "HOST:PORT";
        QTest::newRow("threads zero") << QStringList{"--threads", "0"} << "--threads";
        QTest::newRow("clock") << QStringList{"--clock", "fast"} << "--clock";
        QTest::newRow("db scheme") << QStringList{"--db", "mysql://x/y"} << "scheme";
        QTest::newRow("missing value") << QStringList{"--http"} << "needs a value";
    }
    void badServeOptions() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QProcess p;
        p.start(QStringLiteral(VQ_SERVER_PATH), QStringList{"serve", "--data", dir_.path()} + args);
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains(message),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_server_cli.moc"
