#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

// Turns a text into an opaque hexadecimal string and back (triple DES in CBC mode with block
// padding, fixed key). Used for the remembered password in the local database.
class QCrypto : public QObject {
    Q_OBJECT
public:
    explicit QCrypto(QObject* parent = nullptr);

    // Both return an empty text when the input cannot be handled; nothing is thrown to QML.
    Q_INVOKABLE QVariant encode(const QString& src) const;
    Q_INVOKABLE QVariant decode(const QString& src) const;

    // The cipher steps themselves; they throw std::runtime_error carrying the failing step's
    // text ("cipher init error:", "cipher update error", "cipher final error") or, for text
    // that is not even-length hexadecimal, "cipher input error".
    static QByteArray encrypt(const QByteArray& plain);
    static QByteArray decrypt(const QByteArray& cipher);
    static QByteArray fromHexStrict(const QString& text, bool* ok);
};
