// Watchlist answers kept in memory: a terminal polls its watchlist far more often than it
// changes it, so a read is served from here without touching the database, and every change
// made through this server drops the user's entry.
//
// A read that races a change must not put the old state back: every user has a generation
// that a change advances, and an answer is kept only if no change happened while it was read.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>

namespace vq::http {

class WatchlistCache {
public:
    explicit WatchlistCache(size_t maxUsers = 100000) : maxUsers_(maxUsers) {}

    // The account id of a public uid, once seen (the pairing never changes).
    std::optional<qint64> account(const QString& uid) const;
    void rememberAccount(const QString& uid, qint64 id);

    std::shared_ptr<const std::string> answer(qint64 userId) const;
    // Take the generation before reading the database, hand it back with what was read.
    uint64_t generation(qint64 userId) const;
    void keep(qint64 userId, uint64_t generation, std::string answer);
    void invalidate(qint64 userId);

private:
    mutable std::shared_mutex mutex_;
    size_t maxUsers_;
    std::unordered_map<std::string, qint64> accounts_;
    std::unordered_map<qint64, std::shared_ptr<const std::string>> answers_;
    std::unordered_map<qint64, uint64_t> generations_;
};

}  // namespace vq::http
