#include "protocol/messages.h"

namespace vqp {

bool SecurityKey::operator==(const SecurityKey& o) const {
    return market == o.market && std::memcmp(code, o.code, kCodeLen) == 0;
}

std::string SecurityKey::codeText() const {
    size_t n = 0;
    while (n < kCodeLen && code[n])
        ++n;
    return std::string(code, n);
}

void encodeRequest(const Request& r, std::string& out) {
    size_t f = beginFrame(out, Msg::Request);
    Writer w(out);
    w.u32(r.id);
    w.u8(uint8_t(r.action));
    w.u8(r.type);
    w.u16(r.period);
    w.u32(uint32_t(r.codes.size()));
    for (const SecurityKey& k : r.codes) {
        w.raw(k.code, kCodeLen);
        w.u8(k.market);
    }
    w.u32(r.block);
    w.u32(r.category);
    w.u32(r.option);
    w.u16(r.sortField);
    w.u8(r.sortMode);
    w.u32(uint32_t(r.fields.size()));
    for (uint16_t id : r.fields)
        w.u16(id);
    w.i32(r.pageFirst);
    w.u32(r.pageSize);
    w.i64(r.time);
    finishFrame(out, f);
}

bool decodeRequest(const std::string& body, Request& r) {
    Reader rd(body.data(), body.size());
    r.id = rd.u32();
    uint8_t action = rd.u8();
    if (action < uint8_t(Action::Request) || action > uint8_t(Action::Fetch))
        return false;
    r.action = Action(action);
    r.type = rd.u8();
    r.period = rd.u16();
    uint32_t n = rd.u32();
    if (n > kMaxCodesPerRequest || !rd.canRead(n, kCodeLen + 1))
        return false;
    r.codes.resize(n);
    for (SecurityKey& k : r.codes) {
        rd.raw(k.code, kCodeLen);
        k.market = rd.u8();
    }
    r.block = rd.u32();
    r.category = rd.u32();
    r.option = rd.u32();
    r.sortField = rd.u16();
    r.sortMode = rd.u8();
    n = rd.u32();
    if (n > kMaxFieldsPerRequest || !rd.canRead(n, 2))
        return false;
    r.fields.resize(n);
    for (uint16_t& id : r.fields)
        id = rd.u16();
    r.pageFirst = rd.i32();
    r.pageSize = rd.u32();
    r.time = rd.i64();
    return rd.ok() && rd.remaining() == 0;
}

void encodeCancel(uint32_t id, std::string& out) {
    size_t f = beginFrame(out, Msg::Cancel);
    Writer(out).u32(id);
    finishFrame(out, f);
}

bool decodeCancel(const std::string& body, uint32_t& id) {
    Reader rd(body.data(), body.size());
    id = rd.u32();
    return rd.ok() && rd.remaining() == 0;
}

namespace {

size_t beginReply(std::string& out, uint32_t id, ReplyKind kind) {
    size_t f = beginFrame(out, Msg::Reply);
    Writer w(out);
    w.u32(id);
    w.u16(uint16_t(kind));
    return f;
}

template <typename T>
void writeRecords(Writer& w, const std::vector<T>& v) {
    w.u32(uint32_t(v.size()));
    if (!v.empty())
        w.raw(v.data(), v.size() * sizeof(T));
}

template <typename T>
bool readRecords(Reader& r, std::vector<T>& v) {
    uint32_t n = r.u32();
    if (!r.canRead(n, sizeof(T)))
        return false;
    v.resize(n);
    if (n)
        r.raw(v.data(), n * sizeof(T));
    return r.ok();
}

}  // namespace

void encodeSnapshots(uint32_t id, const SnapshotPage& p, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::Snapshot);
    Writer w(out);
    w.i32(p.firstNo);
    w.u32(p.total);
    writeRecords(w, p.rows);
    for (size_t i = 0; i < p.rows.size(); ++i) {
        static const Membership none;
        const Membership& m = i < p.members.size() ? p.members[i] : none;
        w.str(m.industry);
        w.str(m.region);
        w.str(m.concept);
    }
    finishFrame(out, f);
}

bool decodeSnapshots(Reader& r, SnapshotPage& p) {
    p.firstNo = r.i32();
    p.total = r.u32();
    if (!readRecords(r, p.rows))
        return false;
    // Each membership needs at least its three length words.
    if (!r.canRead(p.rows.size(), 12))
        return false;
    p.members.resize(p.rows.size());
    for (Membership& m : p.members) {
        m.industry = r.str(4096);
        m.region = r.str(4096);
        m.concept = r.str(4096);
    }
    return r.ok() && r.remaining() == 0;
}

void encodeMinute(uint32_t id, const MinuteBlock& b, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::Minute);
    Writer w(out);
    w.f32(b.preClose);
    w.u16(b.append);
    w.i64(b.day);
    writeRecords(w, b.points);
    finishFrame(out, f);
}

bool decodeMinute(Reader& r, MinuteBlock& b) {
    b.preClose = r.f32();
    b.append = r.u16();
    b.day = r.i64();
    return readRecords(r, b.points) && r.remaining() == 0;
}

void encodeKLine(uint32_t id, const KLineBlock& b, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::KLine);
    Writer w(out);
    writeRecords(w, b.points);
    finishFrame(out, f);
}

bool decodeKLine(Reader& r, KLineBlock& b) {
    return readRecords(r, b.points) && r.remaining() == 0;
}

