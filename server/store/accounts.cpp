#include "server/store/accounts.h"

#include "server/store/database.h"
#include "server/store/password.h"

namespace vq::store {

namespace {

User readUser(Query& q) {
    User u;
    u.id = q.integer(0);
    u.uid = q.text(1);
    u.name = q.text(2);
    u.passwordHash = q.text(3);
    u.createdAt = q.integer(4);
    return u;
}

const char* const kUserColumns = "SELECT id, uid, name, password_hash, created_at FROM users";

}  // namespace

bool Accounts::validName(const QString& name) {
    if (name.isEmpty() || name.size() > 32) {
        return false;
    }
    for (const QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c.isNonCharacter() ||
            c.isSurrogate()) {
            return false;
        }
    }
    return true;
}

bool Accounts::validPassword(const QString& password) {
    return !password.isEmpty() && password.size() <= 128;
}

Accounts::AddResult Accounts::addUser(const QString& name, const QString& password) {
    if (!validName(name) || !validPassword(password)) {
        return AddResult::Invalid;
    }
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) {
        throw StoreError("cannot hash the password");
    }
    Transaction tx(db_);
    Query exists(db_, QStringLiteral("SELECT 1 FROM users WHERE name = ?"));
    exists.bind(name).exec();
    if (exists.next()) {
        return AddResult::Exists;
    }
    Query(db_, QStringLiteral("INSERT INTO users (name, uid, password_hash, created_at)"
                              " VALUES (?, ?, ?, ?)"))
        .bind(name)
        .bind(randomId())
        .bind(hash)
        .bind(nowSeconds())
        .exec();
    tx.commit();
    return AddResult::Added;
}

bool Accounts::setPassword(const QString& name, const QString& password) {
    if (!validPassword(password)) {
        return false;
    }
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) {
        throw StoreError("cannot hash the password");
    }
    Transaction tx(db_);
    Query q(db_, QStringLiteral("UPDATE users SET password_hash = ? WHERE name = ?"));
    q.bind(hash).bind(name).exec();
    const bool changed = q.rowsAffected() > 0;
    if (changed) {
        // A new password ends every session opened with the old one.
        Query(db_, QStringLiteral("DELETE FROM sessions WHERE user_id ="
                                  " (SELECT id FROM users WHERE name = ?)"))
            .bind(name)
            .exec();
    }
    tx.commit();
    return changed;
}

std::vector<User> Accounts::users() {
    Query q(db_, QString::fromLatin1(kUserColumns) + QStringLiteral(" ORDER BY id"));
    q.exec();
    std::vector<User> out;
    while (q.next()) {
        out.push_back(readUser(q));
    }
    return out;
}

std::optional<User> Accounts::byName(const QString& name) {
    Query q(db_, QString::fromLatin1(kUserColumns) + QStringLiteral(" WHERE name = ?"));
    q.bind(name).exec();
    if (!q.next()) {
        return std::nullopt;
    }
    return readUser(q);
}

std::optional<User> Accounts::byUid(const QString& uid) {
    Query q(db_, QString::fromLatin1(kUserColumns) + QStringLiteral(" WHERE uid = ?"));
    q.bind(uid).exec();
    if (!q.next()) {
        return std::nullopt;
    }
    return readUser(q);
}

qint64 Accounts::lockedFor(const QString& name, qint64 now) {
    Query q(db_, QStringLiteral("SELECT locked_until FROM login_locks WHERE name = ?"));
    q.bind(name).exec();
    if (!q.next()) {
        return 0;
    }
    const qint64 until = q.integer(0);
    return until > now ? until - now : 0;
}

bool Accounts::recordFailure(const QString& name, qint64 now, const ThrottlePolicy& policy) {
    Transaction tx(db_);
    Query(db_, QStringLiteral("INSERT INTO login_failures (name, failed_at) VALUES (?, ?)"))
        .bind(name)
        .bind(now)
        .exec();
    // Old failures no longer count; dropping them keeps the table small.
    Query(db_, QStringLiteral("DELETE FROM login_failures WHERE failed_at <= ?"))
        .bind(now - policy.windowSeconds)
        .exec();
    Query count(db_, QStringLiteral("SELECT COUNT(*) FROM login_failures WHERE name = ?"));
    count.bind(name).exec();
    const bool lock = count.next() && count.integer(0) >= policy.maxFailures;
    if (lock) {
        Query(db_, QStringLiteral("INSERT INTO login_locks (name, locked_until) VALUES (?, ?)"
                                  " ON CONFLICT (name) DO UPDATE SET locked_until ="
                                  " excluded.locked_until"))
            .bind(name)
            .bind(now + policy.lockSeconds)
            .exec();
        // The lock starts a fresh count: after it ends the name has its full allowance again.
        Query(db_, QStringLiteral("DELETE FROM login_failures WHERE name = ?")).bind(name).exec();
    }
    tx.commit();
    return lock;
}

void Accounts::clearFailures(const QString& name) {
    Transaction tx(db_);
    Query(db_, QStringLiteral("DELETE FROM login_failures WHERE name = ?")).bind(name).exec();
    Query(db_, QStringLiteral("DELETE FROM login_locks WHERE name = ?")).bind(name).exec();
    tx.commit();
}

QString Accounts::openSession(qint64 userId, const QString& pcid, const QString& version,
                              qint64 now) {
    const QString sid = randomId();
    Query(db_, QStringLiteral("INSERT INTO sessions (sid, user_id, pcid, version, created_at,"
                              " last_seen) VALUES (?, ?, ?, ?, ?, ?)"))
        .bind(sessionDigest(sid))
        .bind(userId)
        .bind(pcid)
        .bind(version)
        .bind(now)
        .bind(now)
        .exec();
    return sid;
}

std::optional<Session> Accounts::touchSession(const QString& sid, qint64 now, int timeout) {
    Query q(db_,
            QStringLiteral("UPDATE sessions SET last_seen = ? WHERE sid = ? AND last_seen >= ?"));
    q.bind(now).bind(sessionDigest(sid)).bind(now - timeout).exec();
    if (q.rowsAffected() <= 0) {
        return std::nullopt;
    }
    return findSession(sid);
}

std::optional<Session> Accounts::findSession(const QString& sid) {
    Query q(db_,
            QStringLiteral("SELECT sid, user_id, pcid, last_seen FROM sessions WHERE sid = ?"));
    q.bind(sessionDigest(sid)).exec();
    if (!q.next()) {
        return std::nullopt;
    }
    Session s;
    s.sid = q.text(0);
    s.userId = q.integer(1);
    s.pcid = q.text(2);
    s.lastSeen = q.integer(3);
    return s;
}

int Accounts::purgeSessions(qint64 now, qint64 age) {
    Query q(db_, QStringLiteral("DELETE FROM sessions WHERE last_seen < ?"));
    q.bind(now - age).exec();
    return q.rowsAffected();
}

}  // namespace vq::store
