// Reply delivery of the engine: frames read from the service turned into the replies of
// the C interface and handed to the callback, on the engine thread.
#include "libquote/engine.h"

#include <cstring>

namespace libquote {

void Engine::handleFrame(const vqp::Frame& f) {
    switch (f.type) {
        case vqp::Msg::Reply:
            deliverReply(f.body);
            break;
        case vqp::Msg::CodeList:
            deliverCodes(f.body);
            break;
        case vqp::Msg::Error:
            deliverError(f.body);
            break;
        case vqp::Msg::BlockIndex: {
            std::vector<vqp::BlockIndexEntry> entries;
            if (vqp::decodeBlockIndex(f.body, entries))
                for (const vqp::BlockIndexEntry& e : entries)
                    learnBlockId(e.key, e.blockId);
            break;
        }
        case vqp::Msg::ServerInfo: {
            std::string name;
            int64_t t;
            if (vqp::decodeServerInfo(f.body, name, t) && server_.name[0] == 0)
                vqp::setText(server_.name, name);
            break;
        }
        default:
            break;  // pongs and types of later versions
    }
}

// The context a reply under `wire` is for, or null when nobody waits for it any more.
QuoteCtx* Engine::liveContext(uint32_t wire) {
    WireRoutes::Target t;
    if (!routes_.take(wire, t))
        return nullptr;  // superseded, cancelled or already answered
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = registry_.find(t.ctx);
    if (it == registry_.end() || it->second->released)
        return nullptr;
    // The context was sent again (or cancelled) after this send; the engine thread has not
    // taken that command yet, but the reply is already a previous request's.
    if ((t.fetch ? it->second->seriesLead : it->second->lead) != t.lead)
        return nullptr;
    return it->second;
}

void Engine::deliverState(int state) {
    QuoteServerState s{&server_, state};
    QuoteReply rpl{};
    rpl.type = QUOTE_REPLY_SERVER_STATE;
    rpl.count = 1;
    rpl.payload = &s;
    callback_(nullptr, &rpl);
}

void Engine::deliverCodes(const std::string& body) {
    std::vector<vqp::CodeInfo> codes;
    if (!vqp::decodeCodeList(body, codes))
        return;
    static_assert(sizeof(vqp::CodeInfo) == sizeof(QuoteCodeInfo), "code info image");
    QuoteReply rpl{};
    rpl.type = QUOTE_REPLY_CODES;
    rpl.count = uint32_t(codes.size());
    rpl.payload = codes.data();
    callback_(nullptr, &rpl);
}

// An error answers the request with an empty reply of its kind, so a view that waits for
// data (or clears on an empty answer) sees the request finished.
void Engine::deliverError(const std::string& body) {
    vqp::ErrorMsg e;
    if (!vqp::decodeError(body, e))
        return;
    QuoteCtx* ctx = liveContext(e.id);
    if (!ctx)
        return;
    QuoteReply rpl{};
    rpl.ctx = ctx;
    rpl.count = 0;
    QuoteKPoints k{};
    QuoteMinPoints m{};
    QuoteDetailPoints d{};
    QuoteDividendPoints dv{};
    switch (e.kind) {
        case vqp::ReplyKind::Snapshot:
            rpl.payload = nullptr;
            break;
        case vqp::ReplyKind::KLine:
            rpl.payload = &k;
            break;
        case vqp::ReplyKind::Minute:
            rpl.payload = &m;
            break;
        case vqp::ReplyKind::Ticks:
            rpl.payload = &d;
            break;
        case vqp::ReplyKind::Dividends:
            rpl.payload = &dv;
            break;
        case vqp::ReplyKind::Alerts:
            rpl.payload = nullptr;
            break;
        default:
            return;
    }
    if (e.kind == vqp::ReplyKind::Snapshot) {
        ctx->firstNo = 0;
        ctx->total = 0;
    }
    rpl.type = uint16_t(e.kind);
    callback_(nullptr, &rpl);
}

void Engine::deliverReply(const std::string& body) {
    vqp::Reader r(body.data(), body.size());
    vqp::ReplyHeader h;
    if (!vqp::decodeReplyHeader(r, h))
        return;
    QuoteReply rpl{};
    rpl.type = uint16_t(h.kind);
    switch (h.kind) {
        case vqp::ReplyKind::Snapshot: {
            vqp::SnapshotPage p;
            if (!vqp::decodeSnapshots(r, p))
                return;
            for (const vqp::Snapshot& s : p.rows)
                if (s.block_id != 0) {
                    vqp::SecurityKey k{};
                    std::memcpy(k.code, s.info.code, vqp::kCodeLen);
                    k.market = uint8_t(s.info.market);
                    learnBlockId(k, s.block_id);
                }
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            std::vector<QuoteRealTimeMarket> rows(p.rows.size());
            std::vector<QuoteMembership> members(p.rows.size());
            for (size_t i = 0; i < p.rows.size(); ++i) {
                std::memcpy(&rows[i], &p.rows[i], sizeof(vqp::Snapshot));
                const vqp::Membership& m = p.members[i];
                members[i] = {m.industry.empty() ? nullptr : m.industry.c_str(),
                              m.region.empty() ? nullptr : m.region.c_str(),
                              m.concept.empty() ? nullptr : m.concept.c_str()};
                rows[i].membership = &members[i];
            }
            ctx->firstNo = p.firstNo;
            ctx->total = p.total;
            rpl.ctx = ctx;
            rpl.count = uint32_t(rows.size());
            rpl.payload = rows.empty() ? nullptr : rows.data();
            callback_(nullptr, &rpl);
            return;
        }
        case vqp::ReplyKind::KLine: {
            vqp::KLineBlock b;
            if (!vqp::decodeKLine(r, b))
                return;
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            static_assert(sizeof(vqp::KPoint) == sizeof(QuoteKPoint), "K-line point image");
            QuoteKPoints k{};
            k.count = uint32_t(b.points.size());
            k.points = reinterpret_cast<QuoteKPoint*>(b.points.data());
            rpl.ctx = ctx;
            rpl.count = k.count;
            rpl.payload = &k;
            callback_(nullptr, &rpl);
            return;
        }
        case vqp::ReplyKind::Minute: {
            vqp::MinuteBlock b;
            if (!vqp::decodeMinute(r, b))
                return;
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            static_assert(sizeof(vqp::MinPoint) == sizeof(QuoteMinPoint), "minute point image");
            QuoteMinPoints m{};
            m.pre_close = b.preClose;
            m.day = b.day;
            m.append = b.append;
            m.count = uint32_t(b.points.size());
            m.points = reinterpret_cast<QuoteMinPoint*>(b.points.data());
            rpl.ctx = ctx;
            rpl.count = m.count;
            rpl.payload = &m;
            callback_(nullptr, &rpl);
            return;
        }
        case vqp::ReplyKind::Ticks: {
            vqp::TickBlock b;
            if (!vqp::decodeTicks(r, b))
                return;
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            static_assert(sizeof(vqp::Tick) == sizeof(QuoteDetailPoint), "tick image");
            QuoteDetailPoints d{};
            d.pre_close = b.preClose;
            d.count = uint32_t(b.ticks.size());
            d.points = reinterpret_cast<QuoteDetailPoint*>(b.ticks.data());
            d.decimal = b.decimal;
            d.first_no = b.firstNo;
            rpl.ctx = ctx;
            rpl.count = d.count;
            rpl.payload = &d;
            callback_(nullptr, &rpl);
            return;
        }
        case vqp::ReplyKind::Dividends: {
            vqp::DividendBlock b;
            if (!vqp::decodeDividends(r, b))
                return;
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            static_assert(sizeof(vqp::DividendPoint) == sizeof(QuoteDividendPoint),
                          "dividend image");
            QuoteDividendPoints d{};
            d.count = uint32_t(b.points.size());
            d.points = d.count ? reinterpret_cast<QuoteDividendPoint*>(b.points.data()) : nullptr;
            rpl.ctx = ctx;
            rpl.count = d.count;
            rpl.payload = &d;
            callback_(nullptr, &rpl);
            return;
        }
        case vqp::ReplyKind::Alerts: {
            vqp::AlertList b;
            if (!vqp::decodeAlerts(r, b))
                return;
            QuoteCtx* ctx = liveContext(h.id);
            if (!ctx)
                return;
            std::vector<QuoteStockTip> tips(b.alerts.size());
            for (size_t i = 0; i < b.alerts.size(); ++i) {
                const vqp::Alert& a = b.alerts[i];
                QuoteStockTip& t = tips[i];
                std::memset(&t, 0, sizeof t);
                std::memcpy(t.code, a.code, sizeof t.code);
                vqp::setText(t.name, vqp::getText(a.name));
                t.market = a.market;
                t.time = a.time;
                t.tip = a.tip.c_str();
                std::memcpy(t.value, a.value, sizeof t.value);
                t.value[sizeof t.value - 1] = 0;
                t.kind = a.kind;
            }
            rpl.ctx = ctx;
            rpl.count = uint32_t(tips.size());
            rpl.payload = tips.empty() ? nullptr : tips.data();
            callback_(nullptr, &rpl);
            return;
        }
    }
}

}  // namespace libquote