void encodeTicks(uint32_t id, const TickBlock& b, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::Ticks);
    Writer w(out);
    w.f32(b.preClose);
    w.i8(b.decimal);
    w.u32(b.firstNo);
    writeRecords(w, b.ticks);
    finishFrame(out, f);
}

bool decodeTicks(Reader& r, TickBlock& b) {
    b.preClose = r.f32();
    b.decimal = r.i8();
    b.firstNo = r.u32();
    return readRecords(r, b.ticks) && r.remaining() == 0;
}

void encodeDividends(uint32_t id, const DividendBlock& b, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::Dividends);
    Writer w(out);
    writeRecords(w, b.points);
    finishFrame(out, f);
}

bool decodeDividends(Reader& r, DividendBlock& b) {
    return readRecords(r, b.points) && r.remaining() == 0;
}

void encodeAlerts(uint32_t id, const AlertList& b, std::string& out) {
    size_t f = beginReply(out, id, ReplyKind::Alerts);
    Writer w(out);
    w.u32(uint32_t(b.alerts.size()));
    for (const Alert& a : b.alerts) {
        w.raw(a.code, kCodeLen);
        w.raw(a.name, kNameLen);
        w.i8(a.market);
        w.i64(a.time);
        w.str(a.tip);
        w.raw(a.value, sizeof a.value);
        w.i8(a.kind);
    }
    finishFrame(out, f);
}

bool decodeAlerts(Reader& r, AlertList& b) {
    uint32_t n = r.u32();
    constexpr size_t minSize = kCodeLen + kNameLen + 1 + 8 + 4 + 21 + 1;
    if (!r.canRead(n, minSize))
        return false;
    b.alerts.resize(n);
    for (Alert& a : b.alerts) {
        r.raw(a.code, kCodeLen);
        r.raw(a.name, kNameLen);
        a.market = r.i8();
        a.time = r.i64();
        a.tip = r.str(1024);
        r.raw(a.value, sizeof a.value);
        a.kind = r.i8();
    }
    return r.ok() && r.remaining() == 0;
}

bool decodeReplyHeader(Reader& r, ReplyHeader& h) {
    h.id = r.u32();
    uint16_t k = r.u16();
    switch (k) {
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 9:
            h.kind = ReplyKind(k);
            return r.ok();
        default:
            return false;
    }
}

void encodeCodeList(const std::vector<CodeInfo>& codes, std::string& out) {
    size_t f = beginFrame(out, Msg::CodeList);
    Writer w(out);
    writeRecords(w, codes);
    finishFrame(out, f);
}

bool decodeCodeList(const std::string& body, std::vector<CodeInfo>& codes) {
    Reader r(body.data(), body.size());
    return readRecords(r, codes) && r.remaining() == 0;
}

void encodeError(const ErrorMsg& e, std::string& out) {
    size_t f = beginFrame(out, Msg::Error);
    Writer w(out);
    w.u32(e.id);
    w.u16(uint16_t(e.kind));
    w.u16(uint16_t(e.code));
    w.str(e.text);
    finishFrame(out, f);
}

bool decodeError(const std::string& body, ErrorMsg& e) {
    Reader r(body.data(), body.size());
    e.id = r.u32();
    e.kind = ReplyKind(r.u16());
    e.code = ErrorCode(r.u16());
    e.text = r.str(4096);
    return r.ok() && r.remaining() == 0;
}

void encodeServerInfo(const std::string& name, int64_t serverTime, std::string& out) {
    size_t f = beginFrame(out, Msg::ServerInfo);
    Writer w(out);
    w.str(name);
    w.i64(serverTime);
    finishFrame(out, f);
}

bool decodeServerInfo(const std::string& body, std::string& name, int64_t& serverTime) {
    Reader r(body.data(), body.size());
    name = r.str(1024);
    serverTime = r.i64();
    return r.ok() && r.remaining() == 0;
}

void encodeBlockIndex(const std::vector<BlockIndexEntry>& entries, std::string& out) {
    size_t f = beginFrame(out, Msg::BlockIndex);
    Writer w(out);
    w.u32(uint32_t(entries.size()));
    for (const BlockIndexEntry& e : entries) {
        w.raw(e.key.code, kCodeLen);
        w.u8(e.key.market);
        w.i64(e.blockId);
    }
    finishFrame(out, f);
}

bool decodeBlockIndex(const std::string& body, std::vector<BlockIndexEntry>& entries) {
    Reader r(body.data(), body.size());
    uint32_t n = r.u32();
    if (!r.canRead(n, kCodeLen + 1 + 8))
        return false;
    entries.resize(n);
    for (BlockIndexEntry& e : entries) {
        r.raw(e.key.code, kCodeLen);
        e.key.market = r.u8();
        e.blockId = r.i64();
    }
    return r.ok() && r.remaining() == 0;
}

bool replyKindOf(uint8_t type, uint16_t period, ReplyKind& kind) {
    switch (type) {
        case TypeDividend:
            kind = ReplyKind::Dividends;
            return true;
        case TypeAlert:
            kind = ReplyKind::Alerts;
            return true;
        case TypeSeries:
            if (period == PeriodSnapshot)
                kind = ReplyKind::Snapshot;
            else if (period == PeriodTicks)
                kind = ReplyKind::Ticks;
            else if (period == PeriodMinute)
                kind = ReplyKind::Minute;
            else if (isKLinePeriod(period))
                kind = ReplyKind::KLine;
            else
                return false;
            return true;
        default:
            return false;
    }
}

}  // namespace vqp
