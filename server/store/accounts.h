// Accounts, sessions and the login throttle.
//
// A user has a numeric row id (internal only) and a public `uid`: 128 random bits that the
// terminal sends back as "user_id" with its watchlist and formula requests. Those requests
// carry no session, so the id they name must not be guessable from another user's.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace vq::store {

class Database;

struct User {
    qint64 id = 0;
    QString uid, name, passwordHash;
    qint64 createdAt = 0;
};

struct Session {
    QString sid;  // the stored digest of the id (password.h), never the id itself
    qint64 userId = 0;
    QString pcid;
    qint64 lastSeen = 0;
};

struct ThrottlePolicy {
    int maxFailures = 5;      // failures within the window that lock the name
    int windowSeconds = 600;  // how far back failures count
    int lockSeconds = 600;    // how long a locked name is refused
};

class Accounts {
public:
    explicit Accounts(Database& db) : db_(db) {}

    // Names: 1–32 characters without spaces or control characters.
    static bool validName(const QString& name);
    // Passwords: 1–128 characters.
    static bool validPassword(const QString& password);

    enum class AddResult { Added, Exists, Invalid };
    AddResult addUser(const QString& name, const QString& password);
    // False when there is no such user (or the password is not acceptable).
    bool setPassword(const QString& name, const QString& password);
    std::vector<User> users();
    std::optional<User> byName(const QString& name);
    std::optional<User> byUid(const QString& uid);

    // Seconds left on a lock of this name at `now` (0: not locked).
    qint64 lockedFor(const QString& name, qint64 now);
    // Records one failed login; true when this failure locked the name.
    bool recordFailure(const QString& name, qint64 now, const ThrottlePolicy& policy);
    void clearFailures(const QString& name);

    // A new session; returns its id, of which only the digest is stored.
    QString openSession(qint64 userId, const QString& pcid, const QString& version, qint64 now);
    // The session if it exists and was seen within `timeout` seconds; refreshes its time.
    std::optional<Session> touchSession(const QString& sid, qint64 now, int timeout);
    // The session if it exists at all (expired or not), without touching it.
    std::optional<Session> findSession(const QString& sid);
    // Drops sessions not seen for `age` seconds; returns how many went.
    int purgeSessions(qint64 now, qint64 age);

private:
    Database& db_;
};

}  // namespace vq::store
