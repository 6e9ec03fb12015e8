#include "server/quote/answer.h"

#include "protocol/fields.h"
#include "server/market/market.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <string_view>

namespace vq::quote {

namespace {

constexpr int kDefaultKLineRows = 512;
constexpr int kMaxKLineRows = 20000;
constexpr int kDefaultTicks = 200;
constexpr int kMaxTicks = 20000;
constexpr int kDefaultAlerts = 100;
constexpr int kMaxAlerts = 2000;
constexpr uint32_t kMaxPageRows = 10000;

uint64_t fnv(const void* data, size_t len, uint64_t h = 1469598103934665603ull) {
    auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < len; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

// Midnight of a Beijing trading day (yyyymmdd), seconds since 1970 UTC.
int64_t beijingMidnight(int yyyymmdd) {
    if (yyyymmdd <= 0)
        return 0;
    std::tm tm{};
    tm.tm_year = yyyymmdd / 10000 - 1900;
    tm.tm_mon = yyyymmdd / 100 % 100 - 1;
    tm.tm_mday = yyyymmdd % 100;
    return int64_t(timegm(&tm)) - 8 * 3600;
}

// The auxiliary value of a bar is its turnover rate, in percent of the float shares; indices,
// blocks and securities without share capital have none (0).
vqp::KPoint toPoint(const market::Bar& b, double floatShares) {
    vqp::KPoint p{};
    p.extra = floatShares > 0 ? float(double(b.volume) / floatShares * 100) : 0.0f;
    p.time = b.time;
    p.open = b.open;
    p.high = b.high;
    p.low = b.low;
    p.close = b.close;
    p.volume = b.volume;
    p.amount = int64_t(b.amount);
    return p;
}

vqp::MinPoint toPoint(const market::MinutePoint& m) {
    vqp::MinPoint p{};
    p.time = m.time;
    p.price = m.price;
    p.avg_price = m.avgPrice;
    p.volume = m.volume;
    p.amount = int64_t(m.amount);
    return p;
}

vqp::Tick toTick(const market::Tick& t) {
    vqp::Tick k{};
    k.time = t.time;
    k.price = t.price;
    k.volume = t.volume;
    k.count = t.count;
    k.direction = t.direction;
    return k;
}

market::Adjust adjustOf(uint32_t option) {
    if (option == vqp::AdjustForward)
        return market::Adjust::Forward;
    if (option == vqp::AdjustBackward)
        return market::Adjust::Backward;
    return market::Adjust::None;
}

}  // namespace

int Answerer::resolve(const vqp::SecurityKey& k) const {
    return market_.find(std::string_view(k.code, strnlen(k.code, vqp::kCodeLen)), k.market);
}

void Answerer::error(const vqp::Request& r, vqp::ErrorCode code, const char* text,
                     std::string& out) {
    vqp::ErrorMsg e;
    e.id = r.id;
    if (!vqp::replyKindOf(r.type, r.period, e.kind))
        e.kind = vqp::ReplyKind(0);
    e.code = code;
    e.text = text;
    vqp::encodeError(e, out);
}

bool Answerer::answer(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    vqp::ReplyKind kind;
    if (!vqp::replyKindOf(r.type, r.period, kind)) {
        if (initial)
            error(r, vqp::ErrorCode::BadPeriod, "unknown type or period", out);
        return initial;
    }
    switch (kind) {
        case vqp::ReplyKind::Snapshot:
            return snapshots(r, st, initial, out);
        case vqp::ReplyKind::KLine:
            return kline(r, st, initial, out);
        case vqp::ReplyKind::Minute:
            return minute(r, st, initial, out);
        case vqp::ReplyKind::Ticks:
            return ticks(r, st, initial, out);
        case vqp::ReplyKind::Dividends:
            return dividends(r, st, initial, out);
        case vqp::ReplyKind::Alerts:
            return alerts(r, st, initial, out);
    }
    return false;
}

void Answerer::codeList(std::string& out) {
    const auto& all = market_.securities();
    std::vector<vqp::CodeInfo> codes(all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        const market::Security& s = all[i];
        vqp::CodeInfo& c = codes[i];
        std::memset(&c, 0, sizeof c);
        vqp::setText(c.code, s.code);
        vqp::setText(c.name, s.name);
        vqp::setText(c.pinyin, s.pinyin);
        c.market = s.market;
        c.decimal = s.decimals;
        c.type = int8_t(market::wireType(s.type));
    }
    vqp::encodeCodeList(codes, out);
}

void Answerer::blockIndex(std::string& out) {
    std::vector<vqp::BlockIndexEntry> entries;
    for (const market::Security& s : market_.securities()) {
        if (s.blockId == 0)
            continue;
        vqp::BlockIndexEntry e{};
        vqp::setText(e.key.code, s.code);
        e.key.market = uint8_t(s.market);
        e.blockId = s.blockId;
        entries.push_back(e);
    }
    vqp::encodeBlockIndex(entries, out);
}

std::vector<int> Answerer::snapshotMembers(const vqp::Request& r) const {
    std::vector<int> ids;
    auto addBlockSecurity = [&](int64_t blockId) {
        const market::BlockInfo* b = market_.block(blockId);
        if (b && b->security >= 0)
            ids.push_back(b->security);
    };
    if (r.option == vqp::OptionBlocksOfSecurity && !r.codes.empty()) {
        int idx = resolve(r.codes.front());
        if (idx >= 0)
            for (int64_t id : market_.blocksOf(idx))
                addBlockSecurity(id);
    } else if (!r.codes.empty()) {
        for (const vqp::SecurityKey& k : r.codes) {
            int idx = resolve(k);
            if (idx >= 0)
                ids.push_back(idx);
        }
    } else if (r.block != 0) {
        if (const market::BlockInfo* b = market_.block(r.block))
            ids = b->members;
    } else if (r.category != 0) {
        for (int64_t id : market_.blocksOfCategory(int(r.category)))
            addBlockSecurity(id);
    }
    return ids;
}

// The securities of a list request in their sorted order. Many terminals watch the same
// few rankings, so the order is kept per list and market version and sorted once.
const std::vector<int>& Answerer::sortedMembers(const vqp::Request& r,
                                                const market::MarketSnapshot& snapshot) {
    std::string key;
    vqp::Writer w(key);
    w.u32(r.block);
    w.u32(r.category);
    w.u32(r.option);
    w.u16(r.sortField);
    w.u8(r.sortMode);
    for (const vqp::SecurityKey& k : r.codes) {
        w.raw(k.code, vqp::kCodeLen);
        w.u8(k.market);
    }
    auto it = sorted_.find(key);
    if (it != sorted_.end() && it->second.version == snapshot.version)
        return it->second.ids;
    if (sorted_.size() >= 256)
        sorted_.clear();  // lists nobody watches any more
    const market::MarketSnapshot* snap = &snapshot;
    std::vector<int> ids = snapshotMembers(r);
    ids.erase(
        std::remove_if(ids.begin(), ids.end(), [&](int i) { return i < 0 || i >= snap->size(); }),
        ids.end());

    const vqp::FieldDef* f = r.sortMode <= 1 ? vqp::findField(r.sortField) : nullptr;
    if (f) {
        const bool asc = r.sortMode == 1;
        if (vqp::isTextField(*f)) {
            std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
                int c = vqp::compareText(snap->quote(a), snap->quote(b), *f);
                return asc ? c < 0 : c > 0;
            });
        } else {
            std::vector<double> key(ids.size());
            for (size_t i = 0; i < ids.size(); ++i)
                key[i] = vqp::fieldValue(snap->quote(ids[i]), *f);
            std::vector<size_t> order(ids.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return asc ? key[a] < key[b] : key[a] > key[b];
            });
            std::vector<int> sorted(ids.size());
            for (size_t i = 0; i < order.size(); ++i)
                sorted[i] = ids[order[i]];
            ids.swap(sorted);
        }
    }

    SortedList& entry = sorted_[key];
    entry.version = snapshot.version;
    entry.ids.swap(ids);
    return entry.ids;
}

