#include "bridge/qcrypto.h"

#include <openssl/evp.h>

#include <QDebug>
#include <memory>
#include <stdexcept>

namespace {

constexpr unsigned char kKey[] = "Hb4PwYc9LsNq2VeKd8RtXj3G";
constexpr unsigned char kIv[] = "Qm7TzrWa";
static_assert(sizeof(kKey) == 25 && sizeof(kIv) == 9, "24-byte key, 8-byte IV");

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

QByteArray runCipher(const QByteArray& input, bool encrypting) {
    CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_cbc(), nullptr, kKey, kIv,
                                  encrypting ? 1 : 0) != 1) {
        throw std::runtime_error("cipher init error:");
    }
    const int block = EVP_CIPHER_CTX_block_size(ctx.get());
    QByteArray output(input.size() + block, Qt::Uninitialized);
    int written = 0;
    if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(output.data()), &written,
                         reinterpret_cast<const unsigned char*>(input.constData()),
                         input.size()) != 1) {
        throw std::runtime_error("cipher update error");
    }
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(output.data()) + written,
                           &tail) != 1) {
        throw std::runtime_error("cipher final error");
    }
    output.resize(written + tail);
    return output;
}

int hexDigit(QChar c) {
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

}  // namespace

QCrypto::QCrypto(QObject* parent) : QObject(parent) {}

QByteArray QCrypto::encrypt(const QByteArray& plain) {
    return runCipher(plain, true);
}

QByteArray QCrypto::decrypt(const QByteArray& cipher) {
    return runCipher(cipher, false);
}

QByteArray QCrypto::fromHexStrict(const QString& text, bool* ok) {
    *ok = false;
    if (text.size() % 2 != 0) {
        return QByteArray();
    }
    QByteArray bytes(text.size() / 2, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(text.at(2 * i));
        const int low = hexDigit(text.at(2 * i + 1));
        if (high < 0 || low < 0) {
            return QByteArray();
        }
        bytes[i] = char(high << 4 | low);
    }
    *ok = true;
    return bytes;
}

QVariant QCrypto::encode(const QString& src) const {
    try {
        return QString::fromLatin1(encrypt(src.toUtf8()).toHex());
    } catch (const std::exception& e) {
        qWarning() << "QCrypto.encode:" << e.what();
        return QString();
    }
}

QVariant QCrypto::decode(const QString& src) const {
    try {
        bool ok = false;
        const QByteArray bytes = fromHexStrict(src, &ok);
        if (!ok) {
            throw std::runtime_error("cipher input error");
        }
        return QString::fromUtf8(decrypt(bytes));
    } catch (const std::exception& e) {
        qWarning() << "QCrypto.decode:" << e.what();
        return QString();
    }
}
