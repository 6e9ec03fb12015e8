#include "server/http/watchlist_cache.h"

#include <mutex>

namespace vq::http {

std::optional<qint64> WatchlistCache::account(const QString& uid) const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = accounts_.find(uid.toStdString());
    if (it == accounts_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void WatchlistCache::rememberAccount(const QString& uid, qint64 id) {
    std::unique_lock<std::shared_mutex> lock(mutex_);
    if (accounts_.size() >= maxUsers_) {
        accounts_.clear();
    }
    accounts_[uid.toStdString()] = id;
}

std::shared_ptr<const std::string> WatchlistCache::answer(qint64 userId) const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = answers_.find(userId);
    return it == answers_.end() ? nullptr : it->second;
}

uint64_t WatchlistCache::generation(qint64 userId) const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = generations_.find(userId);
    return it == generations_.end() ? 0 : it->second;
}

void WatchlistCache::keep(qint64 userId, uint64_t generation, std::string answer) {
    std::unique_lock<std::shared_mutex> lock(mutex_);
    auto it = generations_.find(userId);
    if ((it == generations_.end() ? 0 : it->second) != generation) {
        return;  // changed while it was read: the next read fetches the new state
    }
    if (answers_.size() >= maxUsers_) {
        // Answers are rebuilt on demand; generations stay, they guard against stale keeps.
        answers_.clear();
    }
    answers_[userId] = std::make_shared<const std::string>(std::move(answer));
}

void WatchlistCache::invalidate(qint64 userId) {
    std::unique_lock<std::shared_mutex> lock(mutex_);
    ++generations_[userId];
    answers_.erase(userId);
}

}  // namespace vq::http
