// Password hashes: Argon2id through libsodium, in its self-describing text form (algorithm,
// parameters and salt travel with the hash, so stronger settings later still verify old ones).
#pragma once

#include <QByteArray>
#include <QString>

namespace vq::store {

// Initialises libsodium once; false when the library cannot start (no entropy source).
bool cryptoReady();
// Empty on failure (out of memory).
QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);
// Spends the same time as a verification, for names without an account, so that timing does
// not tell which names exist.
void verifyDummy(const QString& password);
// 128 random bits as 32 lower-case hex digits.
QString randomId();
// What is stored of a session id: its SHA-256 as 64 lower-case hex digits. The id itself is
// a bearer secret and never reaches the database, so a copy of it lets nobody in.
QString sessionDigest(const QString& sid);

}  // namespace vq::store
