#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "service/qbase_service.h"

namespace {

QJsonObject group(const QString& name, const QStringList& formulas, const QString& extra = {}) {
    QJsonObject g{{"name", name}, {"formulas", QJsonArray::fromStringList(formulas)}};
    if (!extra.isEmpty())
        g.insert("note", extra);
    return g;
}

void writeRaw(const QByteArray& bytes) {
    QFile file(QBaseService::ownGroupsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

}  // namespace

class TestBaseService : public QObject {
    Q_OBJECT

private slots:
    void init() { QFile::remove(QBaseService::ownGroupsFilePath()); }

    void documentsAreShared();
    void unreadableGroupsFile_data();
    void unreadableGroupsFile();
    void addEditRemove();
    void editAndRemoveActOnFirstOnly();
    void missingGroupWritesNothing();
    void fileIsIndentedJson();
};

void TestBaseService::documentsAreShared() {
    QBaseService a;
    QBaseService b;
    QVERIFY(!b.getLoginValue("user.sessionId").isValid());
    a.setLoginInfo(QJsonObject{{"user", QJsonObject{{"sessionId", "abc"}}}});
    QCOMPARE(b.getLoginValue("user.sessionId").value<QJsonValue>().toString(),
             QStringLiteral("abc"));
    a.setServerAddress(QJsonObject{{"url", QJsonObject{{"login", "http://h/l"}}}});
    QCOMPARE(b.getServerAddressValue("url").toJsonObject().size(), 1);
    QVERIFY(b.getServerAddressValue("url.nothing").value<QJsonValue>().isUndefined());
    QVERIFY(!b.getServerAddressValue("nothing.login").isValid());
    QCOMPARE(b.getBaseInfoValue("appVer").value<QJsonValue>().toString(),
             QStringLiteral("velto_winpc_tax1_1.000006"));
    a.setServerAddress(QJsonObject());
    QVERIFY(!b.getServerAddressValue("url").isValid());
}

void TestBaseService::unreadableGroupsFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("corrupt") << QByteArray("[{\"name\":");
    QTest::newRow("object, not array") << QByteArray("{\"name\":\"x\"}");
}

void TestBaseService::unreadableGroupsFile() {
    QFETCH(QByteArray, content);
    writeRaw(content);
    QBaseService s;
    QVERIFY(s.getLoadLocalFormulaGroup().toJsonArray().isEmpty());
    // The next add replaces the bad file with an array of just the new group.
    s.addLocalFormulaGroup(group("mine", {"MA"}));
    QCOMPARE(s.getLoadLocalFormulaGroup().toJsonArray(), QJsonArray({group("mine", {"MA"})}));
}

void TestBaseService::addEditRemove() {
    QBaseService s;
    s.addLocalFormulaGroup(group("a", {"MA", "MACD"}, "kept"));
    s.addLocalFormulaGroup(group("b", {"KDJ"}));
    s.editLocalFormulaGroup("a", "c");
    QJsonArray groups = s.getLoadLocalFormulaGroup().toJsonArray();
    QCOMPARE(groups.at(0).toObject(), group("c", {"MA", "MACD"}, "kept"));
    s.removeLocalFormulaGroup("c");
    groups = s.getLoadLocalFormulaGroup().toJsonArray();
    QCOMPARE(groups, QJsonArray({group("b", {"KDJ"})}));
}

void TestBaseService::editAndRemoveActOnFirstOnly() {
    QBaseService s;
    s.addLocalFormulaGroup(group("dup", {"MA"}));
    s.addLocalFormulaGroup(group("dup", {"VOL"}));
    s.editLocalFormulaGroup("dup", "renamed");
    QJsonArray groups = s.getLoadLocalFormulaGroup().toJsonArray();
    QCOMPARE(groups.at(0).toObject().value("name").toString(), QStringLiteral("renamed"));
    QCOMPARE(groups.at(1).toObject().value("name").toString(), QStringLiteral("dup"));
    s.removeLocalFormulaGroup("renamed");
    QCOMPARE(s.getLoadLocalFormulaGroup().toJsonArray(), QJsonArray({group("dup", {"VOL"})}));
}

void TestBaseService::missingGroupWritesNothing() {
    QBaseService s;
    s.editLocalFormulaGroup("none", "x");
    s.removeLocalFormulaGroup("none");
    QVERIFY(!QFile::exists(QBaseService::ownGroupsFilePath()));
}

void TestBaseService::fileIsIndentedJson() {
    QBaseService s;
    s.addLocalFormulaGroup(group("g", {"MA"}));
    QFile file(QBaseService::ownGroupsFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QJsonDocument(QJsonArray({group("g", {"MA"})})).toJson(QJsonDocument::Indented));
}

QTEST_MAIN(TestBaseService)
#include "tst_base_service.moc"
