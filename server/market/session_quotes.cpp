// What the session hands out: each security's quote with its day statistics, its finished
// day bar and minute bars.
#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"

#include <algorithm>
#include <cstring>

namespace vq::market {

double Session::priceAgo(const Live& l, int s, int minutesAgo) const {
    const int m = minuteIndex(s);
    if (m < 0)
        return 0;
    const int k = m - minutesAgo;
    if (k < 0)
        return l.open > 0 ? l.open : l.pre;
    for (int j = k; j >= 0; --j)
        if (l.minutes[size_t(j)].traded)
            return l.minutes[size_t(j)].close;
    return l.open > 0 ? l.open : l.pre;
}

Bar Session::dayBar(int i) const {
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    Bar b;
    b.time = beijingTime(day_, 15, 0);
    if (l.matched && l.open > 0) {
        b.open = float(l.open);
        b.high = float(l.high);
        b.low = float(l.low);
        b.close = float(l.last);
    } else {
        b.open = b.high = b.low = b.close = float(l.pre);
    }
    b.volume = l.vol;
    b.amount = l.amount;
    return b;
}

std::vector<MinuteBar> Session::minuteBars(int i) const {
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    return l.minutes;
}

void Session::fillQuote(Quote& q, int i, int64_t time) const {
    const Security& s = u_.securities[size_t(i)];
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    std::memset(static_cast<void*>(&q), 0, sizeof q);
    vqp::setText(q.info.code, s.code);
    vqp::setText(q.info.name, s.name);
    vqp::setText(q.info.pinyin, s.pinyin);
    q.info.market = s.market;
    q.info.decimal = s.decimals;
    q.info.type = int8_t(wireType(s.type));
    q.timestamp = time;
    q.pre_close = float(l.pre);
    const bool traded = l.matched && l.open > 0;
    q.open = traded ? float(l.open) : 0;
    q.high = traded ? float(l.high) : 0;
    q.low = traded ? float(l.low) : 0;
    const double close = traded ? l.last : l.pre;
    q.close = float(close);
    q.vol = l.vol;
    q.cur_vol = l.curVol;
    q.sum = l.amount;
    q.red_vol = l.red;
    q.green_vol = l.green;
    const int sod = second_;
    const int mins = std::max(traded ? 1 : 0, minutesElapsed(sod));
    q.d5_avg_vol = int64_t(l.d5);
    q.vol_rate =
        mins > 0 && l.d5 > 0 ? float((double(l.vol) / mins) / (l.d5 / session::kMinutes)) : 0;
    const double floatShares = isAggregate(s) ? 0 : double(s.floatShares);
    if (isAggregate(s)) {
        double fl = 0;
        for (int m : u_.params[size_t(i)].members)
            fl += double(u_.securities[size_t(m)].floatShares);
        q.swap = fl > 0 ? float(double(l.vol) / fl) : 0;
    } else {
        q.swap = floatShares > 0 ? float(double(l.vol) / floatShares) : 0;
    }
    q.amplitude = traded && l.pre > 0 ? float((l.high - l.low) / l.pre) : 0;
    q.rf_value = float(close - l.pre);
    q.rf_rate = l.pre > 0 ? float((close - l.pre) / l.pre) : 0;
    int64_t bidSum = 0, askSum = 0;
    for (int k = 0; k < 5; ++k) {
        q.bid_price[k] = float(l.bidPx[k]);
        q.ask_price[k] = float(l.askPx[k]);
        q.bid_vol[k] = l.bidVol[k];
        q.ask_vol[k] = l.askVol[k];
        bidSum += l.bidVol[k];
        askSum += l.askVol[k];
    }
    q.committee =
        bidSum + askSum > 0 ? float(double(bidSum - askSum) / double(bidSum + askSum)) : 0;
    q.committee_diff = bidSum - askSum;
    if (isAggregate(s))
        q.avg_price = l.matched
                          ? float(roundTo(l.pre * (1 + l.sumReturn / std::max(1, l.members)), 0.01))
                          : 0;
    else
        q.avg_price = l.vol > 0 ? float(l.amount / double(l.vol)) : 0;
    if (traded) {
        const double ago1 = priceAgo(l, sod, 1), ago5 = priceAgo(l, sod, 5);
        q.speed = ago1 > 0 ? float(close / ago1 - 1) : 0;
        q.m5_rf_rate = ago5 > 0 ? float(close / ago5 - 1) : 0;
    }
    q.rise_limit = float(l.up);
    q.fall_limit = float(l.down);
    q.eps = s.eps;
    q.pe = s.eps > 0 ? float(close / s.eps) : 0;
    q.float_shares = s.floatShares;
    q.total_shares = s.totalShares;
    q.ps_net_asset = s.netAssetPerShare;
    if (isAggregate(s)) {
        q.rise_count = int16_t(std::min(l.rise, 32767));
        q.fall_count = int16_t(std::min(l.fall, 32767));
        q.flat_count = int16_t(std::min(l.flat, 32767));
        q.all_count = int16_t(std::min(l.members, 32767));
    }
    // An index or a block names the block it stands for; a stock names its industry block,
    // so the quote view has a related block to show (0 hides that tab).
    q.block_id = s.blockId ? s.blockId : s.industry;
    q.total_buy = l.totalBuy;
    q.total_sell = l.totalSell;
}

void Session::publishInto(MarketSnapshot& next, int64_t time) {
    if (next.size() != int(live_.size()))
        next.resize(int(live_.size()));
    std::sort(dirtyList_.begin(), dirtyList_.end());
    next.changed = dirtyList_;
    for (int i : dirtyList_) {
        fillQuote(next.mutableQuote(i), i, time);
        dirty_[size_t(i)] = 0;
    }
    dirtyList_.clear();
    next.time = time;
    next.tradingDay = day_;
    next.phase = phase();
    next.alertSeq = alertSeq();
    fresh_ = false;
}

}  // namespace vq::market
