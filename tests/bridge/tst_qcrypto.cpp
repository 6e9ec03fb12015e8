#include <QtTest>

#include "bridge/qcrypto.h"

class TestQCrypto : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void cipherLength_data();
    void cipherLength();
    void knownAnswerIsStable();
    void rejectedInput_data();
    void rejectedInput();
    void upperCaseHexAccepted();
};

void TestQCrypto::roundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("ascii") << "demo123";
    QTest::newRow("chinese") << QStringLiteral("密码：上证指数");
    QTest::newRow("block sized") << "12345678";
    QTest::newRow("long") << QString(1000, QChar('x'));
}

void TestQCrypto::roundTrip() {
    QFETCH(QString, text);
    QCrypto crypto;
    const QString encoded = crypto.encode(text).toString();
    QVERIFY(QRegularExpression("^[0-9a-f]+$").match(encoded).hasMatch());
    QCOMPARE(crypto.decode(encoded).toString(), text);
}

void TestQCrypto::cipherLength_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hexDigits");
    QTest::newRow("empty is one padding block") << "" << 16;
    QTest::newRow("7 bytes") << "1234567" << 16;
    QTest::newRow("8 bytes need a second block") << "12345678" << 32;
}

void TestQCrypto::cipherLength() {
    QFETCH(QString, text);
    QFETCH(int, hexDigits);
    QCOMPARE(QCrypto().encode(text).toString().size(), hexDigits);
}

void TestQCrypto::knownAnswerIsStable() {
    // Stored passwords must decode after an upgrade: the key, IV and cipher are fixed.
    QCrypto crypto;
    const QString first = crypto.encode("demo123").toString();
    QCOMPARE(crypto.encode("demo123").toString(), first);
    QCOMPARE(QString::fromLatin1(QCrypto::decrypt(QByteArray::fromHex(first.toLatin1()))),
             QStringLiteral("demo123"));
}

void TestQCrypto::rejectedInput_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("failure");
    const QString good = QCrypto().encode("remember me").toString();
    QString lastBlockAltered = good;
    lastBlockAltered[lastBlockAltered.size() - 1] =
        lastBlockAltered.endsWith('0') ? QChar('1') : QChar('0');
    QTest::newRow("odd length") << good.left(good.size() - 1) << "cipher input error";
    QTest::newRow("not hex") << QString("zz") + good.mid(2) << "cipher input error";
    QTest::newRow("last block altered") << lastBlockAltered << "cipher final error";
    QTest::newRow("not a whole block") << good.left(10) << "cipher final error";
}

void TestQCrypto::rejectedInput() {
    QFETCH(QString, input);
    QFETCH(QString, failure);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QCrypto.decode:.*"));
    QCOMPARE(QCrypto().decode(input).toString(), QString());
    try {
        bool ok = false;
        const QByteArray bytes = QCrypto::fromHexStrict(input, &ok);
        if (!ok)
            throw std::runtime_error("cipher input error");
        QCrypto::decrypt(bytes);
        QFAIL("decrypt accepted a corrupted text");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromLatin1(e.what()), failure);
    }
}

void TestQCrypto::upperCaseHexAccepted() {
    QCrypto crypto;
    const QString encoded = crypto.encode("Abc").toString().toUpper();
    QCOMPARE(crypto.decode(encoded).toString(), QStringLiteral("Abc"));
}

QTEST_MAIN(TestQCrypto)
#include "tst_qcrypto.moc"
