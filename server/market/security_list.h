// The securities list that comes with imported data: what a security is (code, market,
// name, type) and, where the list knows them, its industry, region, concepts, listing date
// and share capital. A security the generated universe lacks is added to it from here.
//
// The list is a CSV file with a header naming its columns (English or Chinese):
//     code,market,name,type[,pinyin][,industry][,region][,concepts][,list_date]
//         [,total_shares][,float_shares]
// market is 1/SH or 2/SZ (taken from the code when the column is missing or empty); type is
// stock, bshare, fund, bond or index (or 股票, B股, 基金, 债券, 指数); concepts are separated
// by ';', '|' or '、' (or ',' inside a quoted field). The import keeps a normalised copy with
// two more columns it measures from the bars: base_price (the last close) and volatility.
#pragma once

#include "server/market/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq::market {

struct ListedSecurity {
    int line = 0;  // in the file it was read from
    std::string code;
    int market = 0;
    std::string name, pinyin;
    SecType type = SecType::Stock;
    std::string industry, region;
    std::vector<std::string> concepts;
    int listDate = 0;  // yyyymmdd, 0 unknown
    int64_t totalShares = 0, floatShares = 0;
    double basePrice = 0, volatility = 0;
};

// Reads a list; each problem goes to `problems` as "name:line: why". Returns false on any.
bool readSecurityList(const std::string& text, const std::string& name,
                      std::vector<ListedSecurity>& out, std::vector<std::string>& problems);
std::string writeSecurityList(const std::vector<ListedSecurity>& list);

// Shanghai (1) for codes starting with 5, 6, 9 (and our 1A indices, 11x bonds), else
// Shenzhen (2).
int marketOfCode(const std::string& code);
bool validCode(const std::string& code);

}  // namespace vq::market
