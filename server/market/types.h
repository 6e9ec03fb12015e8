// Plain records of the simulated market: the securities of the universe, the blocks that
// group them, and the series the market hands out (K-line bars, minute points, ticks,
// dividends, alerts). They are values: readers copy what they keep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq::market {

// Exchange numbers as the terminal knows them.
enum Exchange : int8_t { Shanghai = 1, Shenzhen = 2, Blocks = 90 };

enum class SecType : uint8_t { Stock, BShare, Fund, Bond, Index, Block };

// The dictionary type the terminal shows for a security: 1 index, 2 stock, 3 fund, 4 bond.
// B shares are stocks; blocks of market 90 are indices of their members.
int wireType(SecType t);

// Categories of the market-90 blocks.
enum Category : int { Region = 1010, Industry = 1011, Concept = 1016 };

// Preset block ids the ranking views ask for. Each lists its members; most also have an
// index security whose snapshot carries the id in `block_id`.
namespace preset {
enum : int64_t {
    HsA = 1101,         // 沪深A股
    ShA = 1102,         // 上证A股
    SzA = 1103,         // 深圳A股
    SzMain = 1104,      // 深圳主板A股
    Sme = 1105,         // 中小板
    ChiNext = 1106,     // 创业板
    HsB = 1107,         // 沪深B股
    ShB = 1108,         // 上海B股
    SzB = 1109,         // 深圳B股
    All = 1110,         // whole market: every stock, B share, fund and bond
    Funds = 1111,       // 基金
    Sh50 = 1112,        // 上证50
    Sh180 = 1113,       // 上证180
    Sh380 = 1114,       // 上证380
    Sz100 = 1115,       // 深证100
    Hs300 = 1116,       // 沪深300
    Zz500 = 1117,       // 中证500
    Etf = 1118,         // ETF
    Indices = 1119,     // 指数
    St = 1120,          // 风险警示
    NewShares = 1121,   // 次新股
    MarginList = 1122,  // 融资融券
    ShMain = 1123,      // 上证主板A股
    Star = 1124,        // 科创板
    ShBond = 160103,    // 上海债券
    SzBond = 160104,    // 深圳债券
};
}

struct Security {
    int index = -1;    // position in the universe; stable for the life of the process
    std::string code;  // at most 16 bytes
    int8_t market = Shanghai;
    std::string name;    // UTF-8
    std::string pinyin;  // initials, upper case, at most 6 letters
    SecType type = SecType::Stock;
    int8_t decimals = 2;
    // For an index or a block: the block it stands for (its members), else 0.
    int64_t blockId = 0;

    // Stocks only (0 / empty otherwise).
    int64_t industry = 0, region = 0;  // block ids of its industry and region
    std::vector<int64_t> concepts;     // block ids of its concepts
    int64_t totalShares = 0, floatShares = 0;
    double eps = 0;  // earnings per share, latest year
    double netAssetPerShare = 0;
    bool margin = false;    // eligible for margin trading and short selling
    int rating = 0;         // 1 sell … 5 buy; 0 none
    bool st = false;        // risk-warned name: ±5 % limits
    int listDate = 0;       // yyyymmdd
    double basePrice = 0;   // price level the generated history is built around
    double volatility = 0;  // daily volatility of the generated history

    // Price limit as a fraction of the previous close (0.1, 0.2, 0.05); 0 for no limit.
    double limitRate() const;
};

// The word for a stock's rating (1 sell … 5 buy); empty for none.
inline const char* ratingText(int rating) {
    switch (rating) {
        case 5:
            return "买入";
        case 4:
            return "增持";
        case 3:
            return "中性";
        case 2:
            return "减持";
        case 1:
            return "卖出";
    }
    return "";
}

// Indices and blocks: their values are made of their members' rather than traded.
inline bool isAggregate(const Security& s) {
    return s.type == SecType::Index || s.type == SecType::Block;
}

struct BlockInfo {
    int64_t id = 0;
    std::string name;
    int category = 0;          // Region, Industry, Concept, or 0 for a preset block
    int security = -1;         // the index / BK security standing for the block, or -1
    std::vector<int> members;  // security indexes, ascending
};

