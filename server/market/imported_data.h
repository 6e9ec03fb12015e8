// What earlier imports left in DATA/market/import (layout in bar_store.h), as the market
// reads it: the securities list at start, a few newest bars of each series at start, and
// whole series only when a chart asks for them.
#pragma once

#include "server/market/history.h"
#include "server/market/security_list.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vq::market {

// The minute bars of one security, found by day.
struct MinuteSeries {
    std::vector<Bar> bars;                          // ascending
    std::map<int, std::pair<size_t, size_t>> days;  // yyyymmdd -> [begin, end) in bars

    // The 240 minutes of a day as they traded; a minute without a bar (no trade, or a gap
    // in the file) stays at the last price with no volume, starting from `open`. Empty when
    // the day has no minutes.
    std::vector<Bar> day(int yyyymmdd, float open) const;
};

class ImportedData {
public:
    ImportedData() = default;
    ImportedData(const ImportedData&) = delete;
    ImportedData& operator=(const ImportedData&) = delete;
    ~ImportedData();

    // Reads the list and which series there are; an empty or missing folder holds nothing.
    // The files are linked into a folder of this process's own first, so an import while
    // the server runs never changes what it reads later; that folder goes with it.
    void open(const std::string& dataDir);

    // Listed securities that have daily bars (the ones that may join the universe).
    std::vector<ListedSecurity> listedWithBars() const;
    // Changes with every import; 0 when nothing (or an earlier version's import, which
    // cleared the stored days itself) was imported.
    uint64_t stamp() const { return stamp_; }

    // Keys are CODE.MARKET.
    const std::vector<std::string>& dailyKeys() const { return dailyKeys_; }
    bool hasMinutes(const std::string& key) const;

    // The daily series up to `lastDay` (yyyymmdd) with its dividends; empty if unreadable.
    DailySeries daily(const std::string& key, int lastDay) const;
    // The newest bars up to `lastDay`, at most `n`.
    std::vector<Bar> lastBars(const std::string& key, int lastDay, size_t n) const;
    MinuteSeries minutes(const std::string& key) const;

private:
    std::string dir_;
    std::string serving_;  // our own links to the files, removed at the end
    uint64_t stamp_ = 0;
    std::vector<ListedSecurity> listed_;
    std::vector<std::string> dailyKeys_;
    std::map<std::string, bool> legacy_;   // daily key -> kept as CSV by an earlier version
    std::vector<std::string> minuteKeys_;  // sorted
};

}  // namespace vq::market