bool Answerer::snapshots(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    market::SnapshotPtr snap = market_.snapshot();
    if (!initial && snap->version == st.version)
        return false;
    st.version = snap->version;
    const std::vector<int>& ids = sortedMembers(r, *snap);

    vqp::SnapshotPage page;
    page.total = uint32_t(ids.size());
    uint32_t size = r.pageSize == 0 ? page.total : std::min(r.pageSize, kMaxPageRows);
    int64_t first = std::max<int64_t>(0, r.pageFirst);
    if (first >= int64_t(page.total))
        first = std::max<int64_t>(0, int64_t(page.total) - size);
    page.firstNo = int32_t(first);
    size_t end = std::min<size_t>(page.total, size_t(first) + size);
    page.rows.reserve(end - size_t(first));
    page.members.reserve(end - size_t(first));
    for (size_t i = size_t(first); i < end; ++i) {
        page.rows.push_back(snap->quote(ids[i]));
        const market::MembershipTexts& m = market_.membership(ids[i]);
        page.members.push_back({m.industry, m.region, m.concept});
    }
    std::string frame;
    vqp::encodeSnapshots(r.id, page, frame);
    uint64_t h = fnv(frame.data(), frame.size());
    if (!initial && st.sent && h == st.hash)
        return false;
    st.sent = true;
    st.hash = h;
    out += frame;
    return true;
}

