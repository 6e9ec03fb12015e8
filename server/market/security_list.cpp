#include "server/market/security_list.h"

#include "server/market/csv.h"
#include "server/market/csv_table.h"
#include "server/market/pinyin.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace vq::market {

namespace {

enum Field {
    FCode,
    FMarket,
    FName,
    FType,
    FPinyin,
    FIndustry,
    FRegion,
    FConcepts,
    FListDate,
    FTotalShares,
    FFloatShares,
    FBasePrice,
    FVolatility,
    kFields
};

const char* const kNames[] = {
    "code",     "market",    "name",         "type",         "pinyin",     "industry",  "region",
    "concepts", "list_date", "total_shares", "float_shares", "base_price", "volatility"};

Field columnOf(std::string n) {
    for (char& c : n)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    static const std::map<std::string, Field> names = {
        {"code", FCode},
        {"symbol", FCode},
        {"代码", FCode},
        {"证券代码", FCode},
        {"market", FMarket},
        {"exchange", FMarket},
        {"市场", FMarket},
        {"name", FName},
        {"名称", FName},
        {"证券简称", FName},
        {"type", FType},
        {"类型", FType},
        {"pinyin", FPinyin},
        {"拼音", FPinyin},
        {"industry", FIndustry},
        {"行业", FIndustry},
        {"region", FRegion},
        {"area", FRegion},
        {"地区", FRegion},
        {"concepts", FConcepts},
        {"concept", FConcepts},
        {"概念", FConcepts},
        {"list_date", FListDate},
        {"listing_date", FListDate},
        {"上市日期", FListDate},
        {"total_shares", FTotalShares},
        {"总股本", FTotalShares},
        {"float_shares", FFloatShares},
        {"流通股本", FFloatShares},
        {"流通股", FFloatShares},
        {"base_price", FBasePrice},
        {"volatility", FVolatility},
    };
    auto it = names.find(n);
    return it == names.end() ? kFields : it->second;
}

bool typeOf(std::string t, SecType& out) {
    for (char& c : t)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    static const std::map<std::string, SecType> types = {
        {"stock", SecType::Stock},   {"股票", SecType::Stock}, {"a", SecType::Stock},
        {"bshare", SecType::BShare}, {"b", SecType::BShare},   {"b股", SecType::BShare},
        {"fund", SecType::Fund},     {"etf", SecType::Fund},   {"基金", SecType::Fund},
        {"bond", SecType::Bond},     {"债券", SecType::Bond},  {"index", SecType::Index},
        {"指数", SecType::Index},
    };
    auto it = types.find(t);
    if (it == types.end())
        return false;
    out = it->second;
    return true;
}

const char* typeName(SecType t) {
    switch (t) {
        case SecType::Stock:
            return "stock";
        case SecType::BShare:
            return "bshare";
        case SecType::Fund:
            return "fund";
        case SecType::Bond:
            return "bond";
        case SecType::Index:
        case SecType::Block:
            return "index";
    }
    return "stock";
}

int marketOf(const std::string& m, const std::string& code) {
    if (m.empty())
        return marketOfCode(code);
    if (m == "1" || m == "SH" || m == "sh" || m == "SSE" || m == "上海")
        return 1;
    if (m == "2" || m == "SZ" || m == "sz" || m == "SZSE" || m == "深圳")
        return 2;
    return 0;
}

bool shares(const std::string& s, int64_t& out) {
    if (s.empty())
        return true;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (!end || *end || !std::isfinite(v) || v < 0 || v > 1e13)
        return false;
    out = int64_t(std::llround(v));
    return true;
}

std::vector<std::string> splitConcepts(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        const auto b = cur.find_first_not_of(' '), e = cur.find_last_not_of(' ');
        if (b != std::string::npos)
            out.push_back(cur.substr(b, e - b + 1));
        cur.clear();
    };
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == ',' || text[k] == ';' || text[k] == '|') {
            flush();
        } else if (text.compare(k, 3, "、") == 0) {
            flush();
            k += 2;
        } else {
            cur += text[k];
        }
    }
    flush();
    return out;
}

}  // namespace

int marketOfCode(const std::string& code) {
    if (code.empty())
        return 0;
    const char c = code[0];
    if (c == '5' || c == '6' || c == '9' || code.rfind("11", 0) == 0 || code.rfind("1A", 0) == 0)
        return 1;
    return 2;
}

