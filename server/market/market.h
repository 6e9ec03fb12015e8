// The simulated Shanghai/Shenzhen market: the one source of every quote the server hands
// out, to the quote service and to the market-derived HTTP documents alike.
//
// What it holds
//   - The universe: a fixed list of securities (stocks, B shares, funds/ETFs, bonds,
//     indices, blocks of market 90), generated from a seed and the same on every run.
//     `securities()` never changes after construction; a security is named everywhere by
//     its index into it.
//   - Blocks: the preset lists (1101 … 1124, 1110 the whole market, 160103/160104 bonds) and
//     the region (1010), industry (1011) and concept (1016) categories. Membership is known
//     both ways (`block(id)->members`, `blocksOf(security)`).
//   - History: years of daily bars with dividends, bonus shares and rights issues, built
//     lazily on first use and cached (or read from an import); index and block series come
//     from their members.
//   - The live session: a market clock and a simulator that trades every security tick by
//     tick (a tick aggregates at most three seconds of one security), keeps a five-level
//     book, minute bars, today's bar of every cycle, fires alerts, and appends each
//     finished day to history. Beijing sessions: opening call auction 09:15–09:25 (matched
//     at 09:25; the snapshot shows the indicative price in the book), continuous trading
//     09:30–11:30 and 13:00–14:57, closing call auction 14:57–15:00 (matched at 15:00).
//     The demo clock skips the auctions' waiting, the lunch break and the night: after
//     15:00 the next trading day opens at once.
//   - Indices and blocks: cap-weighted by float shares over their members, with member
//     counts; their minute line carries the equal-weighted (leading) index as its average.
//
// Threads
//   One writer (the simulator thread, or the caller of `advanceTo` in tests) and any number
//   of readers. Every const member is safe to call from any thread at any time. Quotes are
//   published as immutable `MarketSnapshot` versions (see snapshot.h): `snapshot()` is a
//   single atomic pointer load, so readers never wait for the writer or for each other.
//   Series reads (K-lines, minutes, ticks, alerts) take short internal locks per security
//   and return copies.
//
// Errors
//   An unknown security index, code or block id yields an empty answer (nullptr, empty
//   vector, -1), never an exception or a crash; callers pass request data straight in.
#pragma once

#include "server/market/snapshot.h"
#include "server/market/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vq::market {

enum class ClockMode {
    Real,    // Beijing-time sessions by the wall clock: quiet outside trading hours
    Demo,    // a session always runs: market time loops through the trading day
    Manual,  // time moves only through advanceTo (tests, benchmarks)
};

struct Options {
    uint64_t seed = 20240101;
    ClockMode clock = ClockMode::Demo;
    // Data folder: imported series (market/import) and the finished days after the
    // generated history (market/days-SEED-N), so a restart shows the same history. Empty
    // keeps everything in memory for the life of the process.
    std::string dataDir;
    // Manual clock only: the market time to start at (seconds since 1970 UTC); 0 takes the
    // wall clock, as the real clock does.
    int64_t startTime = 0;
    // Publication interval of the simulator thread in milliseconds (Real and Demo clocks).
    int publishIntervalMs = 500;
    // Demo clock: market seconds that pass per wall second (the trading day loops).
    double demoSpeed = 1.0;
    // Number of A shares to generate (at least a few hundred; tests use small universes).
    int aShares = 4200;
};

// Industry, region and concept names of a security, as one text each (concepts joined by
// ","); empty for securities without them.
struct MembershipTexts {
    std::string industry, region, concept;
};

class Market {
public:
    // Builds the universe and today's opening state. Fast (well under a second for the
    // full universe): history is generated only when first asked for.
    static std::unique_ptr<Market> create(const Options& options);
    virtual ~Market();

    // Starts / stops the simulator thread (Real and Demo clocks). Stopping joins it.
    virtual void start() = 0;
    virtual void stop() = 0;

    // ---- Universe ----------------------------------------------------------------------
    virtual const std::vector<Security>& securities() const = 0;
    // Index of the security with this code (at most 16 bytes) in this market, or -1.
    virtual int find(std::string_view code, int market) const = 0;
    virtual const Security* security(int index) const = 0;  // nullptr when out of range
    virtual const MembershipTexts& membership(int index) const = 0;

    // ---- Blocks ------------------------------------------------------------------------
    // A preset block, or a block of market 90 by its block id; nullptr for an unknown id.
    // The category numbers 1010, 1011 and 1016 are blocks too: their members are the BK
    // securities of that category.
    virtual const BlockInfo* block(int64_t id) const = 0;
    // The blocks of a category (Region, Industry, Concept) in id order; empty otherwise.
    virtual std::vector<int64_t> blocksOfCategory(int category) const = 0;
    // The market-90 blocks (industry, region, concepts) a security belongs to.
    virtual std::vector<int64_t> blocksOf(int index) const = 0;
    // The block an index or a BK security stands for; 0 for anything else.
    virtual int64_t indexBlockId(std::string_view code, int market) const = 0;

    // ---- Live quotes -------------------------------------------------------------------
    // The latest published version; never null.
    virtual SnapshotPtr snapshot() const = 0;
    // Called on the writer thread right after each publication, in registration order.
    // Keep it short (post to your own loop); it must not call back into the listener API.
    using Listener = std::function<void(const SnapshotPtr&)>;
    virtual int addListener(Listener listener) = 0;  // returns a handle > 0
    virtual void removeListener(int handle) = 0;     // after return it is never called again

    // ---- Series ------------------------------------------------------------------------
    // K-line of cycle 33–40, newest `rows` bars after leaving out the newest `skip` bars
    // (paging backwards), prices adjusted as asked. Today's unfinished bar is the last one
    // while a session is running. rows <= 0 or an invalid cycle gives an empty page.
    virtual KLinePage kline(int index, Cycle cycle, int64_t skip, int64_t rows,
                            Adjust adjust = Adjust::None) const = 0;
    // Minute line of one day: day 0 is the current session, otherwise yyyymmdd or any time
    // (seconds since 1970) within that Beijing day. A day without trading gives tradingDay 0.
    virtual MinuteDay minutes(int index, int64_t day = 0) const = 0;
    // Ticks of the current session from tick number `from` (first is 0), at most `count`;
    // from < 0 gives the newest `count` ticks.
    virtual TickPage ticks(int index, int64_t from, int count) const = 0;
    // Ex-rights events, ascending by date.
    virtual std::vector<Dividend> dividends(int index) const = 0;
    // Newest alerts of one security or of a block's members (1110: whole market), newest
    // last; at most `count`, and only those with seq > afterSeq.
    virtual std::vector<Alert> alerts(int index, int count, uint64_t afterSeq = 0) const = 0;
    virtual std::vector<Alert> blockAlerts(int64_t blockId, int count,
                                           uint64_t afterSeq = 0) const = 0;

    // ---- Figures for the company pages and lists -----------------------------------------
    virtual std::vector<FinancialYear> financials(int index) const = 0;  // oldest first
    virtual Margin margin(int index) const = 0;  // zero for non-eligible securities

    // ---- Clock -------------------------------------------------------------------------
    virtual ClockMode clockMode() const = 0;
    // Trading days of the calendar from the first history day up to today, ascending.
    virtual std::vector<int> tradingDays() const = 0;
    // Manual clock: run the simulator up to this market time and publish. Ignored otherwise.
    virtual void advanceTo(int64_t time) = 0;

protected:
    Market() = default;
};

}  // namespace vq::market
