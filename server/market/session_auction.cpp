// The call auctions: the opening one collects orders at an indicative price and matches at
// 09:25; the closing one collects from 14:57 and its match at 15:00 makes the close.
#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/session_pace.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

void Session::stepAuction(int i, int s) {
    Live& l = *live_[size_t(i)];
    const SimParams& p = u_.params[size_t(i)];
    const Security& sec = u_.securities[size_t(i)];
    Rng& r = rng_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    // Orders arrive through the auction and the indicative price wanders towards the gap.
    const double progress = double(s - session::kAuctionStart) / 600;
    const double target = l.pre * std::exp(l.gap * progress + 0.002 * r.normal() * (1 - progress));
    double px = roundTo(target, p.tick);
    if (l.up > 0)
        px = std::clamp(px, l.down, l.up);
    l.auctionPx = px;
    l.auctionVol += int64_t(std::max(1.0, l.meanLots * r.uniform(0.2, 1.2))) * p.lot;
    const int64_t extra = int64_t(std::max(1.0, l.meanLots * r.uniform(0.5, 3))) * p.lot;
    l.bidPx[0] = l.askPx[0] = px;
    l.bidVol[0] = l.askVol[0] = l.auctionVol;
    const bool moreBuy = l.gap > 0;
    for (int k = 1; k < 5; ++k) {
        l.bidPx[k] = l.askPx[k] = 0;
        l.bidVol[k] = l.askVol[k] = 0;
    }
    (moreBuy ? l.bidVol[1] : l.askVol[1]) = extra;
    (moreBuy ? l.bidPx[1] : l.askPx[1]) = px;
    (void)sec;
    if (!dirty_[size_t(i)]) {
        dirty_[size_t(i)] = 1;
        dirtyList_.push_back(i);
    }
}

void Session::match(int i, int s) {
    stepAuction(i, s);
    Live& l = *live_[size_t(i)];
    const SimParams& p = u_.params[size_t(i)];
    std::unique_lock<std::mutex> lock(l.mu);
    const double px = l.auctionPx;
    const int64_t lots = std::max<int64_t>(1, l.auctionVol / p.lot);
    l.matched = true;
    l.open = l.high = l.low = px;
    // The auction price becomes the new reference of the idiosyncratic walk.
    l.x = 0;
    l.gap = std::log(px / l.pre);
    l.auctionVol = 0;  // the closing auction collects its own orders
    lock.unlock();
    record(i, l, s, px, lots, 'N');
    std::lock_guard<std::mutex> lock2(l.mu);
    rebuildBook(i, l, 'N');
}

// The closing auction: orders collect at one indicative price that follows the security's
// fair value; at 15:00 they trade at once and that trade makes the close.
void Session::stepClosingAuction(int i, int s, bool matchNow) {
    Live& l = *live_[size_t(i)];
    if (!l.matched)
        return;
    const SimParams& p = u_.params[size_t(i)];
    const Security& sec = u_.securities[size_t(i)];
    Rng& r = rng_[size_t(i)];
    const double sigma = std::max(0.001, sec.volatility);
    const int elapsed = std::max(1, s - std::max(l.xSecond, session::kMorningOpen));
    l.x += sigma * std::sqrt(double(elapsed) / kSessionSeconds) * r.fatTail();
    l.xSecond = s;
    double f = l.gap + l.x + p.beta * marketLevel_ + l.jump + conceptMove(i, 1);
    if (p.industry >= 0)
        f += p.industryLoad * industryLevel_[size_t(p.industry)];
    // The close stays near the last trade: the auction moves it by a fraction of the way
    // to the fair value.
    double px = roundTo(l.last + 0.3 * (l.pre * std::exp(f) - l.last), p.tick);
    if (l.up > 0)
        px = std::clamp(px, l.down, l.up);
    px = std::max(px, p.tick);
    {
        std::lock_guard<std::mutex> lock(l.mu);
        l.auctionPx = px;
        l.auctionVol += int64_t(std::max(1.0, l.meanLots * r.uniform(0.5, 2.5))) * p.lot;
        for (int k = 0; k < 5; ++k) {
            l.bidPx[k] = l.askPx[k] = 0;
            l.bidVol[k] = l.askVol[k] = 0;
        }
        l.bidPx[0] = l.askPx[0] = px;
        l.bidVol[0] = l.askVol[0] = l.auctionVol;
    }
    if (!matchNow) {
        if (!dirty_[size_t(i)]) {
            dirty_[size_t(i)] = 1;
            dirtyList_.push_back(i);
        }
        return;
    }
    const int64_t lots = std::max<int64_t>(1, l.auctionVol / p.lot);
    record(i, l, s, px, lots, 'N');
    std::lock_guard<std::mutex> lock(l.mu);
    l.auctionVol = 0;
    rebuildBook(i, l, 'N');
}

}  // namespace vq::market
