#include "table/table_columns.h"

#include "protocol/fields.h"

namespace tablecolumns {

namespace {

using K = Kind;
namespace f = vqp::field;

Column col(const char* title, int sortField, Kind kind) {
    return {QString::fromUtf8(title), sortField, kind};
}

std::vector<Column> fullList() {
    return {col("序号", -1, K::Number),
            col("代码", f::Code, K::Code),
            col("名称", -1, K::Name),
            col("最新", f::Close, K::Latest),
            col("涨跌幅", f::RfRate, K::ChangeRate),
            col("涨跌额", f::RfValue, K::ChangeValue),
            col("行业", -1, K::Industry),
            col("地区", -1, K::Region),
            col("概念", -1, K::Concept),
            col("涨速", f::Speed, K::Speed),
            col("成交量", f::Vol, K::Volume),
            col("成交额", f::Sum, K::Turnover),
            col("换手率", f::Swap, K::TurnoverRate),
            col("现量", f::CurVol, K::CurrentVolume),
            col("昨收", f::PreClose, K::PreClose),
            col("今开", f::Open, K::Open),
            col("最高", f::High, K::High),
            col("最低", f::Low, K::Low),
            col("量比", f::VolRate, K::VolumeRatio),
            col("委比", f::Committee, K::OrderRatio),
            col("振幅", f::Amplitude, K::Amplitude),
            col("内盘", -1, K::InnerVolume),
            col("外盘", -1, K::OuterVolume)};
}

std::vector<Column> shortList() {
    return {col("序号", -1, K::Number),
            col("名称", -1, K::Name),
            col("涨跌幅", f::RfRate, K::ChangeRate),
            col("最新", f::Close, K::Latest),
            col("成交额", f::Sum, K::Turnover),
            col("量比", f::VolRate, K::VolumeRatio)};
}

std::vector<Column> blockList() {
    return {col("序号", -1, K::Number), col("名称", -1, K::Name),
            col("涨跌幅", f::RfRate, K::ChangeRate), col("成交额", f::Sum, K::Turnover)};
}

std::vector<Column> detailList() {
    return {col("序号", -1, K::Number),
            col("代码", f::Code, K::Code),
            col("名称", -1, K::Name),
            col("最新", f::Close, K::Latest),
            col("涨跌幅", f::RfRate, K::ChangeRate),
            col("涨跌额", f::RfValue, K::ChangeValue),
            col("成交量", f::Vol, K::Volume),
            col("换手率", f::Swap, K::TurnoverRate),
            col("现量", f::CurVol, K::CurrentVolume),
            col("昨收", f::PreClose, K::PreClose),
            col("今开", f::Open, K::Open),
            col("最高", f::High, K::High),
            col("最低", f::Low, K::Low),
            col("成交额", f::Sum, K::Turnover),
            col("量比", f::VolRate, K::VolumeRatio),
            col("委比", f::Committee, K::OrderRatio),
            col("震幅", f::Amplitude, K::Amplitude),
            col("内盘", -1, K::InnerVolume),
            col("外盘", -1, K::OuterVolume),
            col("市盈率", f::Pe, K::Pe)};
}

// The small rankings of the composite view: four fixed columns and one value, none sortable
// (the ranking itself fixes the order).
std::vector<Column> smallRanking(const char* title, Kind kind) {
    return {col("序号", -1, K::Number), col("代码", -1, K::Code), col("名称", -1, K::Name),
            col("最新", -1, K::Latest), col(title, -1, kind)};
}

}  // namespace

const std::vector<Column>& columnsOf(int mode) {
    static const std::vector<Column> full = fullList();
    static const std::vector<Column> shortOne = shortList();
    static const std::vector<Column> blocks = blockList();
    static const std::vector<Column> detail = detailList();
    static const std::vector<Column> gain = smallRanking("涨幅", K::Gain);
    static const std::vector<Column> ratio = smallRanking("量比", K::VolumeRatio);
    static const std::vector<Column> amplitude = smallRanking("振幅", K::Amplitude);
    static const std::vector<Column> order = smallRanking("委比", K::OrderRatio);
    static const std::vector<Column> turnover = smallRanking("金额", K::Amount);
    static const std::vector<Column> none;
    switch (mode) {
        case 0:
        case 1:
            return full;
        case 2:
            return shortOne;
        case 3:
            return blocks;
        case 4:
            return detail;
        case 5:
        case 6:
            return gain;
        case 7:
            return ratio;
        case 8:
            return amplitude;
        case 9:
            return order;
        case 10:
            return turnover;
        default:
            return none;
    }
}

}  // namespace tablecolumns