bool Answerer::kline(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    int idx = r.codes.empty() ? -1 : resolve(r.codes.front());
    if (idx < 0) {
        if (initial)
            error(r, vqp::ErrorCode::UnknownSecurity, "unknown security", out);
        return initial;
    }
    const auto cycle = market::Cycle(r.period);
    const market::Adjust adjust = adjustOf(r.option);
    const market::Security& security = market_.securities()[size_t(idx)];
    const bool aggregate =
        security.type == market::SecType::Index || security.type == market::SecType::Block;
    const double floatShares = aggregate ? 0.0 : double(security.floatShares);
    if (initial) {
        int64_t rows =
            r.pageSize == 0 ? kDefaultKLineRows : std::min<int64_t>(r.pageSize, kMaxKLineRows);
        market::KLinePage page =
            market_.kline(idx, cycle, std::max<int64_t>(0, r.pageFirst), rows, adjust);
        vqp::KLineBlock b;
        b.points.reserve(page.bars.size());
        for (const market::Bar& bar : page.bars)
            b.points.push_back(toPoint(bar, floatShares));
        if (r.pageFirst <= 0 && !b.points.empty()) {
            st.lastTime = b.points.back().time;
            st.hash = fnv(&b.points.back(), sizeof(vqp::KPoint));
        }
        st.sent = true;
        st.version = market_.snapshot()->version;
        vqp::encodeKLine(r.id, b, out);
        return true;
    }
    if (r.pageFirst > 0)
        return false;  // an older page does not move
    uint64_t version = market_.snapshot()->version;
    if (version == st.version)
        return false;
    st.version = version;
    // Usually one or two bars are new; a session that skipped rounds (a slow reader) may
    // need more, back to the last bar it was sent, so its series has no gap.
    market::KLinePage page;
    for (int64_t rows = 16;; rows *= 4) {
        page = market_.kline(idx, cycle, 0, rows, adjust);
        if (page.bars.empty() || page.bars.front().time <= st.lastTime ||
            int64_t(page.bars.size()) < rows || rows >= kMaxKLineRows)
            break;
    }
    if (page.bars.empty())
        return false;
    vqp::KLineBlock b;
    for (const market::Bar& bar : page.bars)
        if (bar.time >= st.lastTime)
            b.points.push_back(toPoint(bar, floatShares));
    if (b.points.empty())
        return false;
    uint64_t h = fnv(&b.points.back(), sizeof(vqp::KPoint));
    if (b.points.back().time == st.lastTime && h == st.hash)
        return false;
    st.lastTime = b.points.back().time;
    st.hash = h;
    vqp::encodeKLine(r.id, b, out);
    return true;
}

bool Answerer::minute(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    int idx = r.codes.empty() ? -1 : resolve(r.codes.front());
    if (idx < 0) {
        if (initial)
            error(r, vqp::ErrorCode::UnknownSecurity, "unknown security", out);
        return initial;
    }
    if (!initial) {
        if (r.time != 0)
            return false;  // a past day does not move
        uint64_t version = market_.snapshot()->version;
        if (version == st.version)
            return false;
        st.version = version;
    } else {
        st.version = market_.snapshot()->version;
    }
    market::MinuteDay day = market_.minutes(idx, r.time);
    vqp::MinuteBlock b;
    b.preClose = day.preClose;
    b.day = beijingMidnight(day.tradingDay);
    const bool sameDay = st.sent && day.tradingDay == st.tradingDay;
    size_t from = 0;
    if (!initial && sameDay) {
        // Continue the series from the last point sent (it may have changed since).
        from = st.lastCount > 0 ? st.lastCount - 1 : 0;
        if (from >= day.points.size()) {
            return false;
        }
        b.append = 1;
    }
    for (size_t i = from; i < day.points.size(); ++i)
        b.points.push_back(toPoint(day.points[i]));
    uint64_t h = b.points.empty() ? 0 : fnv(&b.points.back(), sizeof(vqp::MinPoint));
    if (!initial && sameDay && day.points.size() == st.lastCount && h == st.hash)
        return false;
    st.sent = true;
    st.tradingDay = day.tradingDay;
    st.lastCount = day.points.size();
    st.hash = h;
    vqp::encodeMinute(r.id, b, out);
    return true;
}

