#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "bridge/data_folder.h"
#include "bridge/hdatetime.h"
#include "bridge/hfileio.h"
#include "bridge/hroute.h"
#include "bridge/hutil.h"
#include "bridge/machine_id.h"
#include "bridge/updater_launch.h"

class TestUtilities : public QObject {
    Q_OBJECT

private slots:
    void priceColor_data();
    void priceColor();
    void windColor_data();
    void windColor();
    void formatting_data();
    void formatting();
    void routes_data();
    void routes();
    void datetimeRoundTrip();
    void fileReplaceAndAppend();
    void missingFilesReadEmpty();
    void processorIdShape();
    void diskSerialSources_data();
    void diskSerialSources();
    void identifiersAreQuickAndCached();
    void updaterMissingReturnsFalse();
    void updaterCopiesAndStarts();
    void stringWidthGrowsWithText();
};

void TestUtilities::priceColor_data() {
    QTest::addColumn<float>("close");
    QTest::addColumn<float>("pclose");
    QTest::addColumn<QString>("color");
    QTest::newRow("rise") << 10.5f << 10.0f << "#FF3D3D";
    QTest::newRow("fall") << 9.5f << 10.0f << "#0FC351";
    QTest::newRow("unchanged") << 10.0f << 10.0f << "#FFFFFF";
    QTest::newRow("no trade yet is flat, not a fall") << 0.0f << 10.0f << "#FFFFFF";
}

void TestUtilities::priceColor() {
    QFETCH(float, close);
    QFETCH(float, pclose);
    QFETCH(QString, color);
    QCOMPARE(HUtil().getPriceColor(close, pclose).toString(), color);
}

void TestUtilities::windColor_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("color");
    QTest::newRow("buy") << "B"
                         << "#FF3D3D";
    QTest::newRow("sell") << "S"
                          << "#0FC351";
    QTest::newRow("other") << "b"
                           << "#FFFFFF";
}

void TestUtilities::windColor() {
    QFETCH(QString, tag);
    QFETCH(QString, color);
    QCOMPARE(HUtil().getWindColor(tag).toString(), color);
}

void TestUtilities::formatting_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<double>("a");
    QTest::addColumn<uint>("fixed");
    QTest::addColumn<double>("b");
    QTest::addColumn<QString>("expected");
    QTest::newRow("price zero") << "price" << 0.0 << 2u << 0.0 << "-";
    QTest::newRow("price") << "price" << 12.345 << 2u << 0.0 << "12.35";
    QTest::newRow("price 3 decimals") << "price" << 1.5 << 3u << 0.0 << "1.500";
    QTest::newRow("rate both zero") << "rate" << 0.0 << 2u << 0.0 << "-";
    QTest::newRow("rate zero with close") << "rate" << 0.0 << 2u << 10.5 << "0.00%";
    QTest::newRow("rate") << "rate" << 1.234 << 2u << 0.0 << "1.23%";
    QTest::newRow("rate negative") << "rate" << -3.456 << 1u << 9.0 << "-3.5%";
    QTest::newRow("vol exactly 1e8 stays in 万")
        << "vol" << 100000000.0 << 0u << 0.0 << QStringLiteral("10000.00万");
    QTest::newRow("vol above 1e8") << "vol" << 250000000.0 << 0u << 0.0 << QStringLiteral("2.50亿");
    QTest::newRow("vol exactly 1e4") << "vol" << 10000.0 << 0u << 0.0 << "10000";
    QTest::newRow("vol above 1e4") << "vol" << 12345.0 << 0u << 0.0 << QStringLiteral("1.23万");
    QTest::newRow("vol small") << "vol" << 99.6 << 0u << 0.0 << "100";
    QTest::newRow("fixed zero") << "fixed" << 0.0 << 2u << 0.0 << "0.00";
}

void TestUtilities::formatting() {
    QFETCH(QString, call);
    QFETCH(double, a);
    QFETCH(uint, fixed);
    QFETCH(double, b);
    QFETCH(QString, expected);
    HUtil util;
    QVariant result;
    if (call == "price")
        result = util.formatPrice(float(a), fixed);
    if (call == "rate")
        result = util.formatRate(float(a), fixed, float(b));
    if (call == "vol")
        result = util.formatVol(float(a));
    if (call == "fixed")
        result = util.formatFixed(float(a), fixed);
    QCOMPARE(result.toString(), expected);
}

void TestUtilities::routes_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");
    const QString view = "app://qml/MQView.qml?code=600000&market=1#cycle=33";
    QTest::newRow("scheme") << view << "scheme" << QVariant("app");
    QTest::newRow("host") << view << "host" << QVariant("qml");
    QTest::newRow("path") << view << "path" << QVariant("/MQView.qml");
    QTest::newRow("no port") << view << "port" << QVariant(-1);
    QTest::newRow("query") << view << "query" << QVariant("code=600000&market=1");
    QTest::newRow("path_query") << view << "path_query"
                                << QVariant("/MQView.qml?code=600000&market=1");
    QTest::newRow("query_all joins the fragment")
        << view << "query_all" << QVariant("code=600000&market=1&cycle=33");
    QTest::newRow("url_query drops the query") << "http://h:8080/p?a=1"
                                               << "url_query" << QVariant("http://h:8080/p");
    QTest::newRow("port") << "http://h:8080/p?a=1"
                          << "port" << QVariant(8080);
    QTest::newRow("path_query without query") << "app://curview/x"
                                              << "path_query" << QVariant("/x");
    QTest::newRow("decoded host") << "app://findview/%E6%90%9C"
                                  << "path" << QVariant("/搜");
}

