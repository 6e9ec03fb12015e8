// The market's daily series: the stored history (generated, imported, or aggregated from
// members) behind a cache, the finished live days appended to it, and today's bar on top.
#include "server/market/market_impl.h"

#include "server/market/calendar.h"
#include "server/market/day_store.h"

#include <algorithm>

namespace vq::market {

namespace {

constexpr size_t kCacheSize = 400;  // generated series kept in memory
constexpr int kIntradayDays = 100;  // history days the minute cycles reach back
// Finished live days whose minute bars are kept as they traded (about 47 MB a day for the
// full universe); older days draw theirs from the day bar.
constexpr size_t kKeptMinuteDays = 2;

}  // namespace

std::vector<int> MarketImpl::tradingDays() const {
    std::vector<int> out = gen_->calendar();
    std::lock_guard<std::mutex> lock(appendMu_);
    out.insert(out.end(), appendedDays_.begin(), appendedDays_.end());
    return out;
}

void MarketImpl::computeD5(std::vector<double>& d5) {
    for (const Security& s : u_.securities) {
        if (isAggregate(s))
            continue;
        const auto& rv = recentVol_[size_t(s.index)];
        double sum = 0;
        for (double v : rv)
            sum += v;
        d5[size_t(s.index)] = rv.empty() ? 0 : sum / double(rv.size());
    }
    for (const Security& s : u_.securities)
        if (isAggregate(s)) {
            double sum = 0;
            for (int m : u_.params[size_t(s.index)].members)
                sum += d5[size_t(m)];
            d5[size_t(s.index)] = sum;
        }
}

// Which securities have imported series. Codes that are in neither the universe nor
// (as added securities) the list are passed over; the import refuses them anyway.
void MarketImpl::loadImports() {
    for (const std::string& key : imports_.dailyKeys()) {
        const auto dot = key.find('.');
        if (dot == std::string::npos)
            continue;
        const int sec = u_.find(key.substr(0, dot), std::atoi(key.c_str() + dot + 1));
        if (sec < 0)
            continue;
        importedKey_[sec] = key;
        if (imports_.hasMinutes(key))
            minuteDays_.insert(sec);
    }
}

// History days the minute cycles reach back: imported minutes as far as they go.
size_t MarketImpl::intradayDays(int i) const {
    if (!minuteDays_.count(i))
        return kIntradayDays;
    return std::max<size_t>(kIntradayDays, importedMinutes(i)->days.size());
}

std::shared_ptr<const MinuteSeries> MarketImpl::importedMinutes(int i) const {
    std::lock_guard<std::mutex> lock(minuteMu_);
    auto it = minuteCache_.find(i);
    if (it != minuteCache_.end())
        return it->second;
    if (minuteCache_.size() >= kMinuteCacheSize)
        minuteCache_.erase(minuteCache_.begin());
    auto m = std::make_shared<const MinuteSeries>(imports_.minutes(importedKey_.at(i)));
    minuteCache_[i] = m;
    return m;
}

// The whole series of a security with imported daily bars, or the generated one.
DailySeries MarketImpl::memberSeries(int i) const {
    auto imp = importedKey_.find(i);
    return imp != importedKey_.end() ? imports_.daily(imp->second, anchor_) : gen_->generate(i);
}

// The stored daily series of a security, before the live days: imported, generated or
// aggregated.
std::shared_ptr<const DailySeries> MarketImpl::base(int i) const {
    const bool imported = importedKey_.count(i) > 0;
    if (!imported && isAggregate(u_.securities[size_t(i)])) {
        const auto& all = aggregates();
        return std::shared_ptr<const DailySeries>(&all[size_t(i)], [](const DailySeries*) {});
    }
    {
        std::lock_guard<std::mutex> lock(cacheMu_);
        auto it = cacheIndex_.find(i);
        if (it != cacheIndex_.end()) {
            cache_.splice(cache_.begin(), cache_, it->second);
            return it->second->second;
        }
    }
    auto made = std::make_shared<const DailySeries>(memberSeries(i));
    std::lock_guard<std::mutex> lock(cacheMu_);
    auto it = cacheIndex_.find(i);
    if (it != cacheIndex_.end())
        return it->second->second;
    cache_.emplace_front(i, made);
    cacheIndex_[i] = cache_.begin();
    if (cache_.size() > kCacheSize) {
        cacheIndex_.erase(cache_.back().first);
        cache_.pop_back();
    }
    return made;
}

const std::vector<DailySeries>& MarketImpl::aggregates() const {
    std::call_once(aggOnce_, [this] {
        if (importedKey_.empty())
            aggregates_ = gen_->aggregates();
        else
            aggregates_ = gen_->aggregates([this](int i) { return memberSeries(i); });
    });
    return aggregates_;
}

// Day bars: stored history, the finished live days, and today's bar while the session
// runs (when `withToday`).
std::vector<Bar> MarketImpl::dailyBars(int i, bool withToday) const {
    auto b = base(i);
    std::vector<Bar> bars = b->bars;
    {
        std::lock_guard<std::mutex> lock(appendMu_);
        const auto& ap = appended_[size_t(i)];
        bars.insert(bars.end(), ap.begin(), ap.end());
    }
    if (withToday && !finalized_.load()) {
        const Live& l = session_->live(i);
        std::lock_guard<std::mutex> lock(l.mu);
        if (l.matched && l.open > 0) {
            Bar t;
            t.time = beijingTime(day_.load(), 15, 0);
            t.open = float(l.open);
            t.high = float(l.high);
            t.low = float(l.low);
            t.close = float(l.last);
            t.volume = l.vol;
            t.amount = l.amount;
            bars.push_back(t);
        }
    }
    return bars;
}

std::vector<int> MarketImpl::dayNumbers(int i) const {
    auto b = base(i);
    std::vector<int> days = b->days;
    std::lock_guard<std::mutex> lock(appendMu_);
    const size_t n = appended_[size_t(i)].size();
    days.insert(days.end(), appendedDays_.end() - long(n), appendedDays_.end());
    return days;
}

// Writer side: the days that finish, appended to every series.
void MarketImpl::finalizeDay() {
    if (finalized_.load())
        return;
    const int day = session_->day();
    std::vector<std::vector<MinuteBar>> mins(u_.securities.size());
    std::vector<Bar> bars(u_.securities.size());
    for (size_t i = 0; i < u_.securities.size(); ++i) {
        bars[i] = session_->dayBar(int(i));
        mins[i] = session_->minuteBars(int(i));
    }
    {
        std::lock_guard<std::mutex> lock(appendMu_);
        keptMinutes_[day] = std::move(mins);
        while (keptMinutes_.size() > kKeptMinuteDays)
            keptMinutes_.erase(keptMinutes_.begin());
    }
    appendDay(day, bars);
    storeDay(day, bars);
    finalized_ = true;
}

void MarketImpl::appendDay(int day, const std::vector<Bar>& bars) {
    {
        std::lock_guard<std::mutex> lock(appendMu_);
        for (size_t i = 0; i < bars.size(); ++i)
            appended_[i].push_back(bars[i]);
        appendedDays_.push_back(day);
    }
    for (size_t i = 0; i < bars.size(); ++i) {
        auto& rv = recentVol_[i];
        rv.push_back(double(bars[i].volume));
        if (rv.size() > 5)
            rv.erase(rv.begin());
    }
}

void MarketImpl::storeDay(int day, const std::vector<Bar>& bars) const {
    if (opt_.dataDir.empty())
        return;
    vq::market::storeDay(dayDir(opt_.dataDir, opt_.seed, opt_.aShares), day, bars, fingerprint_);
}

}  // namespace vq::market