bool validCode(const std::string& code) {
    if (code.empty() || code.size() > 16)
        return false;
    for (char c : code)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

bool readSecurityList(const std::string& text, const std::string& name,
                      std::vector<ListedSecurity>& out, std::vector<std::string>& problems) {
    const size_t before = problems.size();
    const CsvTable table = readCsv(text, name);
    if (!table.error.empty()) {
        problems.push_back(table.error);
        return false;
    }
    if (table.rows.empty())
        return true;
    int col[kFields];
    std::fill(std::begin(col), std::end(col), -1);
    const CsvRow& head = table.rows.front();
    for (size_t k = 0; k < head.fields.size(); ++k) {
        const Field c = columnOf(head.fields[k]);
        if (c != kFields && col[c] < 0)
            col[c] = int(k);
    }
    for (Field c : {FCode, FName, FType})
        if (col[c] < 0) {
            problems.push_back(name + ":" + std::to_string(head.line) + ": the header has no " +
                               kNames[c] + " column (a list starts with code,market,name,type,…)");
            return false;
        }
    std::set<std::string> seen;
    for (size_t r = 1; r < table.rows.size(); ++r) {
        const CsvRow& row = table.rows[r];
        const std::string at = name + ":" + std::to_string(row.line) + ": ";
        if (row.fields.size() != head.fields.size()) {
            problems.push_back(at + std::to_string(row.fields.size()) + " fields where " +
                               std::to_string(head.fields.size()) + " are expected");
            continue;
        }
        auto field = [&](Field c) {
            return col[c] < 0 ? std::string() : row.fields[size_t(col[c])];
        };
        ListedSecurity s;
        s.line = row.line;
        s.code = field(FCode);
        if (!validCode(s.code)) {
            problems.push_back(at + "not a security code: \"" + s.code + "\"");
            continue;
        }
        s.market = marketOf(field(FMarket), s.code);
        if (!s.market) {
            problems.push_back(at + "market must be 1 (SH) or 2 (SZ), not \"" + field(FMarket) +
                               "\"");
            continue;
        }
        s.name = field(FName);
        if (s.name.empty() || s.name.size() > 63) {
            problems.push_back(at + "a name of 1 to 63 bytes (UTF-8) is needed");
            continue;
        }
        if (!typeOf(field(FType), s.type)) {
            problems.push_back(at + "type must be stock, bshare, fund, bond or index, not \"" +
                               field(FType) + "\"");
            continue;
        }
        s.pinyin = field(FPinyin);
        for (char& c : s.pinyin)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        if (s.pinyin.empty())
            s.pinyin = pinyinInitials(s.name);
        s.pinyin = s.pinyin.substr(0, 6);
        s.industry = field(FIndustry);
        s.region = field(FRegion);
        s.concepts = splitConcepts(field(FConcepts));
        const std::string list = field(FListDate);
        if (!list.empty() && !(s.listDate = parseDate(list))) {
            problems.push_back(at + "listing date is not a date: \"" + list + "\"");
            continue;
        }
        if (!shares(field(FTotalShares), s.totalShares) ||
            !shares(field(FFloatShares), s.floatShares)) {
            problems.push_back(at + "share capital must be a number of shares");
            continue;
        }
        if (s.totalShares > 0 && s.floatShares > s.totalShares) {
            problems.push_back(at + "float shares exceed the total shares");
            continue;
        }
        char* end = nullptr;
        s.basePrice = std::strtod(field(FBasePrice).c_str(), &end);
        s.volatility = std::strtod(field(FVolatility).c_str(), &end);
        if (!std::isfinite(s.basePrice) || s.basePrice < 0)
            s.basePrice = 0;
        if (!std::isfinite(s.volatility) || s.volatility < 0)
            s.volatility = 0;
        if (!seen.insert(s.code + "." + std::to_string(s.market)).second) {
            problems.push_back(at + s.code + "." + std::to_string(s.market) + " is listed twice");
            continue;
        }
        out.push_back(std::move(s));
    }
    return problems.size() == before;
}

std::string writeSecurityList(const std::vector<ListedSecurity>& list) {
    std::string out;
    for (int c = 0; c < kFields; ++c)
        out += std::string(c ? "," : "") + kNames[c];
    out += '\n';
    for (const ListedSecurity& s : list) {
        std::string concepts;
        for (const std::string& c : s.concepts)
            concepts += (concepts.empty() ? "" : ";") + c;
        char numbers[160];
        std::snprintf(numbers, sizeof numbers, "%lld,%lld,%.6g,%.6g",
                      static_cast<long long>(s.totalShares), static_cast<long long>(s.floatShares),
                      s.basePrice, s.volatility);
        out += csvField(s.code) + ',' + std::to_string(s.market) + ',' + csvField(s.name) + ',' +
               typeName(s.type) + ',' + csvField(s.pinyin) + ',' + csvField(s.industry) + ',' +
               csvField(s.region) + ',' + csvField(concepts) + ',' +
               (s.listDate ? std::to_string(s.listDate) : std::string()) + ',' + numbers + '\n';
    }
    return out;
}

}  // namespace vq::market
