// Messages of the quote protocol above the framing: the request of a context, the replies
// and the code list. Encoders append one whole frame; decoders take a frame body and
// return false on anything malformed, never reading outside it.
#pragma once

#include "protocol/records.h"
#include "protocol/wire.h"

namespace vqp {

// Reply kinds; the numbers are the reply types libquote hands to its callback.
enum class ReplyKind : uint16_t {
    Snapshot = 3,
    Minute = 4,
    KLine = 5,
    Ticks = 6,
    Dividends = 7,
    Alerts = 9,
};

// Request types (the context's type setting).
enum RequestType : uint8_t { TypeSeries = 0, TypeDividend = 1, TypeAlert = 3 };

// Periods (cycles).
enum Period : uint16_t {
    PeriodSnapshot = 30,
    PeriodTicks = 31,
    PeriodMinute = 32,
    PeriodDay = 33,
    Period1Min = 34,
    Period5Min = 35,
    Period15Min = 36,
    Period30Min = 37,
    Period60Min = 38,
    PeriodWeek = 39,
    PeriodMonth = 40,
};
inline bool isKLinePeriod(unsigned p) {
    return p >= PeriodDay && p <= PeriodMonth;
}

// Options of a snapshot list: 4 a block ranking, 6 the blocks a security belongs to,
// 12 a list of given codes (sorted and paged like a block). For K-lines the option is the
// adjustment: 1 none, 2 forward, 4 backward.
enum Option : uint32_t {
    OptionNone = 0,
    AdjustNone = 1,
    AdjustForward = 2,
    AdjustBackward = 4,
    OptionBlockRanking = 4,
    OptionBlocksOfSecurity = 6,
    OptionCodeList = 12,
};

enum class Action : uint8_t {
    Request = 1,    // one reply; drops a subscription of the same context
    Subscribe = 2,  // a reply now and again whenever the data changes
    Fetch = 3,      // one reply (older K-line rows); leaves the subscription as it is
};

struct SecurityKey {
    char code[kCodeLen];
    uint8_t market;
    bool operator==(const SecurityKey& o) const;
    std::string codeText() const;
};

struct Request {
    uint32_t id = 0;  // the client's id of this request; replies carry it back
    Action action = Action::Request;
    uint8_t type = TypeSeries;
    uint16_t period = 0;
    std::vector<SecurityKey> codes;
    uint32_t block = 0;
    uint32_t category = 0;
    uint32_t option = 0;
    uint16_t sortField = 0;
    uint8_t sortMode = 0;  // 0 descending, 1 ascending, 2 unsorted (list order)
    std::vector<uint16_t> fields;
    int32_t pageFirst =
        0;  // snapshots: first row; ticks: first tick (-1 latest); K-lines: newest rows skipped
    uint32_t pageSize = 0;
    int64_t time = 0;  // minute line of a past day (0 today)
};

constexpr size_t kMaxCodesPerRequest = 10000;
constexpr size_t kMaxFieldsPerRequest = 512;

void encodeRequest(const Request& r, std::string& out);
bool decodeRequest(const std::string& body, Request& r);

void encodeCancel(uint32_t id, std::string& out);
bool decodeCancel(const std::string& body, uint32_t& id);

// Replies. Each starts with the id of the request answered and the kind.
struct ReplyHeader {
    uint32_t id = 0;
    ReplyKind kind = ReplyKind::Snapshot;
};

struct SnapshotPage {
    int32_t firstNo = 0;  // zero-based row number of rows[0] in the whole sorted list
    uint32_t total = 0;   // rows of the whole list
    std::vector<Snapshot> rows;
    std::vector<Membership> members;  // parallel to rows
};
struct MinuteBlock {
    float preClose = 0;
    uint16_t append = 0;  // 0: replaces the series; otherwise continues it
    int64_t day = 0;
    std::vector<MinPoint> points;
};
struct KLineBlock {
    std::vector<KPoint> points;
};
struct TickBlock {
    float preClose = 0;
    int8_t decimal = 0;
    uint32_t firstNo = 0;  // number of ticks[0] within the day's tick list
    std::vector<Tick> ticks;
};
struct DividendBlock {
    std::vector<DividendPoint> points;
};
struct AlertList {
    std::vector<Alert> alerts;
};

void encodeSnapshots(uint32_t id, const SnapshotPage& p, std::string& out);
void encodeMinute(uint32_t id, const MinuteBlock& b, std::string& out);
void encodeKLine(uint32_t id, const KLineBlock& b, std::string& out);
void encodeTicks(uint32_t id, const TickBlock& b, std::string& out);
void encodeDividends(uint32_t id, const DividendBlock& b, std::string& out);
void encodeAlerts(uint32_t id, const AlertList& b, std::string& out);

// Decoding a reply: read the header, then the payload of its kind from the same reader.
bool decodeReplyHeader(Reader& r, ReplyHeader& h);
bool decodeSnapshots(Reader& r, SnapshotPage& p);
bool decodeMinute(Reader& r, MinuteBlock& b);
bool decodeKLine(Reader& r, KLineBlock& b);
bool decodeTicks(Reader& r, TickBlock& b);
bool decodeDividends(Reader& r, DividendBlock& b);
bool decodeAlerts(Reader& r, AlertList& b);

void encodeCodeList(const std::vector<CodeInfo>& codes, std::string& out);
bool decodeCodeList(const std::string& body, std::vector<CodeInfo>& codes);

enum class ErrorCode : uint16_t {
    BadRequest = 1,
    UnknownSecurity = 2,
    BadPeriod = 3,
    Overloaded = 4
};
struct ErrorMsg {
    uint32_t id = 0;
    ReplyKind kind = ReplyKind::Snapshot;  // the kind the request would have been answered with
    ErrorCode code = ErrorCode::BadRequest;
    std::string text;
};
void encodeError(const ErrorMsg& e, std::string& out);
bool decodeError(const std::string& body, ErrorMsg& e);

struct BlockIndexEntry {
    SecurityKey key;
    int64_t blockId;
};
void encodeBlockIndex(const std::vector<BlockIndexEntry>& entries, std::string& out);
bool decodeBlockIndex(const std::string& body, std::vector<BlockIndexEntry>& entries);

void encodeServerInfo(const std::string& name, int64_t serverTime, std::string& out);
bool decodeServerInfo(const std::string& body, std::string& name, int64_t& serverTime);

// The reply kind a request is answered with, or false when the request names none
// (an unknown type or period).
bool replyKindOf(uint8_t type, uint16_t period, ReplyKind& kind);

}  // namespace vqp
