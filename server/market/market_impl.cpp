// The Market behind market.h: the universe, the history store with its cache, the live
// session, the clock that drives it and the publication of snapshot versions.
#include "server/market/market.h"

#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/history.h"
#include "server/market/imported_data.h"
#include "server/market/kline.h"
#include "server/market/rng.h"
#include "server/market/session.h"
#include "server/market/universe.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace vq::market {

Market::~Market() = default;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kCacheSize = 400;  // generated series kept in memory
constexpr int kIntradayDays = 100;  // history days the minute cycles reach back
// Finished live days whose minute bars are kept as they traded (about 47 MB a day for the
// full universe); older days draw theirs from the day bar.
constexpr size_t kKeptMinuteDays = 2;

int64_t wallNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isAggregate(const Security& s) {
    return s.type == SecType::Index || s.type == SecType::Block;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Written next to the target and renamed over it: a crash never leaves half a file.
bool writeAtomically(const fs::path& target, const std::string& bytes) {
    const fs::path tmp = target.string() + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out.good())
            return false;
    }
    std::error_code ec;
    fs::rename(tmp, target, ec);
    return !ec;
}

class MarketImpl final : public Market {
public:
    explicit MarketImpl(const Options& o) : opt_(o) {
        const int64_t now =
            opt_.clock == ClockMode::Manual && opt_.startTime ? opt_.startTime : wallNow();
        const int today = beijingDate(now);
        day_ = isTradingDay(today) ? today : previousTradingDay(today);
        // The generated history ends at the anchor day. With a data folder the anchor is
        // fixed at the first start and the days after it are kept on disk, so a restart on
        // a later day shows the same history, plus the days traded (or filled in) since.
        int anchor = previousTradingDay(day_);
        std::map<int, std::vector<Bar>> stored;
        if (!opt_.dataDir.empty())
            anchor = openDayStore(anchor, stored);
        const int firstDay = (anchor / 10000 - 8) * 10000 + 101;
        imports_.open(opt_.dataDir);
        anchor_ = anchor;
        u_ = buildUniverse(opt_.seed, std::max(50, opt_.aShares), firstDay, nextTradingDay(anchor),
                           imports_.listedWithBars());
        gen_ =
            std::make_unique<HistoryGenerator>(u_, opt_.seed, tradingDaysBetween(firstDay, anchor));
        // Stored days belong to the universe they were written with: one made by another
        // version of the generator is filled in again rather than read into the wrong
        // securities.
        fingerprint_ = 1469598103934665603ull;
        for (const Security& sec : u_.securities)
            for (char c : sec.code + char('0' + sec.market))
                fingerprint_ = (fingerprint_ ^ uint8_t(c)) * 1099511628211ull;
        // So are the days after an import: they continued the series it replaced. (Without
        // an import the fingerprint stays what earlier versions wrote.)
        if (imports_.stamp())
            fingerprint_ = (fingerprint_ ^ imports_.stamp()) * 1099511628211ull;
        for (auto it = stored.begin(); it != stored.end();)
            it = storedPrint_[it->first] == fingerprint_ ? std::next(it) : stored.erase(it);
        if (opt_.clock == ClockMode::Demo && !stored.empty() && stored.rbegin()->first >= day_)
            day_ = nextTradingDay(stored.rbegin()->first);  // the demo market goes on
        appended_.resize(u_.securities.size());
        recentVol_.resize(u_.securities.size());
        loadImports();
        session_ = std::make_unique<Session>(u_, opt_.seed);

        // Previous closes and five-day volumes: a few generated steps per security.
        std::vector<double> pre(u_.securities.size()), d5(u_.securities.size());
        for (const Security& s : u_.securities) {
            auto imp = importedKey_.find(s.index);
            if (isAggregate(s) && imp == importedKey_.end())
                continue;
            const std::vector<Bar> bars = imp != importedKey_.end()
                                              ? imports_.lastBars(imp->second, anchor_, 5)
                                              : gen_->generate(s.index, 5).bars;
            auto& rv = recentVol_[size_t(s.index)];
            if (!isAggregate(s))
                for (const Bar& b : bars)
                    rv.push_back(double(b.volume));
            pre[size_t(s.index)] = bars.empty() ? s.basePrice : bars.back().close;
        }
        for (const Security& s : u_.securities)
            if (isAggregate(s) && !importedKey_.count(s.index))
                pre[size_t(s.index)] = s.basePrice;
        // Days between the anchor and today: as stored, or filled in (and stored) when the
        // server did not run that day.
        for (int d : tradingDaysBetween(nextTradingDay(anchor), previousTradingDay(day_))) {
            auto it = stored.find(d);
            std::vector<Bar> bars;
            if (it != stored.end() && it->second.size() == u_.securities.size()) {
                bars = std::move(it->second);
            } else {
                bars = fillDay(d, pre);
                storeDay(d, bars);
            }
            appendDay(d, bars);
            for (size_t i = 0; i < bars.size(); ++i)
                pre[i] = bars[i].close;
        }
        computeD5(d5);
        session_->startDay(day_, pre, d5);

        current_ = std::make_shared<MarketSnapshot>();
        auto first = std::make_shared<MarketSnapshot>();
        first->resize(int(u_.securities.size()));
        first->version = 1;
        building_ = first;

        // Bring the session to the clock's present.
        if (opt_.clock == ClockMode::Demo) {
            session_->runTo(9 * 3600 + 50 * 60);
        } else {
            const int sod = beijingDate(now) == day_ ? beijingSecondOfDay(now) : session::kClose;
            session_->runTo(sod, sod - session_->second() > 1800 ? 15 : 3);
            if (session_->second() >= session::kClose)
                finalizeDay();
        }
        publish(marketTime());
    }

