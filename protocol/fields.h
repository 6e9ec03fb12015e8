// The market field ids: the numbers views use to name a column of a snapshot (the sort
// field of a list, the field list of a request). One table, shared by the quote service,
// which sorts by them, and libquote, which passes them through.
#pragma once

#include "protocol/records.h"

namespace vqp {

enum class FieldKind : uint8_t { Text, I8, I16, I64, F32, F64, Computed };

struct FieldDef {
    uint16_t id;
    const char* name;
    FieldKind kind;
    uint16_t offset;  // within Snapshot; unused for Computed
};

namespace field {
enum : uint16_t {
    Identity = 0,  // code, name, pinyin, market, decimal, type
    Code = 1,
    Name = 2,
    Pinyin = 3,
    PreClose = 4,
    Open = 5,
    High = 6,
    Low = 7,
    Close = 8,
    Vol = 9,
    CurVol = 10,
    Sum = 11,
    RedVol = 12,    // outer (buy-side) volume
    GreenVol = 13,  // inner (sell-side) volume
    Timestamp = 14,
    AvgPrice = 15,
    Decimal = 32,
    VolRate = 33,
    RfRate = 34,
    RfValue = 35,
    M5RfRate = 36,
    Swap = 37,
    Committee = 38,
    CommitteeDiff = 39,
    Pe = 40,
    Amplitude = 41,
    D5AvgVol = 42,
    RiseLimit = 43,
    FallLimit = 44,
    Eps = 45,
    FloatShares = 46,
    TotalShares = 47,
    PsNetAsset = 48,
    BlockId = 49,
    Speed = 58,
    RiseCount = 59,
    FlatCount = 60,
    FallCount = 61,
    AllCount = 62,
    Bid1 = 63,
    Ask1 = 64,
    TotalBuy = 306,
    TotalSell = 307,
    Market = 350,
    Type = 351,
    FloatValue = 1001,   // float_shares x close
    TotalValue = 1002,   // total_shares x close
    PriceToBook = 1003,  // close / ps_net_asset
    Membership = 1015,   // industry, region and concept texts
    ConceptMembership = 1016,
};
}

// The definition of a field id, or nullptr for an id the service does not know.
const FieldDef* findField(uint16_t id);
// Every known field, in id order.
const FieldDef* fieldTable(size_t& count);

// The sort key of a snapshot for a numeric field (texts compare with compareText).
double fieldValue(const Snapshot& s, const FieldDef& f);
bool isTextField(const FieldDef& f);
int compareText(const Snapshot& a, const Snapshot& b, const FieldDef& f);

}  // namespace vqp
