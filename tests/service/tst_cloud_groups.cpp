// The cloud screening groups: what a screening report turns into (groups, message boxes,
// action signals), the web page's report form, the groups file and its damage, and a
// missing screening library.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cstring>

#include "bridge/hfileio.h"
#include "service/qvover_ivevo_dll.h"
#include "service/qvover_ivevo_service.h"
#include "service/screening_callback.h"

namespace {

QString groupsPath() {
    return QDir(HFileIO().getDefaultPath()).filePath(QVoverIvevoService::fileName());
}

// Answers every modal message box while a report is handled, remembering its text.
class BoxWatcher : public QObject {
public:
    QStringList texts;
    BoxWatcher() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

std::vector<ScreeningResultItem> results(int n) {
    std::vector<ScreeningResultItem> items(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        // Six digits fill the code field: it has no terminator.
        const QByteArray code = QByteArray::number(600000 + i);
        std::memcpy(items[size_t(i)].code, code.constData(), 6);
        items[size_t(i)].market = i % 2 + 1;
    }
    return items;
}

}  // namespace

class TestCloudGroups : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(groupsPath());
        QFile::remove(groupsPath() + ".damaged");
        QVoverIvevoService();  // reloads the shared document from the (missing) file
    }

    void resultReports_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("stored");
        QTest::newRow("empty") << 0 << "没有符合条件的数据" << -1;
        QTest::newRow("one") << 1 << "" << 1;
        QTest::newRow("exactly 500") << 500 << "" << 500;
        QTest::newRow("501 is cut")
            << 501 << "选股结果超过500只,系统将截取保留前500只!请增加选股条件缩小范围!" << 500;
    }
    void resultReports() {
        QFETCH(int, count);
        QFETCH(QString, box);
        QFETCH(int, stored);
        QVoverIvevoService service;
        QSignalSpy changed(&service, &QVoverIvevoService::updateVoverIvevo);
        const auto items = results(count);
        const ScreeningMessage msg{SCREENING_RESULT, count, items.data()};
        BoxWatcher boxes;
        QCOMPARE(screeningCallback(&msg), 1);
        QCOMPARE(boxes.texts, box.isEmpty() ? QStringList() : QStringList{box});
        const QJsonArray groups = service.getGroups();
        if (stored < 0) {
            QVERIFY(groups.isEmpty());
            QCOMPARE(changed.count(), 0);
            QVERIFY(!QFile::exists(groupsPath()));
            return;
        }
        QCOMPARE(changed.count(), 1);
        QCOMPARE(groups.size(), 1);
        const QJsonObject g = groups.first().toObject();
        QVERIFY(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(g.value("group_name").toString())
                    .hasMatch());
        QCOMPARE(g.value("group_id").toString(), g.value("group_name").toString());
        const QJsonArray codes = g.value("codes").toArray();
        QCOMPARE(codes.size(), stored);
        QCOMPARE(codes.first().toObject(), (QJsonObject{{"code", "600000"}, {"market_id", "1"}}));
        QCOMPARE(codes.last().toObject().value("code").toString(),
                 QString::number(600000 + stored - 1));
        // Saved as it is held, and read back by a new instance.
        QFile f(groupsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(f.readAll()).object(), service.getJson());
    }

    void everyServiceHearsOfNewGroups() {
        QVoverIvevoService a, b;
        QSignalSpy sa(&a, &QVoverIvevoService::updateVoverIvevo);
        QSignalSpy sb(&b, &QVoverIvevoService::updateVoverIvevo);
        const auto items = results(3);
        const ScreeningMessage msg{SCREENING_RESULT, 3, items.data()};
        screeningCallback(&msg);
        QCOMPARE(sa.count(), 1);
        QCOMPARE(sb.count(), 1);
    }

    void actionTexts_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("A") << 3 << QByteArray("B") << "A|3|B";
        QTest::newRow("negative number")
            << QByteArray("CND") << -7 << QByteArray("x") << "CND|-7|x";
        QTest::newRow("cut at 128 bytes")
            << QByteArray("id") << 1 << QByteArray(200, 'z') << "id|1|" + QString(123, 'z');
        // 5 + 41 three-byte characters = 128 bytes would end inside the 42nd: it is dropped.
        QTest::newRow("cut never splits a character")
            << QByteArray("id") << 1 << QString(50, QChar(0x9009)).toUtf8()
            << "id|1|" + QString(41, QChar(0x9009));
    }
    void actionTexts() {
        QFETCH(QByteArray, id);
        QFETCH(int, number);
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QVoverIvevoService service;
        QSignalSpy spy(&service, &QVoverIvevoService::updateActionCmd);
        const ScreeningActionItem item{nullptr, id.constData(), text.constData(), number, 0};
        const ScreeningMessage msg{SCREENING_ACTIONS, 1, &item};
        QCOMPARE(screeningCallback(&msg), 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), expected);
    }

    void webReports_data() {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("market");
        QTest::newRow("text market")
            << QByteArray(R"({"type":0,"data":[{"exchange_type":"2","stock_code":"000001"}]})")
            << "000001"
            << "2";
        QTest::newRow("market not numeric")
            << QByteArray(R"({"type":0,"data":[{"exchange_type":"SZ","stock_code":"000001"}]})")
            << "000001"
            << "0";
        QTest::newRow("code longer than six bytes")
            << QByteArray(R"({"type":0,"data":[{"exchange_type":"1","stock_code":"6000001234"}]})")
            << "600000"
            << "1";
    }
    void webReports() {
        QFETCH(QByteArray, report);
        QFETCH(QString, code);
        QFETCH(QString, market);
        QVoverIvevoService service;
        QCOMPARE(service.voverIvevoResponse(QJsonDocument::fromJson(report).object()), 1);
        const QJsonObject entry =
            service.getGroups().first().toObject().value("codes").toArray().first().toObject();
        QCOMPARE(entry.value("code").toString(), code);
        QCOMPARE(entry.value("market_id").toString(), market);
    }

    void webActionReport() {
        QVoverIvevoService service;
        QSignalSpy spy(&service, &QVoverIvevoService::updateActionCmd);
        const QJsonObject report =
            QJsonDocument::fromJson(
                R"({"type":1,"data":[{"name":"选股","id":"CND","args":"MA","peroid":5,"type":1},
                                 {"name":"n","id":"X","args":"Y","peroid":0,"type":0}]})")
                .object();
        QCOMPARE(service.voverIvevoResponse(report), 1);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).first().toString(), QString("CND|5|MA"));
        QCOMPARE(spy.at(1).first().toString(), QString("X|0|Y"));
    }

    void groupEditing() {
        QVoverIvevoService service;
        service.addGroup("t1", "first", QVariantList{});
        service.addGroup("t1", "second",
                         QVariantList{QVariantMap{{"code", "600000"}, {"market_id", "1"}}});
        service.addGroup("t2", "third", QVariantList{});
        // Same id twice: the newer one (nearer the top) is the one found, renamed and removed.
        QCOMPARE(service.getGroupCodes("t1").toJsonArray().size(), 1);
        service.editGroup("t1", "renamed");
        QCOMPARE(service.getGroups().at(1).toObject().value("group_name").toString(),
                 QString("renamed"));
        service.removeGroup("t1");
        QCOMPARE(service.getGroups().size(), 2);
        QCOMPARE(service.getGroups().at(1).toObject().value("group_name").toString(),
                 QString("first"));
        service.removeGroup("absent");
        service.editGroup("absent", "x");
        QCOMPARE(service.getGroups().size(), 2);
        QVERIFY(!service.getGroupCodes("absent").isValid());
        // Not an object: nothing changes.
        service.fromJson("[1,2]");
        QCOMPARE(service.getGroups().size(), 2);
        // A new instance reads the same from the file.
        QVoverIvevoService().fromJson("{}");
        QCOMPARE(QVoverIvevoService().getGroups().size(), 2);
    }

    void damagedFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray(R"({"code":"0000","result":[{"group_id":)");
        QTest::newRow("an array") << QByteArray("[]");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe", 3);
    }
    void damagedFile() {
        QFETCH(QByteArray, content);
        {
            QFile f(groupsPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QVoverIvevoService service;
        QCOMPARE(service.getJson(),
                 (QJsonObject{{"code", "0000"}, {"msg", "success"}, {"result", QJsonArray()}}));
        // What was there is kept aside, and the next group is saved whole.
        QFile aside(groupsPath() + ".damaged");
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), content);
        service.addGroup("g", "g", QVariantList{});
        QCOMPARE(QVoverIvevoService().getGroups().size(), 1);
    }

    void missingLibrary() {
        // The test's environment points at a library that is not there.
        QVERIFY(!QVoverIvevoDll::instance()->loaded());
        QVoverIvevoService service;
        QVERIFY(!service.libraryError().isEmpty());
        service.addGroup("kept", "kept", QVariantList{});
        service.showVoverIvevo("app", "http://127.0.0.1:1/condition_stock", "1", "s", 1);
        QCOMPARE(service.getGroups().size(), 1);
    }
};

QTEST_MAIN(TestCloudGroups)
#include "tst_cloud_groups.moc"