    ~MarketImpl() override { stop(); }

    void start() override {
        if (opt_.clock == ClockMode::Manual || thread_.joinable())
            return;
        running_ = true;
        thread_ = std::thread([this] { run(); });
        // The index and block history takes one pass over the whole market: do it now,
        // in the background, rather than on the first index chart.
        warm_ = std::thread([this] { aggregates(); });
    }

    void stop() override {
        {
            std::lock_guard<std::mutex> lock(runMu_);
            running_ = false;
        }
        runCv_.notify_all();
        if (thread_.joinable())
            thread_.join();
        if (warm_.joinable())
            warm_.join();
    }

    // ---- universe and blocks ------------------------------------------------------------
    const std::vector<Security>& securities() const override { return u_.securities; }
    int find(std::string_view code, int market) const override {
        if (code.size() > 16)
            return -1;
        return u_.find(code, market);
    }
    const Security* security(int i) const override {
        return valid(i) ? &u_.securities[size_t(i)] : nullptr;
    }
    const MembershipTexts& membership(int i) const override {
        static const MembershipTexts empty;
        return valid(i) ? u_.membership[size_t(i)] : empty;
    }
    const BlockInfo* block(int64_t id) const override { return u_.block(id); }
    std::vector<int64_t> blocksOfCategory(int category) const override {
        std::vector<int64_t> out;
        if (category == 0)
            return out;
        for (const BlockInfo& b : u_.blocks)
            if (b.category == category)
                out.push_back(b.id);
        return out;
    }
    std::vector<int64_t> blocksOf(int i) const override {
        return valid(i) ? u_.blocksOfSecurity[size_t(i)] : std::vector<int64_t>{};
    }
    int64_t indexBlockId(std::string_view code, int market) const override {
        const int i = find(code, market);
        return i >= 0 ? u_.securities[size_t(i)].blockId : 0;
    }

    // ---- live quotes ----------------------------------------------------------------------
    SnapshotPtr snapshot() const override { return std::atomic_load(&current_); }