bool Answerer::ticks(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    int idx = r.codes.empty() ? -1 : resolve(r.codes.front());
    if (idx < 0) {
        if (initial)
            error(r, vqp::ErrorCode::UnknownSecurity, "unknown security", out);
        return initial;
    }
    market::SnapshotPtr snap = market_.snapshot();
    if (!initial && snap->version == st.version)
        return false;
    st.version = snap->version;
    const market::Security* sec = market_.security(idx);
    int count = r.pageSize == 0 ? kDefaultTicks : std::min<int>(int(r.pageSize), kMaxTicks);
    market::TickPage page;
    if (initial || snap->tradingDay != st.tradingDay)
        page = market_.ticks(idx, initial ? r.pageFirst : 0, count);
    else
        page = market_.ticks(idx, st.ticksSent, kMaxTicks);
    if (!initial && page.ticks.empty() && snap->tradingDay == st.tradingDay)
        return false;
    vqp::TickBlock b;
    b.preClose = page.preClose;
    b.decimal = sec ? sec->decimals : 2;
    b.firstNo = page.first;
    b.ticks.reserve(page.ticks.size());
    for (const market::Tick& t : page.ticks)
        b.ticks.push_back(toTick(t));
    st.sent = true;
    st.tradingDay = snap->tradingDay;
    st.ticksSent = page.first + uint32_t(page.ticks.size());
    vqp::encodeTicks(r.id, b, out);
    return true;
}

bool Answerer::dividends(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    int idx = r.codes.empty() ? -1 : resolve(r.codes.front());
    if (idx < 0) {
        if (initial)
            error(r, vqp::ErrorCode::UnknownSecurity, "unknown security", out);
        return initial;
    }
    if (!initial) {
        // Ex-rights events change once a day at most; look again only when the day turns.
        int day = market_.snapshot()->tradingDay;
        if (day == st.tradingDay)
            return false;
        st.tradingDay = day;
    } else {
        st.tradingDay = market_.snapshot()->tradingDay;
    }
    vqp::DividendBlock b;
    for (const market::Dividend& d : market_.dividends(idx)) {
        vqp::DividendPoint p{};
        p.time = d.time;
        p.bonus_shares = d.bonusShares;
        p.rights_shares = d.rightsShares;
        p.rights_price = d.rightsPrice;
        p.cash = d.cash;
        p.adjust_factor = d.factor;
        p.pre_close = d.preClose;
        b.points.push_back(p);
    }
    uint64_t h =
        b.points.empty() ? 0 : fnv(b.points.data(), b.points.size() * sizeof(vqp::DividendPoint));
    if (!initial && h == st.hash)
        return false;
    st.hash = h;
    st.sent = true;
    vqp::encodeDividends(r.id, b, out);
    return true;
}

bool Answerer::alerts(const vqp::Request& r, PushState& st, bool initial, std::string& out) {
    int idx = -1;
    if (!r.codes.empty()) {
        idx = resolve(r.codes.front());
        if (idx < 0) {
            if (initial)
                error(r, vqp::ErrorCode::UnknownSecurity, "unknown security", out);
            return initial;
        }
    } else if (r.block == 0 || !market_.block(r.block)) {
        if (initial)
            error(r, vqp::ErrorCode::BadRequest, "alerts need a security or a block", out);
        return initial;
    }
    market::SnapshotPtr snap = market_.snapshot();
    if (!initial && snap->alertSeq <= st.alertSeq)
        return false;
    int count = r.pageSize == 0 ? kDefaultAlerts : std::min<int>(int(r.pageSize), kMaxAlerts);
    std::vector<market::Alert> list =
        idx >= 0 ? market_.alerts(idx, count, 0) : market_.blockAlerts(r.block, count, 0);
    size_t from = 0;
    if (!initial) {
        // New alerts only, plus those already sent within the same second as the first new
        // one: the monitor drops held alerts from that second on and takes the repeat.
        size_t firstNew = list.size();
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].seq > st.alertSeq) {
                firstNew = i;
                break;
            }
        if (firstNew == list.size()) {
            // Everything up to this version was in the list (it was read after the version).
            st.alertSeq = std::max(st.alertSeq, snap->alertSeq);
            return false;
        }
        from = firstNew;
        while (from > 0 && list[from - 1].time == list[firstNew].time)
            --from;
    }
    vqp::AlertList b;
    for (size_t i = from; i < list.size(); ++i) {
        const market::Alert& a = list[i];
        const market::Security* s = market_.security(a.security);
        vqp::Alert w{};
        std::memset(w.code, 0, sizeof w.code);
        std::memset(w.name, 0, sizeof w.name);
        std::memset(w.value, 0, sizeof w.value);
        if (s) {
            vqp::setText(w.code, s->code);
            vqp::setText(w.name, s->name);
            w.market = s->market;
        }
        w.time = a.time;
        w.tip = a.tip;
        vqp::setText(w.value, a.value);
        w.kind = int8_t(a.kind);
        b.alerts.push_back(std::move(w));
    }
    if (!list.empty())
        st.alertSeq = std::max(st.alertSeq, list.back().seq);
    st.alertSeq = std::max(st.alertSeq, snap->alertSeq);
    st.sent = true;
    vqp::encodeAlerts(r.id, b, out);
    return true;
}

}  // namespace vq::quote
