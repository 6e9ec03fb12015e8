// The Market behind market.h (private to the market folder). Its members are defined by job:
//   market_impl.cpp     start-up, the clock that drives the session, publication of versions
//   market_history.cpp  the daily series: stored history, imports, finished live days
//   market_series.cpp   the answers to series requests (K-lines, minutes, ticks, alerts …)
// The day store on disk (day_store.h) and the filling-in of missed days (fill_day.h) stand
// apart and know nothing of this class.
#pragma once

#include "server/market/history.h"
#include "server/market/imported_data.h"
#include "server/market/market.h"
#include "server/market/session.h"
#include "server/market/universe.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace vq::market {

class MarketImpl final : public Market {
public:
    explicit MarketImpl(const Options& o);
    ~MarketImpl() override;

    void start() override;
    void stop() override;

    // ---- universe and blocks ------------------------------------------------------------
    const std::vector<Security>& securities() const override { return u_.securities; }
    int find(std::string_view code, int market) const override;
    const Security* security(int i) const override;
    const MembershipTexts& membership(int i) const override;
    const BlockInfo* block(int64_t id) const override { return u_.block(id); }
    std::vector<int64_t> blocksOfCategory(int category) const override;
    std::vector<int64_t> blocksOf(int i) const override;
    int64_t indexBlockId(std::string_view code, int market) const override;

    // ---- live quotes ----------------------------------------------------------------------
    SnapshotPtr snapshot() const override { return std::atomic_load(&current_); }
    int addListener(Listener l) override;
    void removeListener(int handle) override;

    // ---- series ---------------------------------------------------------------------------
    KLinePage kline(int i, Cycle cycle, int64_t skip, int64_t rows, Adjust adjust) const override;
    MinuteDay minutes(int i, int64_t day) const override;
    TickPage ticks(int i, int64_t from, int count) const override;
    std::vector<Dividend> dividends(int i) const override;
    std::vector<Alert> alerts(int i, int count, uint64_t afterSeq) const override;
    std::vector<Alert> blockAlerts(int64_t id, int count, uint64_t afterSeq) const override;
    std::vector<FinancialYear> financials(int i) const override;
    Margin margin(int i) const override;

    // ---- clock ----------------------------------------------------------------------------
    ClockMode clockMode() const override { return opt_.clock; }
    std::vector<int> tradingDays() const override;
    void advanceTo(int64_t time) override;

private:
    bool valid(int i) const { return i >= 0 && size_t(i) < u_.securities.size(); }
    int64_t marketTime() const;

    // History (market_history.cpp).
    void computeD5(std::vector<double>& d5);
    void loadImports();
    size_t intradayDays(int i) const;
    std::shared_ptr<const MinuteSeries> importedMinutes(int i) const;
    DailySeries memberSeries(int i) const;
    std::shared_ptr<const DailySeries> base(int i) const;
    const std::vector<DailySeries>& aggregates() const;
    std::vector<Bar> dailyBars(int i, bool withToday = true) const;
    std::vector<int> dayNumbers(int i) const;
    void finalizeDay();
    void appendDay(int day, const std::vector<Bar>& bars);
    void storeDay(int day, const std::vector<Bar>& bars) const;

    // Minute series (market_series.cpp).
    std::vector<Bar> todayMinuteBars(int i) const;
    MinuteDay liveMinutes(int i) const;
    std::vector<Bar> historyMinuteBars(int i, int day, const std::vector<Bar>& daily, size_t d,
                                       std::vector<float>* leads = nullptr) const;

    // Writer side (market_impl.cpp).
    void rollTo(int day);
    void advanceReal(int64_t time);
    void advanceDemo(double seconds);
    void publish(int64_t time);
    void run();

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

    uint64_t fingerprint_ = 0;             // of the universe, kept with each stored day
    std::map<int, uint64_t> storedPrint_;  // start-up only
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

}  // namespace vq::market