    int addListener(Listener l) override {
        std::lock_guard<std::mutex> lock(listenMu_);
        listeners_.emplace_back(++listenerId_, std::move(l));
        return listenerId_;
    }
    void removeListener(int handle) override {
        std::lock_guard<std::mutex> lock(listenMu_);
        listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                        [&](const auto& p) { return p.first == handle; }),
                         listeners_.end());
    }

    // ---- series ---------------------------------------------------------------------------
    KLinePage kline(int i, Cycle cycle, int64_t skip, int64_t rows, Adjust adjust) const override {
        if (!valid(i) || !isValidCycle(int(cycle)) || rows <= 0 || skip < 0)
            return {};
        // Requests carry any 64-bit numbers; past ten million bars there is nothing anyway,
        // and capping keeps skip + rows from overflowing.
        rows = std::min<int64_t>(rows, 10'000'000);
        skip = std::min<int64_t>(skip, 10'000'000);
        std::vector<Dividend> divs;
        if (adjust != Adjust::None)
            divs = dividends(i);
        if (cycle == Cycle::Day || cycle == Cycle::Week || cycle == Cycle::Month) {
            std::vector<Bar> bars = dailyBars(i);
            adjustPrices(bars, divs, adjust);
            if (cycle != Cycle::Day)
                bars = aggregateDays(bars, cycle);
            return pageOf(bars, skip, rows);
        }
        const int per = cycle == Cycle::Min1    ? 1
                        : cycle == Cycle::Min5  ? 5
                        : cycle == Cycle::Min15 ? 15
                        : cycle == Cycle::Min30 ? 30
                                                : 60;
        const int perDay = session::kMinutes / per;
        // Only the days the page reaches are built.
        std::vector<std::vector<Bar>> days;  // newest first
        int64_t have = 0;
        const std::vector<Bar> today = todayMinuteBars(i);
        if (!today.empty()) {
            days.push_back(aggregateMinutes(today, per));
            have += int64_t(days.back().size());
        }
        const std::vector<Bar> daily = dailyBars(i, false);
        const std::vector<int> dayList = dayNumbers(i);
        const int histDays = int(std::min<size_t>(dayList.size(), intradayDays(i)));
        for (int k = 0; k < histDays && have < skip + rows; ++k) {
            const size_t d = dayList.size() - 1 - size_t(k);
            days.push_back(aggregateMinutes(historyMinuteBars(i, dayList[d], daily, d), per));
            have += int64_t(days.back().size());
        }
        std::vector<Bar> bars;
        bars.reserve(size_t(have));
        for (size_t k = days.size(); k-- > 0;)
            bars.insert(bars.end(), days[k].begin(), days[k].end());
        adjustPrices(bars, divs, adjust);
        KLinePage p = pageOf(bars, skip, rows);
        p.total = int64_t(today.empty() ? 0 : aggregateMinutes(today, per).size()) +
                  int64_t(histDays) * perDay;
        return p;
    }

    MinuteDay minutes(int i, int64_t day) const override {
        MinuteDay md;
        if (!valid(i))
            return md;
        int want = 0;
        if (day < 0 || day > 4102444800)  // before 1970 or after 2100: no such trading day
            return md;
        if (day != 0)
            want = day >= 19800101 && day <= 21001231 ? int(day) : beijingDate(day);
        const int current = day_.load();
        if (want == 0 || want == current) {
            if (finalized_.load())
                want = current;  // the finished session is history now, with its minutes kept
            else
                return liveMinutes(i);
        }
        const std::vector<int> dayList = dayNumbers(i);
        auto it = std::lower_bound(dayList.begin(), dayList.end(), want);
        if (it == dayList.end() || *it != want)
            return md;
        const std::vector<Bar> daily = dailyBars(i, false);
        const size_t d = size_t(it - dayList.begin());
        std::vector<float> leads;
        const bool aggregate = isAggregate(u_.securities[size_t(i)]);
        const std::vector<Bar> bars =
            historyMinuteBars(i, want, daily, d, aggregate ? &leads : nullptr);
        md.tradingDay = want;
        md.preClose = d > 0 ? daily[d - 1].close : daily[d].open;
        double cv = 0, ca = 0;
        const bool avg = !isAggregate(u_.securities[size_t(i)]);
        for (const Bar& b : bars) {
            MinutePoint p;
            p.time = b.time;
            p.price = b.close;
            p.volume = b.volume;
            p.amount = b.amount;
            cv += double(b.volume);
            ca += b.amount;
            p.avgPrice = avg && cv > 0 ? float(ca / cv) : 0;
            if (aggregate && size_t(&b - bars.data()) < leads.size())
                p.avgPrice = leads[size_t(&b - bars.data())];
            md.points.push_back(p);
        }
        return md;
    }

    TickPage ticks(int i, int64_t from, int count) const override {
        TickPage page;
        if (!valid(i) || count <= 0)
            return page;
        const Live& l = session_->live(i);
        const int lot = isAggregate(u_.securities[size_t(i)]) ? 100 : u_.params[size_t(i)].lot;
        const int64_t base = beijingTime(day_.load(), 0, 0);
        std::lock_guard<std::mutex> lock(l.mu);
        page.preClose = float(l.pre);
        page.total = uint32_t(l.ticks.size());
        int64_t first = from < 0 ? int64_t(l.ticks.size()) - count : from;
        first = std::clamp<int64_t>(first, 0, int64_t(l.ticks.size()));
        const int64_t end = std::min<int64_t>(int64_t(l.ticks.size()), first + count);
        page.first = uint32_t(first);
        for (int64_t k = first; k < end; ++k) {
            const CompactTick& c = l.ticks[size_t(k)];
            Tick t;
            t.time = base + c.second();
            t.price = c.price;
            t.volume = int64_t(c.lots) * lot;
            t.count = c.count;
            t.direction = c.direction;
            page.ticks.push_back(t);
        }
        return page;
    }

    std::vector<Dividend> dividends(int i) const override {
        if (!valid(i) || isAggregate(u_.securities[size_t(i)]))
            return {};
        return base(i)->dividends;
    }

    std::vector<Alert> alerts(int i, int count, uint64_t afterSeq) const override {
        if (!valid(i))
            return {};
        return session_->alerts([i](int s) { return s == i; }, count, afterSeq);
    }

    std::vector<Alert> blockAlerts(int64_t id, int count, uint64_t afterSeq) const override {
        const BlockInfo* b = u_.block(id);
        if (!b)
            return {};
        if (id == preset::All)
            return session_->alerts([](int) { return true; }, count, afterSeq);
        const std::vector<int>& m = b->members;
        return session_->alerts([&m](int s) { return std::binary_search(m.begin(), m.end(), s); },
                                count, afterSeq);
    }

    std::vector<FinancialYear> financials(int i) const override {
        return valid(i) ? gen_->financials(i) : std::vector<FinancialYear>{};
    }

    Margin margin(int i) const override {
        Margin m;
        if (!valid(i) || !u_.securities[size_t(i)].margin)
            return m;
        const Security& s = u_.securities[size_t(i)];
        Rng r(mixKey(opt_.seed, 0x6d7267, uint64_t(i), uint64_t(day_.load())));
        const Quote& q = snapshot()->quote(i);
        const double px = q.close > 0 ? q.close : s.basePrice;
        const double cap = double(s.floatShares) * px;
        m.financeBalance = std::round(cap * r.uniform(0.015, 0.07));
        m.financeBuy = std::round(std::max(q.sum, cap * 0.002) * r.uniform(0.06, 0.14));
        m.shortBalance = int64_t(double(s.floatShares) * r.uniform(0.0001, 0.002) / 100) * 100;
        m.shortSell =
            int64_t(double(std::max<int64_t>(q.vol, 10000)) * r.uniform(0.002, 0.01) / 100) * 100;
        return m;
    }

    ClockMode clockMode() const override { return opt_.clock; }

    std::vector<int> tradingDays() const override {
        std::vector<int> out = gen_->calendar();
        std::lock_guard<std::mutex> lock(appendMu_);
        out.insert(out.end(), appendedDays_.begin(), appendedDays_.end());
        return out;
    }

    void advanceTo(int64_t time) override {
        if (opt_.clock != ClockMode::Manual)
            return;
        std::lock_guard<std::mutex> lock(writeMu_);
        advanceReal(time);
        publish(time);
    }

