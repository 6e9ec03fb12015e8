// How much each source has used within a sliding window: a count of events and a sum of
// their sizes per key (an address, or a name at an address). Bounded in memory whatever the
// keys: past maxKeys, keys whose events have all left the window are forgotten first, then the
// least recently used ones. Thread-safe.
#pragma once

#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vq::http {

class AddressQuota {
public:
    struct Use {
        int count = 0;
        int64_t amount = 0;
        int64_t oldest = 0;  // time of the oldest event still in the window (0: none)
        int64_t newest = 0;  // time of the newest one
    };

    AddressQuota(int64_t windowSeconds, size_t maxKeys = 65536)
        : window_(windowSeconds), maxKeys_(maxKeys) {}

    // What `key` has used in the window ending at `now`.
    Use use(const std::string& key, int64_t now);
    // Records one event of `amount` for `key`.
    void add(const std::string& key, int64_t now, int64_t amount = 1);
    // Records the event only if it keeps the key within `maxCount` events and `maxAmount`;
    // false (nothing recorded) otherwise.
    bool take(const std::string& key, int64_t now, int maxCount, int64_t maxAmount, int64_t amount);
    void forget(const std::string& key);
    int64_t window() const { return window_; }

private:
    struct Entry {
        std::deque<std::pair<int64_t, int64_t>> events;  // (time, amount), oldest first
        int64_t amount = 0;
        std::list<std::string>::iterator lru;
    };
    Entry* find(const std::string& key, int64_t now);
    Entry& slot(const std::string& key, int64_t now);
    void expire(Entry& e, int64_t now);
    Use useOf(const Entry& e) const;

    // Events kept per key; older ones beyond this are dropped (callers cap far below it).
    static constexpr size_t kMaxEvents = 4096;
    std::mutex mutex_;
    int64_t window_;
    size_t maxKeys_;
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> lru_;  // most recently used first
};

}  // namespace vq::http
