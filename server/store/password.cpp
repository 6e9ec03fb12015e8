#include "server/store/password.h"

#include <sodium.h>

#include <mutex>

namespace vq::store {

bool cryptoReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

QString hashPassword(const QString& password) {
    if (!cryptoReady()) {
        return {};
    }
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                              crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return {};
    }
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password) {
    if (!cryptoReady()) {
        return false;
    }
    const QByteArray h = hash.toLatin1();
    if (h.isEmpty() || h.size() >= static_cast<int>(crypto_pwhash_STRBYTES)) {
        return false;
    }
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

void verifyDummy(const QString& password) {
    static const QString dummy = hashPassword(QStringLiteral("no such account"));
    verifyPassword(dummy, password);
}

QString randomId() {
    cryptoReady();
    unsigned char bytes[16];
    randombytes_buf(bytes, sizeof bytes);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), 16).toHex());
}

QString sessionDigest(const QString& sid) {
    cryptoReady();
    const QByteArray text = sid.toUtf8();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(text.constData()),
                       static_cast<unsigned long long>(text.size()));
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex());
}

}  // namespace vq::store
