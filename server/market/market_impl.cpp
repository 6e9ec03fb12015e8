// The Market behind market.h: start-up (the universe, the stored days, the session brought
// to the clock's present), the clock that drives the session, and the publication of
// snapshot versions.
#include "server/market/market_impl.h"

#include "server/market/calendar.h"
#include "server/market/day_store.h"
#include "server/market/fill_day.h"

#include <algorithm>
#include <chrono>

namespace vq::market {

Market::~Market() = default;

namespace {

using Clock = std::chrono::steady_clock;

int64_t wallNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

MarketImpl::MarketImpl(const Options& o) : opt_(o) {
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
        anchor = openDayStore(dayDir(opt_.dataDir, opt_.seed, opt_.aShares), anchor, day_,
                              opt_.clock == ClockMode::Demo, stored, storedPrint_);
    const int firstDay = (anchor / 10000 - 8) * 10000 + 101;
    imports_.open(opt_.dataDir);
    anchor_ = anchor;
    u_ = buildUniverse(opt_.seed, std::max(50, opt_.aShares), firstDay, nextTradingDay(anchor),
                       imports_.listedWithBars());
    gen_ = std::make_unique<HistoryGenerator>(u_, opt_.seed, tradingDaysBetween(firstDay, anchor));
    // Stored days belong to the universe they were written with (and the import it had):
    // one made by another version of the generator is filled in again rather than read
    // into the wrong securities.
    fingerprint_ = universeFingerprint(u_.securities, imports_.stamp());
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
            bars = fillDay(u_, opt_.seed, d, pre, recentVol_);
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

MarketImpl::~MarketImpl() {
    stop();
}

void MarketImpl::start() {
    if (opt_.clock == ClockMode::Manual || thread_.joinable())
        return;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    // The index and block history takes one pass over the whole market: do it now,
    // in the background, rather than on the first index chart.
    warm_ = std::thread([this] { aggregates(); });
}

void MarketImpl::stop() {
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
int MarketImpl::find(std::string_view code, int market) const {
    if (code.size() > 16)
        return -1;
    return u_.find(code, market);
}
const Security* MarketImpl::security(int i) const {
    return valid(i) ? &u_.securities[size_t(i)] : nullptr;
}
const MembershipTexts& MarketImpl::membership(int i) const {
    static const MembershipTexts empty;
    return valid(i) ? u_.membership[size_t(i)] : empty;
}
std::vector<int64_t> MarketImpl::blocksOfCategory(int category) const {
    std::vector<int64_t> out;
    if (category == 0)
        return out;
    for (const BlockInfo& b : u_.blocks)
        if (b.category == category)
            out.push_back(b.id);
    return out;
}
std::vector<int64_t> MarketImpl::blocksOf(int i) const {
    return valid(i) ? u_.blocksOfSecurity[size_t(i)] : std::vector<int64_t>{};
}
int64_t MarketImpl::indexBlockId(std::string_view code, int market) const {
    const int i = find(code, market);
    return i >= 0 ? u_.securities[size_t(i)].blockId : 0;
}

// ---- live quotes ----------------------------------------------------------------------
int MarketImpl::addListener(Listener l) {
    std::lock_guard<std::mutex> lock(listenMu_);
    listeners_.emplace_back(++listenerId_, std::move(l));
    return listenerId_;
}
void MarketImpl::removeListener(int handle) {
    std::lock_guard<std::mutex> lock(listenMu_);
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [&](const auto& p) { return p.first == handle; }),
                     listeners_.end());
}

void MarketImpl::advanceTo(int64_t time) {
    if (opt_.clock != ClockMode::Manual)
        return;
    std::lock_guard<std::mutex> lock(writeMu_);
    advanceReal(time);
    publish(time);
}

int64_t MarketImpl::marketTime() const {
    return beijingTime(session_->day(), 0, 0) + session_->second();
}

void MarketImpl::rollTo(int day) {
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

void MarketImpl::advanceReal(int64_t time) {
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
void MarketImpl::advanceDemo(double seconds) {
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

void MarketImpl::publish(int64_t time) {
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

void MarketImpl::run() {
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

std::unique_ptr<Market> Market::create(const Options& options) {
    return std::make_unique<MarketImpl>(options);
}

}  // namespace vq::market