// One bar of any cycle. time: seconds since 1970 UTC of the bar's end (a day bar ends at
// 15:00 Beijing time, so its local calendar date is the trading day in any time zone the
// terminal runs in).
struct Bar {
    int64_t time = 0;
    float open = 0, high = 0, low = 0, close = 0;
    int64_t volume = 0;  // shares
    double amount = 0;   // yuan
};

struct MinutePoint {
    int64_t time = 0;  // end of the minute
    float price = 0;
    float avgPrice = 0;  // stocks: average price; indices and blocks: the leading index
    int64_t volume = 0;
    double amount = 0;
};

struct MinuteDay {
    int tradingDay = 0;  // yyyymmdd, 0 when the security has no such day
    float preClose = 0;
    std::vector<MinutePoint> points;  // 09:31 … 15:00, up to 240 points
};

struct Tick {
    int64_t time = 0;
    float price = 0;
    int64_t volume = 0;    // shares
    int32_t count = 0;     // orders behind the trade
    char direction = 'N';  // 'B' buyer-initiated, 'S' seller-initiated, 'N' neutral (auction)
};

struct TickPage {
    float preClose = 0;
    uint32_t first = 0;  // number of the first tick of `ticks` within the day
    uint32_t total = 0;  // ticks of the day so far
    std::vector<Tick> ticks;
};

// One ex-rights event. The values are per share held before the event.
struct Dividend {
    int64_t time = 0;        // ex-date, 15:00 Beijing time like a day bar
    int exDate = 0;          // yyyymmdd
    double bonusShares = 0;  // free shares (bonus and conversion)
    double rightsShares = 0;
    double rightsPrice = 0;
    double cash = 0;      // cash dividend, before tax
    double preClose = 0;  // close of the last day before the ex-date
    // Ratio of the ex-rights reference price to that close: the factor a backward-adjusted
    // series multiplies every earlier bar by.
    double factor = 1;
};

// Alert kinds as the monitor colours them.
enum class AlertKind : int8_t {
    Rise = 1,       // rapid rise, big buy order
    Fall = 2,       // rapid fall, big sell order
    LimitHit = 3,   // limit up or down sealed
    LimitOpen = 4,  // a sealed limit opened again
};

struct Alert {
    uint64_t seq = 0;  // market-wide, increasing: the order alerts fired in
    int security = -1;
    int64_t time = 0;
    AlertKind kind = AlertKind::Rise;
    std::string tip;    // "快速拉升", "大笔买入", "封涨停板", "打开涨停" …
    std::string value;  // shown next to the tip, e.g. "3.12%" or "1234手"
};

// Price adjustment of a K-line series around ex-rights events.
enum class Adjust : int { None = 1, Forward = 2, Backward = 4 };

// K-line cycles, numbered as the terminal requests them.
enum class Cycle : int {
    Day = 33,
    Min1 = 34,
    Min5 = 35,
    Min15 = 36,
    Min30 = 37,
    Min60 = 38,
    Week = 39,
    Month = 40
};
bool isValidCycle(int cycle);

struct KLinePage {
    std::vector<Bar> bars;  // ascending time
    int64_t total = 0;      // bars in the whole series (for paging)
    int64_t skipped = 0;    // newest bars left out before this page
};

// One year's financial figures, for the company pages.
struct FinancialYear {
    int year = 0;
    double revenue = 0, netProfit = 0, totalAssets = 0, equity = 0;  // yuan
    double eps = 0, roe = 0, grossMargin = 0;                        // per share; fractions
};

struct Margin {
    double financeBalance = 0;  // 融资余额, yuan
    double financeBuy = 0;      // 融资买入额 today
    int64_t shortBalance = 0;   // 融券余量, shares
    int64_t shortSell = 0;      // 融券卖出量 today
};

// Phase of the trading day.
enum class Phase : uint8_t { Closed, PreOpen, CallAuction, Continuous, Break, AfterClose };

}  // namespace vq::market
