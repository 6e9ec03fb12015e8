#include "server/http/address_quota.h"

namespace vq::http {

void AddressQuota::expire(Entry& e, int64_t now) {
    while (!e.events.empty() && e.events.front().first <= now - window_) {
        e.amount -= e.events.front().second;
        e.events.pop_front();
    }
}

AddressQuota::Use AddressQuota::useOf(const Entry& e) const {
    Use u;
    u.count = int(e.events.size());
    u.amount = e.amount;
    u.oldest = e.events.empty() ? 0 : e.events.front().first;
    u.newest = e.events.empty() ? 0 : e.events.back().first;
    return u;
}

AddressQuota::Entry* AddressQuota::find(const std::string& key, int64_t now) {
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        return nullptr;
    }
    expire(it->second, now);
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    return &it->second;
}

AddressQuota::Entry& AddressQuota::slot(const std::string& key, int64_t now) {
    if (Entry* e = find(key, now)) {
        return *e;
    }
    if (entries_.size() >= maxKeys_) {
        for (auto it = entries_.begin(); it != entries_.end();) {
            expire(it->second, now);
            if (it->second.events.empty()) {
                lru_.erase(it->second.lru);
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        while (entries_.size() >= maxKeys_) {
            entries_.erase(lru_.back());
            lru_.pop_back();
        }
    }
    lru_.push_front(key);
    Entry& e = entries_[key];
    e.lru = lru_.begin();
    return e;
}

AddressQuota::Use AddressQuota::use(const std::string& key, int64_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* e = find(key, now);
    return e ? useOf(*e) : Use{};
}

void AddressQuota::add(const std::string& key, int64_t now, int64_t amount) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = slot(key, now);
    e.events.emplace_back(now, amount);
    e.amount += amount;
    if (e.events.size() > kMaxEvents) {
        e.amount -= e.events.front().second;
        e.events.pop_front();
    }
}

bool AddressQuota::take(const std::string& key, int64_t now, int maxCount, int64_t maxAmount,
                        int64_t amount) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = slot(key, now);
    if (int(e.events.size()) + 1 > maxCount || e.amount + amount > maxAmount) {
        return false;
    }
    e.events.emplace_back(now, amount);
    e.amount += amount;
    return true;
}

void AddressQuota::forget(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        lru_.erase(it->second.lru);
        entries_.erase(it);
    }
}

}  // namespace vq::http
