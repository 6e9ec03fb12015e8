#include "protocol/fields.h"

#include <cstring>

namespace vqp {

#define VQ_F(id, member, kind) \
    { id, #member, FieldKind::kind, uint16_t(offsetof(Snapshot, member)) }
#define VQ_INFO(id, member) \
    { id, #member, FieldKind::Text, uint16_t(offsetof(CodeInfo, member)) }

namespace {
const FieldDef kFields[] = {
    VQ_INFO(field::Identity, code),
    VQ_INFO(field::Code, code),
    VQ_INFO(field::Name, name),
    VQ_INFO(field::Pinyin, pinyin),
    VQ_F(field::PreClose, pre_close, F32),
    VQ_F(field::Open, open, F32),
    VQ_F(field::High, high, F32),
    VQ_F(field::Low, low, F32),
    VQ_F(field::Close, close, F32),
    VQ_F(field::Vol, vol, I64),
    VQ_F(field::CurVol, cur_vol, I64),
    VQ_F(field::Sum, sum, F64),
    VQ_F(field::RedVol, red_vol, I64),
    VQ_F(field::GreenVol, green_vol, I64),
    VQ_F(field::Timestamp, timestamp, I64),
    VQ_F(field::AvgPrice, avg_price, F32),
    {field::Decimal, "decimal", FieldKind::I8, uint16_t(offsetof(CodeInfo, decimal))},
    VQ_F(field::VolRate, vol_rate, F32),
    VQ_F(field::RfRate, rf_rate, F32),
    VQ_F(field::RfValue, rf_value, F32),
    VQ_F(field::M5RfRate, m5_rf_rate, F32),
    VQ_F(field::Swap, swap, F32),
    VQ_F(field::Committee, committee, F32),
    VQ_F(field::CommitteeDiff, committee_diff, I64),
    VQ_F(field::Pe, pe, F32),
    VQ_F(field::Amplitude, amplitude, F32),
    VQ_F(field::D5AvgVol, d5_avg_vol, I64),
    VQ_F(field::RiseLimit, rise_limit, F32),
    VQ_F(field::FallLimit, fall_limit, F32),
    VQ_F(field::Eps, eps, F64),
    VQ_F(field::FloatShares, float_shares, I64),
    VQ_F(field::TotalShares, total_shares, I64),
    VQ_F(field::PsNetAsset, ps_net_asset, F64),
    VQ_F(field::BlockId, block_id, I64),
    VQ_F(field::Speed, speed, F32),
    VQ_F(field::RiseCount, rise_count, I16),
    VQ_F(field::FlatCount, flat_count, I16),
    VQ_F(field::FallCount, fall_count, I16),
    VQ_F(field::AllCount, all_count, I16),
    VQ_F(field::Bid1, bid_price, F32),
    VQ_F(field::Ask1, ask_price, F32),
    VQ_F(field::TotalBuy, total_buy, I64),
    VQ_F(field::TotalSell, total_sell, I64),
    {field::Market, "market", FieldKind::I8, uint16_t(offsetof(CodeInfo, market))},
    {field::Type, "type", FieldKind::I8, uint16_t(offsetof(CodeInfo, type))},
    {field::FloatValue, "float_value", FieldKind::Computed, 0},
    {field::TotalValue, "total_value", FieldKind::Computed, 0},
    {field::PriceToBook, "price_to_book", FieldKind::Computed, 0},
    {field::Membership, "membership", FieldKind::Computed, 0},
    {field::ConceptMembership, "concept_membership", FieldKind::Computed, 0},
};
}  // namespace

#undef VQ_F
#undef VQ_INFO

const FieldDef* fieldTable(size_t& count) {
    count = sizeof kFields / sizeof kFields[0];
    return kFields;
}

const FieldDef* findField(uint16_t id) {
    for (const FieldDef& f : kFields)
        if (f.id == id)
            return &f;
    return nullptr;
}

bool isTextField(const FieldDef& f) {
    return f.kind == FieldKind::Text;
}

int compareText(const Snapshot& a, const Snapshot& b, const FieldDef& f) {
    const char* pa = reinterpret_cast<const char*>(&a) + f.offset;
    const char* pb = reinterpret_cast<const char*>(&b) + f.offset;
    size_t len = f.id == field::Name ? kNameLen : f.id == field::Pinyin ? kPinyinLen : kCodeLen;
    return std::strncmp(pa, pb, len);
}

double fieldValue(const Snapshot& s, const FieldDef& f) {
    const char* p = reinterpret_cast<const char*>(&s) + f.offset;
    switch (f.kind) {
        case FieldKind::I8: {
            int8_t v;
            std::memcpy(&v, p, 1);
            return v;
        }
        case FieldKind::I16: {
            int16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        case FieldKind::I64: {
            int64_t v;
            std::memcpy(&v, p, 8);
            return double(v);
        }
        case FieldKind::F32: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
        case FieldKind::F64: {
            double v;
            std::memcpy(&v, p, 8);
            return v;
        }
        case FieldKind::Computed:
            switch (f.id) {
                case field::FloatValue:
                    return double(s.float_shares) * s.close;
                case field::TotalValue:
                    return double(s.total_shares) * s.close;
                case field::PriceToBook:
                    return s.ps_net_asset > 0 ? s.close / s.ps_net_asset : 0;
                default:
                    return 0;
            }
        case FieldKind::Text:
            return 0;
    }
    return 0;
}

}  // namespace vqp
