#include "server/market/snapshot.h"

#include <cstring>

namespace vq::market {

void MarketSnapshot::resize(int count) {
    count_ = count;
    const size_t n = size_t((count + kChunk - 1) / kChunk);
    chunks_.resize(n);
    owned_.assign(n, true);
    for (auto& c : chunks_)
        if (!c) {
            c = std::make_shared<Chunk>();
            std::memset(static_cast<void*>(c->data()), 0, sizeof(Chunk));
        }
}

Quote& MarketSnapshot::mutableQuote(int security) {
    const size_t c = size_t(security / kChunk);
    if (!owned_[c]) {
        chunks_[c] = std::make_shared<Chunk>(*chunks_[c]);
        owned_[c] = true;
    }
    return (*chunks_[c])[size_t(security % kChunk)];
}

std::shared_ptr<MarketSnapshot> MarketSnapshot::successor() const {
    auto next = std::make_shared<MarketSnapshot>();
    next->version = version + 1;
    next->time = time;
    next->tradingDay = tradingDay;
    next->phase = phase;
    next->alertSeq = alertSeq;
    next->count_ = count_;
    next->chunks_ = chunks_;
    next->owned_.assign(chunks_.size(), false);
    return next;
}

}  // namespace vq::market