private:
    bool valid(int i) const { return i >= 0 && size_t(i) < u_.securities.size(); }

    int64_t marketTime() const { return beijingTime(session_->day(), 0, 0) + session_->second(); }

    void computeD5(std::vector<double>& d5) {
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
    void loadImports() {
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
    size_t intradayDays(int i) const {
        if (!minuteDays_.count(i))
            return kIntradayDays;
        return std::max<size_t>(kIntradayDays, importedMinutes(i)->days.size());
    }

    std::shared_ptr<const MinuteSeries> importedMinutes(int i) const {
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
    DailySeries memberSeries(int i) const {
        auto imp = importedKey_.find(i);
        return imp != importedKey_.end() ? imports_.daily(imp->second, anchor_) : gen_->generate(i);
    }

    // The stored daily series of a security, before the live days: imported, generated or
    // aggregated.
    std::shared_ptr<const DailySeries> base(int i) const {
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

    const std::vector<DailySeries>& aggregates() const {
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
    std::vector<Bar> dailyBars(int i, bool withToday = true) const {
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

    std::vector<int> dayNumbers(int i) const {
        auto b = base(i);
        std::vector<int> days = b->days;
        std::lock_guard<std::mutex> lock(appendMu_);
        const size_t n = appended_[size_t(i)].size();
        days.insert(days.end(), appendedDays_.end() - long(n), appendedDays_.end());
        return days;
    }

    static std::vector<float> leadsOf(const std::vector<MinuteBar>& mins, float pre) {
        std::vector<float> out;
        float last = pre;
        for (const MinuteBar& m : mins) {
            if (m.traded && m.lead > 0)
                last = m.lead;
            out.push_back(last);
        }
        return out;
    }

    static std::vector<Bar> toBars(const std::vector<MinuteBar>& mins, int day, double pre,
                                   size_t upTo) {
        std::vector<Bar> out;
        double last = pre;
        for (size_t m = 0; m < upTo && m < mins.size(); ++m) {
            Bar b;
            b.time = beijingTime(day, 0, 0) + minuteEnd(int(m));
            const MinuteBar& x = mins[m];
            if (x.traded) {
                b.open = x.open;
                b.high = x.high;
                b.low = x.low;
                b.close = x.close;
                b.volume = x.volume;
                b.amount = x.amount;
                last = x.close;
            } else {
                b.open = b.high = b.low = b.close = float(last);
            }
            out.push_back(b);
        }
        return out;
    }

    // Minutes of the running session up to now (empty before the opening auction trades
    // and once the day has been filed).
    std::vector<Bar> todayMinuteBars(int i) const {
        if (finalized_.load())
            return {};
        const Live& l = session_->live(i);
        std::vector<MinuteBar> mins;
        double pre;
        {
            std::lock_guard<std::mutex> lock(l.mu);
            if (!l.matched)
                return {};
            mins = l.minutes;
            pre = l.open > 0 ? l.open : l.pre;
        }
        const int sod = second_.load();
        const int m = sod >= session::kClose ? session::kMinutes : std::max(1, minutesElapsed(sod));
        return toBars(mins, day_.load(), pre, size_t(m));
    }

    MinuteDay liveMinutes(int i) const {
        MinuteDay md;
        const Live& l = session_->live(i);
        {
            std::lock_guard<std::mutex> lock(l.mu);
            md.preClose = float(l.pre);
        }
        md.tradingDay = day_.load();
        const std::vector<Bar> bars = todayMinuteBars(i);
        const bool avg = !isAggregate(u_.securities[size_t(i)]);
        std::vector<float> leads;
        if (!avg) {
            std::lock_guard<std::mutex> lock(l.mu);
            leads = leadsOf(l.minutes, float(l.pre));
        }
        double cv = 0, ca = 0;
        for (const Bar& b : bars) {
            const size_t k = size_t(&b - bars.data());
            if (!avg && k < leads.size()) {
                MinutePoint p;
                p.time = b.time;
                p.price = b.close;
                p.volume = b.volume;
                p.amount = b.amount;
                p.avgPrice = leads[k];
                md.points.push_back(p);
                continue;
            }
            MinutePoint p;
            p.time = b.time;
            p.price = b.close;
            p.volume = b.volume;
            p.amount = b.amount;
            cv += double(b.volume);
            ca += b.amount;
            p.avgPrice = avg && cv > 0 ? float(ca / cv) : 0;
            md.points.push_back(p);
        }
        return md;
    }

    // Minute bars of a past day: kept from the live session if it ran in this process,
    // otherwise drawn from the day bar.
    // For an index or a block, `leads` receives the leading index of each minute.
    std::vector<Bar> historyMinuteBars(int i, int day, const std::vector<Bar>& daily, size_t d,
                                       std::vector<float>* leads = nullptr) const {
        {
            std::lock_guard<std::mutex> lock(appendMu_);
            auto it = keptMinutes_.find(day);
            if (it != keptMinutes_.end()) {
                const double pre = d > 0 ? daily[d - 1].close : daily[d].open;
                const auto& mins = it->second[size_t(i)];
                if (leads)
                    *leads = leadsOf(mins, float(pre));
                return toBars(mins, day, daily[d].open > 0 ? daily[d].open : pre,
                              session::kMinutes);
            }
        }
        const float pre = d > 0 ? daily[d - 1].close : daily[d].open;
        if (minuteDays_.count(i)) {
            std::vector<Bar> out =
                importedMinutes(i)->day(day, daily[d].open > 0 ? daily[d].open : pre);
            if (!out.empty()) {
                if (leads) {
                    leads->clear();
                    for (const Bar& b : out)
                        leads->push_back(b.close);
                }
                return out;
            }
        }
        const MinuteDay md = gen_->minuteLine(i, day, daily[d], pre);
        if (leads) {
            // No members' minutes for a generated day: the leading index runs a little
            // ahead of the weighted one, as small members swing more, and wanders around it.
            Rng r(mixKey(opt_.seed, 0x6c656164, uint64_t(i), uint64_t(day)));
            leads->clear();
            double w = 0;
            const size_t n = md.points.size();
            for (size_t k = 0; k < n; ++k) {
                w += r.normal();
                const double bridge = w * std::sin(3.14159265 * double(k + 1) / double(n + 1));
                const double px = md.points[k].price;
                leads->push_back(float(
                    roundTo(pre * (1 + 1.15 * (px / pre - 1)) * (1 + 0.0004 * bridge), 0.01)));
            }
        }
        std::vector<Bar> out;
        out.reserve(md.points.size());
        float prev = daily[d].open;
        for (const MinutePoint& p : md.points) {
            Bar b;
            b.time = p.time;
            b.open = prev;
            b.close = p.price;
            b.high = std::max(prev, p.price);
            b.low = std::min(prev, p.price);
            b.volume = p.volume;
            b.amount = p.amount;
            out.push_back(b);
            prev = p.price;
        }
        return out;
    }

    // ---- writer side ----------------------------------------------------------------------
    void finalizeDay() {
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

    void appendDay(int day, const std::vector<Bar>& bars) {
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

    // ---- the day store --------------------------------------------------------------------
    // DATA/market/days-SEED-N/: "anchor" (the last generated day) and one file of day bars
    // per later trading day. The folder names the seed and universe size, so a server
    // started with another seed never mixes its days with these.
    fs::path dayDir() const {
        return fs::path(opt_.dataDir) / "market" /
               ("days-" + std::to_string(opt_.seed) + "-" +
                std::to_string(std::max(50, opt_.aShares)));
    }

    int openDayStore(int anchor, std::map<int, std::vector<Bar>>& stored) {
        std::error_code ec;
        const fs::path dir = dayDir();
        fs::create_directories(dir, ec);
        const int saved = std::atoi(readFile(dir / "anchor").c_str());
        if (saved >= 19900101 && saved <= anchor && isTradingDay(saved)) {
            anchor = saved;
        } else {
            writeAtomically(dir / "anchor", std::to_string(anchor) + "\n");
        }
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (name.size() != 12 || name.substr(8) != ".day")
                continue;
            const int d = std::atoi(name.c_str());
            // A real clock never takes a day from its own future (a demo run may have
            // written some).
            if (d <= anchor || !isTradingDay(d) || (opt_.clock != ClockMode::Demo && d >= day_))
                continue;
            const std::string bytes = readFile(e.path());
            uint32_t n = 0;
            uint64_t print = 0;
            if (bytes.size() >= kDayHeader) {
                std::memcpy(&n, bytes.data() + 4, 4);
                std::memcpy(&print, bytes.data() + 8, 8);
            }
            if (bytes.size() < kDayHeader || bytes.compare(0, 4, "VQD2") != 0 ||
                bytes.size() != kDayHeader + size_t(n) * sizeof(Bar))
                continue;  // damaged or of an older layout: filled in again
            std::vector<Bar> bars(n);
            std::memcpy(static_cast<void*>(bars.data()), bytes.data() + kDayHeader,
                        bars.size() * sizeof(Bar));
            stored[d] = std::move(bars);
            storedPrint_[d] = print;
        }
        return anchor;
    }

    void storeDay(int day, const std::vector<Bar>& bars) const {
        if (opt_.dataDir.empty())
            return;
        std::string bytes("VQD2", 4);
        const uint32_t n = uint32_t(bars.size());
        bytes.append(reinterpret_cast<const char*>(&n), 4);
        bytes.append(reinterpret_cast<const char*>(&fingerprint_), 8);
        bytes.append(reinterpret_cast<const char*>(bars.data()), bars.size() * sizeof(Bar));
        writeAtomically(dayDir() / (std::to_string(day) + ".day"), bytes);
    }

    // A day the server did not see: every traded security takes one step of the daily
    // model from its last close; indices and blocks follow their members.
    std::vector<Bar> fillDay(int day, const std::vector<double>& pre) const {
        const size_t n = u_.securities.size();
        std::vector<Bar> bars(n);
        Rng dayRng(mixKey(opt_.seed, 0x66696c6c, uint64_t(day)));
        const double marketMove = 0.011 * dayRng.fatTail();
        std::vector<double> industryMove(64);
        for (double& g : industryMove)
            g = 0.012 * dayRng.fatTail();
        std::vector<double> ret(n, 0);
        for (const Security& s : u_.securities) {
            if (isAggregate(s))
                continue;
            const SimParams& p = u_.params[size_t(s.index)];
            Rng r(mixKey(opt_.seed, 0x66696c6c, uint64_t(s.index), uint64_t(day)));
            const double sigma = std::max(0.001, s.volatility);
            double x = p.beta * marketMove + sigma * r.fatTail();
            if (p.industry >= 0)
                x += p.industryLoad * industryMove[size_t(p.industry) % industryMove.size()];
            const double lim = s.limitRate();
            if (lim > 0)
                x = std::clamp(x, -lim, lim);
            const double pc = pre[size_t(s.index)];
            const double up = lim > 0 ? roundTo(pc * (1 + lim), p.tick) : 1e12;
            const double dn = lim > 0 ? roundTo(pc * (1 - lim), p.tick) : p.tick;
            const double c = std::clamp(roundTo(pc * (1 + x), p.tick), dn, up);
            const double o =
                std::clamp(roundTo(pc * (1 + 0.3 * sigma * r.normal() + 0.25 * x), p.tick), dn, up);
            const double span = std::abs(r.normal()) * 0.55 * sigma + 0.002;
            const double u1 = r.uniform();
            Bar& b = bars[size_t(s.index)];
            b.time = beijingTime(day, 15, 0);
            b.open = float(o);
            b.close = float(c);
            b.high = float(
                std::max({o, c, std::min(up, roundTo(std::max(o, c) * (1 + span * u1), p.tick))}));
            b.low = float(std::min(
                {o, c, std::max(dn, roundTo(std::min(o, c) * (1 - span * (1 - u1)), p.tick))}));
            const auto& rv = recentVol_[size_t(s.index)];
            double avg = 0;
            for (double v : rv)
                avg += v;
            avg = rv.empty() ? double(s.floatShares) * p.turnover : avg / double(rv.size());
            b.volume = std::max<int64_t>(1, int64_t(avg * (1 + 1.6 * std::abs(x) / sigma) / 2.2 *
                                                    std::exp(0.3 * r.normal()) / p.lot)) *
                       p.lot;
            b.amount = double(b.volume) * (b.open + b.high + b.low + b.close) / 4;
            ret[size_t(s.index)] = c / pc - 1;
        }
        for (const Security& s : u_.securities) {
            if (!isAggregate(s))
                continue;
            double w = 0, wr = 0, wh = 0, wl = 0, wo = 0, vol = 0, amt = 0;
            for (int m : u_.params[size_t(s.index)].members) {
                const double pc = pre[size_t(m)];
                const double wt = double(u_.securities[size_t(m)].floatShares) * pc;
                const Bar& b = bars[size_t(m)];
                w += wt;
                wr += wt * ret[size_t(m)];
                wo += wt * (b.open / pc - 1);
                wh += wt * (b.high / pc - 1);
                wl += wt * (b.low / pc - 1);
                vol += double(b.volume);
                amt += b.amount;
            }
            const double pc = pre[size_t(s.index)];
            const double r = w > 0 ? wr / w : 0;
            const double c = pc * (1 + r), o = pc * (1 + (w > 0 ? wo / w : 0));
            Bar& b = bars[size_t(s.index)];
            b.time = beijingTime(day, 15, 0);
            b.open = float(roundTo(o, 0.01));
            b.close = float(roundTo(c, 0.01));
            b.high = float(
                roundTo(std::max({o, c, pc * (1 + r + 0.6 * ((w > 0 ? wh / w : 0) - r))}), 0.01));
            b.low = float(
                roundTo(std::min({o, c, pc * (1 + r + 0.6 * ((w > 0 ? wl / w : 0) - r))}), 0.01));
            b.volume = int64_t(vol);
            b.amount = amt;
        }
        return bars;
    }

    void rollTo(int day) {
        finalizeDay();
        std::vector<double> pre(u_.securities.size()), d5(u_.securities.size());
        {
            std::lock_guard<std::mutex> lock(appendMu_);
            for (size_t i = 0; i < pre.size(); ++i)
                pre[i] = appended_[i].back().close;
        }
        computeD5(d5);
        session_->startDay(day, pre, d5);
        day_ = day;
        second_ = 0;
        finalized_ = false;
    }

    void advanceReal(int64_t time) {
        for (;;) {
            const int tDay = beijingDate(time), tSod = beijingSecondOfDay(time);
            if (tDay < session_->day())
                break;
            if (tDay == session_->day()) {
                session_->runTo(tSod, tSod - session_->second() > 1800 ? 15 : 3);
                second_ = session_->second();
                if (session_->second() >= session::kClose)
                    finalizeDay();
                break;
            }
            session_->runTo(session::kClose, 15);
            second_ = session_->second();
            finalizeDay();
            const int next = nextTradingDay(session_->day());
            if (next > tDay || (next == tDay && tSod < session::kAuctionStart))
                break;
            rollTo(next);
        }
    }

    // Demo: only trading seconds count; breaks and nights are skipped.
    void advanceDemo(double seconds) {
        demoBudget_ += seconds;
        while (demoBudget_ >= 1) {
            const int sod = session_->second();
            if (sod >= session::kClose) {
                rollTo(nextTradingDay(session_->day()));
                session_->runTo(session::kMorningOpen);
                continue;
            }
            if (sod < session::kMorningOpen) {
                session_->runTo(session::kMorningOpen);
                continue;
            }
            if (sod >= session::kMorningClose && sod < session::kAfternoonOpen) {
                session_->runTo(session::kAfternoonOpen);
                continue;
            }
            const int boundary =
                sod < session::kMorningClose ? session::kMorningClose : session::kClose;
            const int step = std::min(int(demoBudget_), boundary - sod);
            session_->runTo(sod + step);
            demoBudget_ -= step;
            if (session_->second() >= session::kClose)
                finalizeDay();
        }
        second_ = session_->second();
    }

    void publish(int64_t time) {
        auto next = building_;
        session_->publishInto(*next, time);
        day_ = session_->day();
        second_ = session_->second();
        if (finalized_.load())
            next->phase = Phase::AfterClose;
        const SnapshotPtr published = next;
        std::atomic_store(&current_, published);
        building_ = next->successor();
        std::lock_guard<std::mutex> lock(listenMu_);
        for (auto& [id, fn] : listeners_)
            fn(published);
    }

    void run() {
        auto last = Clock::now();
        std::unique_lock<std::mutex> lock(runMu_);
        while (running_) {
            runCv_.wait_for(lock, std::chrono::milliseconds(std::max(20, opt_.publishIntervalMs)));
            if (!running_)
                break;
            lock.unlock();
            const auto now = Clock::now();
            const double elapsed = std::chrono::duration<double>(now - last).count();
            last = now;
            {
                std::lock_guard<std::mutex> w(writeMu_);
                const int before = session_->second();
                const int dayBefore = session_->day();
                if (opt_.clock == ClockMode::Demo)
                    advanceDemo(elapsed * opt_.demoSpeed);
                else
                    advanceReal(wallNow());
                if (session_->second() != before || session_->day() != dayBefore)
                    publish(marketTime());
            }
            lock.lock();
        }
    }

    Options opt_;
    Universe u_;
    std::unique_ptr<HistoryGenerator> gen_;
    std::unique_ptr<Session> session_;
    ImportedData imports_;
    int anchor_ = 0;                                    // last day of the stored history
    std::unordered_map<int, std::string> importedKey_;  // security -> CODE.MARKET
    std::unordered_set<int> minuteDays_;                // securities with imported minutes
    static constexpr size_t kMinuteCacheSize = 32;
    mutable std::mutex minuteMu_;
    mutable std::map<int, std::shared_ptr<const MinuteSeries>> minuteCache_;

    mutable std::mutex cacheMu_;
    mutable std::list<std::pair<int, std::shared_ptr<const DailySeries>>> cache_;
    mutable std::unordered_map<int, decltype(cache_)::iterator> cacheIndex_;
    mutable std::once_flag aggOnce_;
    mutable std::vector<DailySeries> aggregates_;

    mutable std::mutex appendMu_;
    std::vector<std::vector<Bar>> appended_;
    std::vector<int> appendedDays_;
    std::map<int, std::vector<std::vector<MinuteBar>>> keptMinutes_;
    std::vector<std::vector<double>> recentVol_;  // writer only

    uint64_t fingerprint_ = 0;                // of the universe, kept with each stored day
    std::map<int, uint64_t> storedPrint_;     // start-up only
    static constexpr size_t kDayHeader = 16;  // "VQD2", bar count, universe fingerprint
    std::atomic<int> day_{0};
    std::atomic<int> second_{0};
    std::atomic<bool> finalized_{false};
    double demoBudget_ = 0;

    SnapshotPtr current_;
    std::shared_ptr<MarketSnapshot> building_;
    std::mutex writeMu_;

    std::mutex listenMu_;
    std::vector<std::pair<int, Listener>> listeners_;
    int listenerId_ = 0;

    std::mutex runMu_;
    std::condition_variable runCv_;
    bool running_ = false;
    std::thread thread_, warm_;
};

}  // namespace

std::unique_ptr<Market> Market::create(const Options& options) {
    return std::make_unique<MarketImpl>(options);
}

}  // namespace vq::market
