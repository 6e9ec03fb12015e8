#include "server/market/imported_data.h"

#include "server/market/bar_store.h"
#include "server/market/calendar.h"
#include "server/market/csv.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

namespace vq::market {

namespace {

namespace fs = std::filesystem;

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Removes the serving folders of processes that ended without removing theirs.
void removeStaleServing(const fs::path& market) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(market, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("import.serving-", 0) != 0)
            continue;
        const long pid = std::atol(name.c_str() + 15);
        if (pid > 0 && pid != long(getpid()) && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            fs::remove_all(e.path(), ec);
    }
}

// A folder of hard links to the files of `from` (the same files, not copies); empty when
// the links cannot be made.
std::string linkServing(const fs::path& from) {
    static std::atomic<int> counter{0};
    const fs::path to = from.parent_path() / ("import.serving-" + std::to_string(getpid()) + "-" +
                                              std::to_string(++counter));
    std::error_code ec;
    fs::remove_all(to, ec);
    if (!fs::create_directory(to, ec))
        return {};
    for (const auto& e : fs::directory_iterator(from, ec)) {
        fs::create_hard_link(e.path(), to / e.path().filename(), ec);
        if (ec) {
            fs::remove_all(to, ec);
            return {};
        }
    }
    return to.string();
}

}  // namespace

std::vector<Bar> MinuteSeries::day(int yyyymmdd, float open) const {
    auto it = days.find(yyyymmdd);
    if (it == days.end())
        return {};
    std::vector<Bar> out(session::kMinutes);
    size_t k = it->second.first;
    float last = open;
    for (int m = 0; m < session::kMinutes; ++m) {
        Bar& b = out[size_t(m)];
        b.time = beijingTime(yyyymmdd, 0, 0) + minuteEnd(m);
        if (k < it->second.second && bars[k].time == b.time) {
            b = bars[k++];
            last = b.close;
        } else {
            b.open = b.high = b.low = b.close = last;
        }
    }
    return out;
}

ImportedData::~ImportedData() {
    std::error_code ec;
    if (!serving_.empty())
        fs::remove_all(serving_, ec);
}

void ImportedData::open(const std::string& dataDir) {
    std::error_code ec;
    if (!serving_.empty())
        fs::remove_all(serving_, ec);
    serving_.clear();
    dir_.clear();
    stamp_ = 0;
    listed_.clear();
    dailyKeys_.clear();
    legacy_.clear();
    minuteKeys_.clear();
    if (dataDir.empty())
        return;
    const fs::path market = fs::path(dataDir) / "market";
    dir_ = (market / "import").string();
    if (!fs::is_directory(dir_, ec))
        return;
    removeStaleServing(market);
    serving_ = linkServing(dir_);
    if (!serving_.empty())
        dir_ = serving_;
    for (const auto& e : fs::directory_iterator(dir_, ec)) {
        const std::string name = e.path().filename().string();
        if (endsWith(name, ".day")) {
            dailyKeys_.push_back(name.substr(0, name.size() - 4));
            legacy_[dailyKeys_.back()] = false;
        } else if (endsWith(name, ".min")) {
            minuteKeys_.push_back(name.substr(0, name.size() - 4));
        } else if (endsWith(name, ".csv") && !endsWith(name, ".div.csv") &&
                   name != "securities.csv") {
            const std::string key = name.substr(0, name.size() - 4);
            if (!legacy_.count(key)) {
                dailyKeys_.push_back(key);
                legacy_[key] = true;
            }
        }
    }
    // A key with both forms keeps the binary one.
    std::sort(dailyKeys_.begin(), dailyKeys_.end());
    dailyKeys_.erase(std::unique(dailyKeys_.begin(), dailyKeys_.end()), dailyKeys_.end());
    std::sort(minuteKeys_.begin(), minuteKeys_.end());
    stamp_ = std::strtoull(readWholeFile((fs::path(dir_) / "stamp").string()).c_str(), nullptr, 10);
    std::vector<std::string> problems;
    readSecurityList(readWholeFile((fs::path(dir_) / "securities.csv").string()), "securities.csv",
                     listed_, problems);
}

std::vector<ListedSecurity> ImportedData::listedWithBars() const {
    std::vector<ListedSecurity> out;
    for (const ListedSecurity& s : listed_)
        if (std::binary_search(dailyKeys_.begin(), dailyKeys_.end(),
                               s.code + "." + std::to_string(s.market)))
            out.push_back(s);
    return out;
}

bool ImportedData::hasMinutes(const std::string& key) const {
    return std::binary_search(minuteKeys_.begin(), minuteKeys_.end(), key);
}

DailySeries ImportedData::daily(const std::string& key, int lastDay) const {
    DailySeries ds;
    auto it = legacy_.find(key);
    if (it == legacy_.end())
        return ds;
    std::vector<std::string> problems;
    if (it->second) {
        ds =
            parseDailyCsv(readWholeFile((fs::path(dir_) / (key + ".csv")).string()), key, problems);
    } else if (readBarFile((fs::path(dir_) / (key + ".day")).string(), BarFileKind::Daily,
                           ds.bars)) {
        ds.days.reserve(ds.bars.size());
        for (const Bar& b : ds.bars)
            ds.days.push_back(beijingDate(b.time));
    }
    // Days the market is simulating (or will) are its own.
    while (!ds.days.empty() && ds.days.back() > lastDay) {
        ds.days.pop_back();
        ds.bars.pop_back();
    }
    const fs::path div = fs::path(dir_) / (key + ".div.csv");
    std::error_code ec;
    if (!ds.bars.empty() && fs::exists(div, ec))
        parseDividendCsv(readWholeFile(div.string()), key + ".div.csv", ds, problems);
    return ds;
}

std::vector<Bar> ImportedData::lastBars(const std::string& key, int lastDay, size_t n) const {
    auto it = legacy_.find(key);
    if (it == legacy_.end())
        return {};
    std::vector<Bar> bars;
    if (it->second) {
        bars = daily(key, lastDay).bars;
    } else {
        // A few more than asked for, in case the newest lie beyond `lastDay`.
        readLastBars((fs::path(dir_) / (key + ".day")).string(), BarFileKind::Daily, n + 8, bars);
        while (!bars.empty() && beijingDate(bars.back().time) > lastDay)
            bars.pop_back();
        if (bars.empty())
            bars = daily(key, lastDay).bars;
    }
    if (bars.size() > n)
        bars.erase(bars.begin(), bars.end() - long(n));
    return bars;
}

MinuteSeries ImportedData::minutes(const std::string& key) const {
    MinuteSeries m;
    if (!hasMinutes(key) ||
        !readBarFile((fs::path(dir_) / (key + ".min")).string(), BarFileKind::Minute, m.bars))
        return m;
    for (size_t k = 0; k < m.bars.size(); ++k) {
        const int day = beijingDate(m.bars[k].time);
        auto [it, fresh] = m.days.emplace(day, std::make_pair(k, k + 1));
        if (!fresh)
            it->second.second = k + 1;
    }
    return m;
}

}  // namespace vq::market
