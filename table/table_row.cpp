#include "table/table_row.h"

#include "table/cell_format.h"

namespace tablerow {

namespace {

using tablecolumns::Kind;
namespace cf = cellformat;

const QString kGold = QStringLiteral("#F5BE4A");
const QString kCyan = QStringLiteral("#00F4FF");

QString text(const char* s, size_t n) {
    return QString::fromUtf8(s, int(qstrnlen(s, uint(n))));
}

QString membershipText(const QuoteRealTimeMarket& rt, Kind kind) {
    if (!rt.membership)
        return QString();
    const char* s = kind == Kind::Industry ? rt.membership->industry
                    : kind == Kind::Region ? rt.membership->region
                                           : rt.membership->concept;
    return s ? QString::fromUtf8(s) : QString();
}

struct Cell {
    QString text;
    QString color;
    int align;
    double value;
};

Cell cell(const QuoteRealTimeMarket& rt, Kind kind, int mode, int rowNumber) {
    const double close = rt.close, pre = rt.pre_close;
    const int dec = rt.info.decimal;
    switch (kind) {
        case Kind::Number:
            return {QString::number(rowNumber), kGold, 4, 0};
        case Kind::Code:
            return {text(rt.info.code, sizeof rt.info.code), kGold, 1, 0};
        case Kind::Name:
            return {text(rt.info.name, sizeof rt.info.name), kGold, 1, 0};
        case Kind::Latest:
            return {cf::price(close, dec), cf::riseColor(close, pre), 2, close};
        case Kind::ChangeRate:
            return {cf::rate(double(rt.rf_rate) * 100, close), cf::riseColor(rt.rf_rate, 0), 2,
                    rt.rf_rate};
        case Kind::ChangeValue:
            return {cf::fixed(rt.rf_value), cf::riseColor(rt.rf_value, 0), 2, rt.rf_value};
        case Kind::Industry:
        case Kind::Region:
        case Kind::Concept:
            return {membershipText(rt, kind), kCyan, 2, 0};
        case Kind::Speed:
            return {cf::fixed(double(rt.speed) * 100), cf::riseColor(rt.speed, 0), 2, rt.speed};
        case Kind::Volume:
            return {cf::amount(double(rt.vol)), kGold, 2, double(rt.vol)};
        case Kind::Turnover: {
            const bool plain = mode == 2 || mode == 3;
            return {cf::amount(rt.sum), plain ? cf::kFlat : kGold, 2, rt.sum};
        }
        case Kind::TurnoverRate:
            return {cf::rate(double(rt.swap) * 100, close), kGold, 2, rt.swap};
        case Kind::CurrentVolume:
            return {cf::amount(double(rt.cur_vol)), kGold, 2, double(rt.cur_vol)};
        case Kind::PreClose:
            return {cf::price(pre, dec), cf::riseColor(pre, pre), 2, pre};
        case Kind::Open:
            return {cf::price(rt.open, dec), cf::riseColor(rt.open, pre), 2, rt.open};
        case Kind::High:
            return {cf::price(rt.high, dec), cf::riseColor(rt.high, pre), 2, rt.high};
        case Kind::Low:
            return {cf::price(rt.low, dec), cf::riseColor(rt.low, pre), 2, rt.low};
        case Kind::VolumeRatio:
            // The snapshot carries the plain ratio (1.00 = the usual pace), shown as such and
            // coloured against 1.
            return {cf::fixed(rt.vol_rate), mode == 2 ? cf::kFlat : cf::riseColor(rt.vol_rate, 1),
                    2, rt.vol_rate};
        case Kind::OrderRatio: {
            const double v = double(rt.committee) * 100;
            return {cf::rate(v, close), cf::riseColor(v, 0), 2, v};
        }
        case Kind::Amplitude:
            return {cf::rate(double(rt.amplitude) * 100, close),
                    mode == 8 ? cf::riseColor(rt.amplitude, 0) : kGold, 2, rt.amplitude};
        case Kind::InnerVolume:
            return {cf::amount(double(rt.green_vol)), cf::kFall, 2, double(rt.green_vol)};
        case Kind::OuterVolume:
            return {cf::amount(double(rt.red_vol)), cf::kRise, 2, double(rt.red_vol)};
        case Kind::Pe:
            return {cf::fixed(rt.pe), kGold, 2, rt.pe};
        case Kind::Gain: {
            const float v = mode == 6 ? rt.m5_rf_rate : rt.rf_rate;
            return {cf::rate(double(v) * 100, close), cf::riseColor(v, 0), 2, v};
        }
        case Kind::Amount:
            return {cf::amount(rt.sum), cf::kFlat, 2, rt.sum};
    }
    return {QString(), cf::kFlat, 2, 0};
}

}  // namespace

void build(const QuoteRealTimeMarket& rt, const std::vector<tablecolumns::Column>& columns,
           int mode, int rowNumber, std::vector<TableItemData>& cells,
           std::vector<double>& values) {
    cells.resize(columns.size());
    values.resize(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        Cell v = cell(rt, columns[c].kind, mode, rowNumber);
        TableItemData& out = cells[c];
        out.text = std::move(v.text);
        out.color = std::move(v.color);
        out.acolor = cf::kNoFlash;
        out.align = v.align;
        values[c] = v.value;
    }
}

QString flashColor(double before, double after) {
    static const QString up = QStringLiteral("#66FF3D3D");
    static const QString down = QStringLiteral("#660FC351");
    static const QString changed = QStringLiteral("#66FFFFFF");
    if (after > before)
        return up;
    if (after < before)
        return down;
    return changed;
}

}  // namespace tablerow
