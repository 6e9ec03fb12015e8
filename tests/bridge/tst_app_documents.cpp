#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>
#include <QtTest>

#include "bridge/app_documents.h"
#include "bridge/url_placeholders.h"

Q_DECLARE_METATYPE(QJsonValue)

class TestAppDocuments : public QObject {
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void baseInfoIsFixed();
    void placeholderValuesAreEncoded();
};

namespace {
const char* kDoc = R"({"url": {"login": "http://h/login", "quote": [{"url": "tcp://h:1"}]},
                      "user": {"id": 7, "sessionId": "s-1", "empty": {}},
                      "": {"x": 1}})";
}

void TestAppDocuments::lookup_data() {
    QTest::addColumn<QString>("doc");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kind");  // invalid | undefined | object | array | value
    QTest::addColumn<QString>("text");
    QTest::newRow("string member") << kDoc << "url.login"
                                   << "value"
                                   << "http://h/login";
    QTest::newRow("number member") << kDoc << "user.id"
                                   << "value"
                                   << "7";
    QTest::newRow("whole object") << kDoc << "url"
                                  << "object"
                                  << "";
    QTest::newRow("array") << kDoc << "url.quote"
                           << "array"
                           << "";
    QTest::newRow("missing last member is undefined") << kDoc << "url.nothing"
                                                      << "undefined"
                                                      << "";
    QTest::newRow("missing first part is invalid") << kDoc << "nothing.login"
                                                   << "invalid"
                                                   << "";
    QTest::newRow("through a non-object is invalid") << kDoc << "url.login.x"
                                                     << "invalid"
                                                     << "";
    QTest::newRow("through an empty object is invalid") << kDoc << "user.empty.x"
                                                        << "invalid"
                                                        << "";
    QTest::newRow("empty document, one part") << "{}"
                                              << "user"
                                              << "invalid"
                                              << "";
    QTest::newRow("empty parts are kept") << kDoc << ".x"
                                          << "value"
                                          << "1";
}

void TestAppDocuments::lookup() {
    QFETCH(QString, doc);
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    const QVariant value = bridge::lookupPath(QJsonDocument::fromJson(doc.toUtf8()).object(), path);
    if (kind == "invalid") {
        QVERIFY(!value.isValid());
        return;
    }
    QVERIFY(value.isValid());
    if (kind == "object")
        QCOMPARE(value.userType(), int(QMetaType::QJsonObject));
    if (kind == "array")
        QCOMPARE(value.userType(), int(QMetaType::QJsonArray));
    if (kind == "undefined")
        QVERIFY(value.value<QJsonValue>().isUndefined());
    if (kind == "value")
        QCOMPARE(bridge::variantText(value), text);
}

void TestAppDocuments::baseInfoIsFixed() {
    const QJsonObject info = bridge::baseInfo();
    QCOMPARE(info.value("appName").toString(), QStringLiteral("VeltoQuorin"));
    QCOMPARE(info.value("appVer").toString(), QStringLiteral("velto_winpc_tax1_1.000006"));
    QVERIFY(!info.value("pcID").toString().isEmpty());
    bridge::setLoginDocument(QJsonObject{{"appVer", "other"}});
    QCOMPARE(bridge::variantText(bridge::lookupPath(bridge::baseInfo(), "appVer")),
             QStringLiteral("velto_winpc_tax1_1.000006"));
    // Before any login the session id is invalid.
    bridge::setLoginDocument(QJsonObject());
    QVERIFY(!bridge::lookupPath(bridge::loginDocument(), "user.sessionId").isValid());
}

void TestAppDocuments::placeholderValuesAreEncoded() {
    // A value with URL syntax in it must not change the URL's structure.
    bridge::setLoginDocument(QJsonObject{{"user", QJsonObject{{"id", "a&b=c d"}}}});
    const QString url = bridge::fillUrlPlaceholders("http://h/p?id=%7B%7Buser.id%7D%7D&x=1");
    QCOMPARE(QUrl(url).query(QUrl::FullyDecoded), QStringLiteral("id=a&b=c d&x=1"));
    QCOMPARE(QUrlQuery(QUrl(url)).queryItemValue("id", QUrl::FullyDecoded),
             QStringLiteral("a&b=c d"));
    bridge::setLoginDocument(QJsonObject());
}

QTEST_MAIN(TestAppDocuments)
#include "tst_app_documents.moc"