void TestUtilities::routes() {
    QFETCH(QString, url);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    const QJsonObject route = HRoute().getRoute(url);
    QCOMPARE(route.value(key).toVariant(), expected);
}

void TestUtilities::datetimeRoundTrip() {
    HDatetime dt;
    const uint stamp = 1700000000;
    const QString text = dt.formatV("yyyy-MM-dd HH:mm:ss", stamp).toString();
    QCOMPARE(text, QDateTime::fromSecsSinceEpoch(stamp).toString("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(dt.fromStringV(text, "yyyy-MM-dd HH:mm:ss").toLongLong(), qint64(stamp));
    QCOMPARE(dt.fromStringV("not a date", "yyyy-MM-dd").toLongLong(),
             QDateTime().toSecsSinceEpoch());
    // Later duplicate keys in the fragment override the query.
    const QJsonObject map =
        HRoute().getRoute("app://qml/x?a=1&b=2#b=3").value("query_map").toObject();
    QCOMPARE(map.value("a").toString(), QStringLiteral("1"));
    QCOMPARE(map.value("b").toString(), QStringLiteral("3"));
}

void TestUtilities::fileReplaceAndAppend() {
    HFileIO io;
    QVERIFY(QDir(io.getDefaultPath()).exists());
    QVERIFY(io.writedFileDefaultPath("t.json", QStringLiteral("第一版 long content")));
    QVERIFY(io.writedFileDefaultPath("t.json", QStringLiteral("短")));
    QCOMPARE(io.readFileDefaultPath("t.json"), QStringLiteral("短"));
    // Replacing leaves no temporary file behind.
    QCOMPARE(QDir(io.getDefaultPath()).entryList({"t.json*"}, QDir::Files).size(), 1);

    const QString path = io.getDefaultPath() + "/append.bin";
    QFile::remove(path);
    QVERIFY(io.writeFile(path, QByteArray("ab")));
    QVERIFY(io.writeFile(path, QByteArray("ab")));
    QCOMPARE(io.readFile(path), QByteArray("abab"));
}

void TestUtilities::missingFilesReadEmpty() {
    HFileIO io;
    QCOMPARE(io.readFileDefaultPath("does-not-exist.json"), QString());
    QCOMPARE(io.readFile("/nonexistent/dir/file"), QByteArray());
    QVERIFY(!io.writeFile("/nonexistent/dir/file", "x"));
    QVERIFY(!io.writedFileDefaultPath("no/such/dir/x.json", "x"));
}

void TestUtilities::processorIdShape() {
    const QString id = bridge::readProcessorId();
    QVERIFY(!id.isEmpty());
#if defined(__x86_64__) || defined(__i386__)
    QVERIFY2(QRegularExpression("^[0-9A-F]{16}$").match(id).hasMatch(), qPrintable(id));
#endif
    QCOMPARE(HUtil().getCpuId().toString(), id);
}

void TestUtilities::diskSerialSources_data() {
    QTest::addColumn<QStringList>("files");  // "relative/path=content"
    QTest::addColumn<QString>("expected");
    QTest::newRow("device serial")
        << QStringList{"sda/device/serial=  WD-123 \n", "sdb/device/serial=OTHER"} << "WD-123";
    QTest::newRow("virtio serial") << QStringList{"vda/serial=vol-42"} << "vol-42";
    QTest::newRow("loop and ram devices skipped")
        << QStringList{"loop0/serial=LOOP", "nvme0n1/device/serial=NV 9 "} << "NV 9";
    QTest::newRow("no serial anywhere") << QStringList{"sda/size=1"} << "";
}

void TestUtilities::diskSerialSources() {
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QTemporaryDir root;
    for (const QString& spec : files) {
        const QString path = root.path() + "/" + spec.section('=', 0, 0);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(spec.section('=', 1).toUtf8());
    }
    QCOMPARE(bridge::readDiskSerial(root.path(), root.path() + "/udev"), expected);
}

void TestUtilities::identifiersAreQuickAndCached() {
    QElapsedTimer timer;
    timer.start();
    const QString cpu = bridge::processorId();
    const QString disk = bridge::firstDiskSerial();
    // Start-up asks for the processor id before the first window; it must not hold it up.
    QVERIFY2(timer.elapsed() < 50, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(bridge::processorId(), cpu);
    QCOMPARE(bridge::firstDiskSerial(), disk);
    QCOMPARE(HUtil().getDiskNum().toString(), disk);
}

void TestUtilities::updaterMissingReturnsFalse() {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(!HUtil().updateExe().toBool());
    QDir::setCurrent(old);
}

void TestUtilities::updaterCopiesAndStarts() {
    QTemporaryDir dir;
    const QString updater = dir.path() + "/" + bridge::updaterFileName();
    {
        QFile script(updater);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" > args.txt\n");
    }
    QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(HUtil().updateExe().toBool());
    QDir::setCurrent(old);
    QVERIFY(QFile::exists(updater + "run"));
    auto written = [&dir] {
        QFile args(dir.path() + "/args.txt");
        return args.open(QIODevice::ReadOnly) ? args.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(written().contains("version.json"), 5000);
}

void TestUtilities::stringWidthGrowsWithText() {
    HUtil util;
    const int one = util.stringWidth("上", "Microsoft YaHei", 14, 50).toInt();
    const int four = util.stringWidth("上证指数", "Microsoft YaHei", 14, 50).toInt();
    QVERIFY(one > 0);
    QVERIFY(four > 3 * one);
}

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
