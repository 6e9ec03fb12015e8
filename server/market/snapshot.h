// One published state of the live market. A snapshot is immutable once published: the
// simulator builds the next version beside it and swaps a pointer, so any number of reader
// threads hold and read a version without a lock while the market moves on.
//
// Quotes are stored in chunks of kChunk securities, each chunk shared between versions
// until a security inside it changes; a new version therefore copies only the chunks that
// moved, not the whole market.
#pragma once

#include "protocol/records.h"
#include "server/market/types.h"

#include <array>
#include <memory>
#include <vector>

namespace vq::market {

// The quote of one security: exactly the snapshot record the quote protocol sends, so the
// quote service copies it to the wire without conversion. Every field is kept consistent
// by the simulator (limits, change, turnover rate, volume ratio, order ratio, speed,
// five-minute change, inner/outer volume, book, member counts of indices and blocks).
// Units: prices in yuan, volumes in shares, rates as fractions (rf_rate 0.0312 is 3.12 %,
// likewise swap, amplitude, committee, speed, m5_rf_rate); vol_rate is a plain ratio.
// block_id: the block an index or a BK security stands for, a stock's industry block.
using Quote = vqp::Snapshot;

class MarketSnapshot {
public:
    static constexpr int kChunk = 64;
    using Chunk = std::array<Quote, kChunk>;

    uint64_t version = 0;  // increases by one with every publication
    int64_t time = 0;      // market time of this version, seconds since 1970 UTC
    int tradingDay = 0;    // yyyymmdd of the session the quotes belong to
    Phase phase = Phase::Closed;
    uint64_t alertSeq = 0;  // seq of the newest alert fired up to this version (0: none)
    // Securities whose quote differs from the previous version, ascending. A version that
    // starts a new trading day lists every security.
    std::vector<int> changed;

    int size() const { return count_; }
    const Quote& quote(int security) const {
        return (*chunks_[size_t(security / kChunk)])[size_t(security % kChunk)];
    }

    // Building (market internals).
    MarketSnapshot() = default;
    void resize(int count);
    Quote& mutableQuote(int security);  // copies the chunk on first write in this version
    std::shared_ptr<MarketSnapshot> successor() const;  // shares every chunk

private:
    int count_ = 0;
    std::vector<std::shared_ptr<Chunk>> chunks_;
    std::vector<bool> owned_;  // chunk already private to this (unpublished) version
};

using SnapshotPtr = std::shared_ptr<const MarketSnapshot>;

}  // namespace vq::market
