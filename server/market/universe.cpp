#include "server/market/universe.h"

#include "server/market/calendar.h"
#include "server/market/names.h"
#include "server/market/rng.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <set>

namespace vq::market {

int wireType(SecType t) {
    switch (t) {
        case SecType::Stock:
        case SecType::BShare:
            return 2;
        case SecType::Fund:
            return 3;
        case SecType::Bond:
            return 4;
        case SecType::Index:
        case SecType::Block:
            return 1;
    }
    return 2;
}

double Security::limitRate() const {
    switch (type) {
        case SecType::Stock:
            if (st)
                return 0.05;
            if (code.rfind("300", 0) == 0 || code.rfind("301", 0) == 0 || code.rfind("688", 0) == 0)
                return 0.2;
            return 0.1;
        case SecType::BShare:
        case SecType::Fund:
            return 0.1;
        case SecType::Bond:
            return 0.2;
        case SecType::Index:
        case SecType::Block:
            return 0;
    }
    return 0.1;
}

bool isValidCycle(int c) {
    return c >= 33 && c <= 40;
}

std::string Universe::key(std::string_view code, int market) {
    std::string k(code);
    k += '/';
    k += std::to_string(market);
    return k;
}

int Universe::find(std::string_view code, int market) const {
    auto it = byKey.find(key(code, market));
    return it == byKey.end() ? -1 : it->second;
}

const BlockInfo* Universe::block(int64_t id) const {
    auto it = std::lower_bound(blocks.begin(), blocks.end(), id,
                               [](const BlockInfo& b, int64_t v) { return b.id < v; });
    return it != blocks.end() && it->id == id ? &*it : nullptr;
}

namespace {

using names::Word;

struct Board {
    const char* prefix;
    int8_t market;
    double share;          // of the A shares
    int listFrom, listTo;  // listing years
};

const Board kBoards[] = {
    {"600", Shanghai, 0.16, 1991, 2012}, {"601", Shanghai, 0.05, 2006, 2018},
    {"603", Shanghai, 0.12, 2011, 2021}, {"605", Shanghai, 0.03, 2020, 2025},
    {"688", Shanghai, 0.10, 2019, 2025}, {"000", Shenzhen, 0.10, 1991, 2008},
    {"001", Shenzhen, 0.03, 2019, 2025}, {"002", Shenzhen, 0.20, 2004, 2018},
    {"003", Shenzhen, 0.02, 2020, 2025}, {"300", Shenzhen, 0.16, 2009, 2021},
    {"301", Shenzhen, 0.03, 2020, 2025},
};

struct Builder {
    Universe u;
    Rng rng;
    std::set<std::string> usedNames;
    int firstDay, today;

    Builder(uint64_t seed, int first, int t)
        : rng(mixKey(seed, 0x756e6976)), firstDay(first), today(t) {}

    int add(Security s, SimParams p) {
        s.index = int(u.securities.size());
        u.byKey.emplace(Universe::key(s.code, s.market), s.index);
        u.securities.push_back(std::move(s));
        u.params.push_back(std::move(p));
        u.membership.emplace_back();
        u.blocksOfSecurity.emplace_back();
        return u.securities.back().index;
    }

    double logNormal(double median, double sigma) {
        return median * std::exp(sigma * rng.normal());
    }

    int randomDate(int fromYear, int toYear) {
        const int64_t a = daysFromDate(fromYear * 10000 + 101);
        int64_t b = daysFromDate(toYear * 10000 + 1231);
        b = std::min(b, daysFromDate(today) - 30);
        int64_t d = a + int64_t(rng.uniform() * double(std::max<int64_t>(1, b - a)));
        int ymd = dateFromDays(d);
        return isTradingDay(ymd) ? ymd : nextTradingDay(ymd);
    }

    // A two-character prefix plus a suffix of the industry, not used before.
    std::pair<std::string, std::string> companyName(const std::vector<Word>& suffixes) {
        const auto& chars = names::nameCharacters();
        for (int attempt = 0;; ++attempt) {
            const Word& a = chars[size_t(rng.range(0, int(chars.size()) - 1))];
            const Word& b = chars[size_t(rng.range(0, int(chars.size()) - 1))];
            if (std::string(a.text) == b.text)
                continue;
            const Word& s = suffixes[size_t(rng.range(0, int(suffixes.size()) - 1))];
            std::string name = std::string(a.text) + b.text + s.text;
            std::string py = std::string(a.initials) + b.initials + s.initials;
            if (attempt > 50) {  // crowded: a third character keeps names apart
                const Word& c = chars[size_t(rng.range(0, int(chars.size()) - 1))];
                name = std::string(a.text) + b.text + c.text + s.text;
                py = std::string(a.initials) + b.initials + c.initials + s.initials;
            }
            if (usedNames.insert(name).second)
                return {name, py.substr(0, 6)};
        }
    }

    void buildStocks(int count) {
        const auto& inds = names::industries();
        const auto& regs = names::regions();
        const auto& cons = names::concepts();
        for (const Board& b : kBoards) {
            const int n = std::max(1, int(std::lround(count * b.share)));
            int number = rng.range(1, 9);
            // The Shanghai main board opens at 600000, the code users type first.
            if (std::string(b.prefix) == "600")
                number = 0;
            // Gaps between codes where the board has room for them (delisted numbers).
            const double gap = std::min(0.15, std::max(0.0, (990.0 - n) / n / 2.5));
            for (int i = 0; i < n && number < 1000; ++i) {
                char code[24];
                std::snprintf(code, sizeof code, "%s%03d", b.prefix, number);
                number += 1 + (rng.chance(gap) ? rng.range(1, 3) : 0);
                Security s;
                SimParams p;
                s.code = code;
                s.market = b.market;
                s.type = SecType::Stock;
                s.decimals = 2;
                p.industry = rng.range(0, int(inds.size()) - 1);
                const auto& ind = inds[size_t(p.industry)];
                auto [name, py] = companyName(ind.suffixes);
                s.st = rng.chance(0.03) && std::string(b.prefix) != "688";
                if (s.st) {
                    // Risk-warned names carry the warning in front and are kept short.
                    const bool star = rng.chance(0.4);
                    name = std::string(star ? "*ST" : "ST") + name.substr(0, 6);
                    py = ("ST" + py.substr(0, 2));
                }
                s.name = name;
                s.pinyin = py;
                s.listDate = randomDate(b.listFrom, b.listTo);
                p.historyStart = std::max(s.listDate, firstDay);
                s.volatility =
                    ind.volatility * logNormal(1.0, 0.25) * (s.limitRate() > 0.15 ? 1.25 : 1.0);
                s.basePrice = std::clamp(logNormal(ind.priceLevel, 0.6), 1.6, 1800.0);
                s.basePrice = std::round(s.basePrice * 100) / 100;
                const double capScale = (p.industry <= 2 ? 8.0 : 1.0) *
                                        (b.prefix[0] == '6' && b.prefix[2] == '1' ? 3.0 : 1.0);
                s.totalShares =
                    int64_t(std::clamp(logNormal(4e8 * capScale, 0.9), 4e7, 3e11) / 1e4) * 10000;
                const double floatShare =
                    s.listDate > today - 10000 ? rng.uniform(0.15, 0.4) : rng.uniform(0.55, 1.0);
                s.floatShares = int64_t(double(s.totalShares) * floatShare / 1e4) * 10000;
                const double pe = logNormal(ind.priceLevel > 50 ? 32 : 22, 0.45);
                s.eps = std::round((rng.chance(0.08) ? -1 : 1) * s.basePrice / pe * 1e4) / 1e4;
                s.netAssetPerShare = std::round(s.basePrice / logNormal(2.6, 0.5) * 1e4) / 1e4;
                const double cap = double(s.totalShares) * s.basePrice;
                s.margin = cap > 8e9 ? rng.chance(0.9) : rng.chance(0.25);
                s.rating = rng.chance(0.7) ? std::clamp(int(std::lround(3.4 + rng.normal() * 0.9 +
                                                                        (s.eps > 0 ? 0.3 : -1))),
                                                        1, 5)
                                           : 0;
                p.beta = rng.uniform(0.7, 1.3);
                p.industryLoad = rng.uniform(0.5, 1.1);
                p.turnover = std::clamp(logNormal(cap > 5e10 ? 0.003 : 0.012, 0.55), 0.0008, 0.12);
                p.tradeRate =
                    std::clamp(logNormal(0.14, 0.6) * (cap > 2e10 ? 2.5 : 1.0), 0.02, 2.0);
                p.dividendYield = s.eps > 0 ? std::clamp(logNormal(0.012, 0.7), 0.0, 0.06) : 0;
                p.lot = b.prefix[0] == '6' && b.prefix[1] == '8' ? 200 : 100;
                const int idx = add(std::move(s), std::move(p));
                Security& sec = u.securities[size_t(idx)];
                // Memberships: one industry and one region block, two to five concepts.
                sec.industry = 900000 + 401 + u.params[size_t(idx)].industry;
                const int region = rng.range(0, int(regs.size()) - 1);
                sec.region = 900000 + 501 + region;
                const int nc = rng.range(2, 5);
                std::set<int> chosen;
                while (int(chosen.size()) < nc)
                    chosen.insert(rng.range(0, int(cons.size()) - 1));
                for (int c : chosen)
                    sec.concepts.push_back(900000 + 601 + c);
                MembershipTexts& m = u.membership[size_t(idx)];
                m.industry = ind.name.text;
                m.region = regs[size_t(region)].text;
                for (int c : chosen) {
                    if (!m.concept.empty())
                        m.concept += ",";
                    m.concept += cons[size_t(c)].text;
                }
            }
        }
    }

    int aShareCount = 0;

    void buildBShares() {
        const int nStocks = int(u.securities.size());
        aShareCount = nStocks;
        for (int i = 0; i < 90; ++i) {
            const bool sh = i < 45;
            // Copied, not referenced: adding a security may move the vector.
            const Security like = u.securities[size_t(rng.range(0, nStocks - 1))];
            Security s;
            SimParams p;
            char code[24];
            std::snprintf(code, sizeof code, sh ? "9009%02d" : "2000%02d", sh ? i + 1 : i - 44);
            s.code = code;
            s.market = sh ? Shanghai : Shenzhen;
            s.type = SecType::BShare;
            s.decimals = sh ? 3 : 2;  // US dollars in Shanghai, Hong Kong dollars in Shenzhen
            auto [name, py] = companyName({{"B", "B"}});
            s.name = name.substr(0, 6) + "B股";
            s.pinyin = py.substr(0, 2) + "BG";
            s.listDate = randomDate(1992, 2000);
            s.basePrice = sh ? std::round(logNormal(0.6, 0.5) * 1000) / 1000
                             : std::round(logNormal(4.5, 0.5) * 100) / 100;
            s.volatility = 0.015 * logNormal(1, 0.2);
            s.totalShares = int64_t(logNormal(3e8, 0.6) / 1e4) * 10000;
            s.floatShares = s.totalShares;
            s.eps = std::round(s.basePrice / logNormal(15, 0.4) * 1e4) / 1e4;
            s.netAssetPerShare = std::round(s.basePrice * logNormal(1.2, 0.3) * 1e4) / 1e4;
            s.industry = like.industry;
            s.region = like.region;
            p.industry = u.params[size_t(like.index)].industry;
            p.beta = 0.6;
            p.industryLoad = 0.4;
            p.turnover = 0.002;
            p.tradeRate = 0.06;
            p.historyStart = std::max(s.listDate, firstDay);
            p.tick = sh ? 0.001 : 0.01;
            const int idx = add(std::move(s), std::move(p));
            u.membership[size_t(idx)] = u.membership[size_t(like.index)];
            u.membership[size_t(idx)].concept.clear();
        }
    }

    void buildFunds() {
        struct F {
            const char* code;
            const char* name;
            const char* py;
            double price;
        };
        const F fixed[] = {
            {"510050", "上证50ETF", "50ETF", 2.6},    {"510300", "沪深300ETF", "300ETF", 3.9},
            {"510500", "中证500ETF", "500ETF", 5.8},  {"588000", "科创50ETF", "KC50", 1.0},
            {"510880", "红利ETF", "HLETF", 3.0},      {"159915", "创业板ETF", "CYBETF", 2.1},
            {"159919", "沪深300ETF", "300ETF", 3.95}, {"159901", "深证100ETF", "SZ100", 2.7},
            {"159949", "创业板50", "CYB50", 1.0},     {"159922", "中证500ETF", "500ETF", 6.0},
        };
        for (const F& f : fixed)
            addFund(f.code, f.name, f.py, f.price, true);
        const auto& inds = names::industries();
        int sh = 0, sz = 0;
        for (size_t i = 0; i < inds.size(); ++i) {
            char code[24];
            std::string nm = std::string(inds[i].name.text).substr(0, 6);
            std::string py = std::string(inds[i].name.initials).substr(0, 3);
            std::snprintf(code, sizeof code, "512%03d", 100 + 10 * sh++);
            addFund(code, nm + "ETF", py + "ETF", logNormal(1.2, 0.4), true);
            std::snprintf(code, sizeof code, "159%03d", 800 + 3 * sz++);
            addFund(code, nm + "ETF基金", py + "JJ", logNormal(1.1, 0.4), true);
        }
        const auto& cons = names::concepts();
        for (size_t i = 0; i < cons.size(); i += 2) {
            char code[24];
            std::snprintf(code, sizeof code, "16%04d", 1000 + int(i) * 7);
            std::string nm = std::string(cons[i].text) + "LOF";
            addFund(code, nm, std::string(cons[i].initials).substr(0, 4) + "LF",
                    logNormal(1.3, 0.3), false);
        }
    }

    void addFund(const std::string& code, const std::string& name, const std::string& py,
                 double price, bool etf) {
        Security s;
        SimParams p;
        s.code = code;
        s.market = code[0] == '5' ? Shanghai : Shenzhen;
        s.type = SecType::Fund;
        s.decimals = 3;
        s.name = name;
        s.pinyin = py.substr(0, 6);
        s.listDate = randomDate(2005, 2020);
        s.basePrice = std::round(price * 1000) / 1000;
        s.volatility = 0.013 * logNormal(1, 0.2);
        s.totalShares = int64_t(logNormal(etf ? 3e9 : 3e8, 0.7) / 1e4) * 10000;
        s.floatShares = s.totalShares;
        p.beta = 1.0;
        p.industryLoad = 0;
        p.turnover = etf ? 0.03 : 0.004;
        p.tradeRate = etf ? 0.8 : 0.05;
        p.historyStart = std::max(s.listDate, firstDay);
        p.tick = 0.001;
        if (etf)
            etfs.push_back(add(std::move(s), std::move(p)));
        else
            add(std::move(s), std::move(p));
    }
    std::vector<int> etfs;

    void buildBonds() {
        // Bonds are issued by the A-share companies, which come first in the list.
        const int nStocks = aShareCount;
        for (int i = 0; i < 320; ++i) {
            const bool sh = i % 2 == 0;
            const int kind = rng.range(0, 9);  // 0-1 treasury, 2-4 corporate, 5-9 convertible
            Security s;
            SimParams p;
            char code[24];
            const int n = i / 2 + 1;
            if (kind < 2) {
                std::snprintf(code, sizeof code, sh ? "019%03d" : "101%03d", 500 + n);
                const int year = rng.range(16, 25);
                char nm[32];
                std::snprintf(nm, sizeof nm, "%02d国债%02d", year, rng.range(1, 20));
                s.name = nm;
                s.pinyin = std::string(nm, 2) + "GZ" + std::string(nm + 8, 2);
                s.basePrice = std::round(logNormal(101, 0.02) * 1000) / 1000;
                s.volatility = 0.0015;
            } else if (kind < 5) {
                std::snprintf(code, sizeof code, sh ? "122%03d" : "112%03d", 100 + n);
                const Security& like = u.securities[size_t(rng.range(0, nStocks - 1))];
                char nm[48];
                const int year = rng.range(17, 24);
                const int series = rng.range(1, 3);
                std::snprintf(nm, sizeof nm, "%02d%s%02d", year, like.name.substr(0, 6).c_str(),
                              series);
                s.name = nm;
                s.pinyin =
                    std::to_string(year) + like.pinyin.substr(0, 2) + "0" + std::to_string(series);
                s.basePrice = std::round(logNormal(100, 0.03) * 1000) / 1000;
                s.volatility = 0.003;
            } else {
                std::snprintf(code, sizeof code, sh ? "113%03d" : "123%03d", 10 + n);
                const Security& like = u.securities[size_t(rng.range(0, nStocks - 1))];
                s.name = like.name.substr(0, 6) + "转债";
                s.pinyin = like.pinyin.substr(0, 2) + "ZZ";
                s.basePrice = std::round(logNormal(118, 0.15) * 1000) / 1000;
                s.volatility = 0.012;
                p.convertible = true;
                p.industry = u.params[size_t(like.index)].industry;
            }
            // One code, and one bond of each name (a company has one convertible at a time).
            if (u.byKey.count(Universe::key(code, sh ? Shanghai : Shenzhen)) ||
                !usedNames.insert(s.name).second)
                continue;
            s.code = code;
            s.market = sh ? Shanghai : Shenzhen;
            s.type = SecType::Bond;
            s.decimals = 3;
            s.listDate = randomDate(2016, 2024);
            s.totalShares = int64_t(logNormal(8e6, 0.6)) * 10;  // face-value units of 100 yuan
            s.floatShares = s.totalShares;
            p.beta = p.convertible ? 0.6 : 0.02;
            p.industryLoad = p.convertible ? 0.4 : 0;
            p.turnover = p.convertible ? 0.05 : 0.005;
            p.tradeRate = p.convertible ? 0.3 : 0.03;
            p.historyStart = std::max(s.listDate, firstDay);
            p.tick = 0.001;
            p.lot = 10;
            add(std::move(s), std::move(p));
        }
    }

    // A security of an imported list: its figures come from the list and its bars, none
    // from the generator's random draws, so the generated securities stay as they were.
    void addListed(const ListedSecurity& l) {
        const auto& inds = names::industries();
        const auto& regs = names::regions();
        const auto& cons = names::concepts();
        Security s;
        SimParams p;
        s.code = l.code;
        s.market = int8_t(l.market);
        s.type = l.type;
        s.name = l.name;
        s.pinyin = l.pinyin;
        const bool shanghaiB = l.type == SecType::BShare && l.market == Shanghai;
        s.decimals = l.type == SecType::Fund || l.type == SecType::Bond || shanghaiB ? 3 : 2;
        s.listDate = l.listDate ? l.listDate : firstDay;
        s.basePrice = l.basePrice > 0 ? l.basePrice : 10;
        s.volatility = l.volatility > 0 ? std::min(l.volatility, 0.08) : 0.02;
        s.floatShares = l.floatShares;
        s.totalShares = std::max(l.totalShares, l.floatShares);
        p.historyStart = std::max(s.listDate, firstDay);
        p.tick = s.decimals == 3 ? 0.001 : 0.01;
        p.lot = l.type == SecType::Bond ? 10 : l.code.rfind("688", 0) == 0 ? 200 : 100;
        p.beta = 1;
        p.turnover = 0.01;
        p.tradeRate = l.type == SecType::Index ? 0 : 0.2;
        MembershipTexts m;
        if (l.type == SecType::Stock) {
            m.industry = l.industry;
            m.region = l.region;
            for (size_t i = 0; i < inds.size(); ++i)
                if (l.industry == inds[i].name.text) {
                    p.industry = int(i);
                    p.industryLoad = 0.8;
                    s.industry = 900000 + 401 + int64_t(i);
                }
            for (size_t i = 0; i < regs.size(); ++i)
                if (l.region == regs[i].text || l.region == std::string(regs[i].text) + "板块")
                    s.region = 900000 + 501 + int64_t(i);
            for (const std::string& c : l.concepts) {
                if (!m.concept.empty())
                    m.concept += ",";
                m.concept += c;
                for (size_t i = 0; i < cons.size(); ++i)
                    if (c == cons[i].text)
                        s.concepts.push_back(900000 + 601 + int64_t(i));
            }
            std::sort(s.concepts.begin(), s.concepts.end());
        }
        usedNames.insert(s.name);
        const int idx = add(std::move(s), std::move(p));
        u.membership[size_t(idx)] = std::move(m);
    }

    void addIndex(const char* code, int8_t market, const char* name, const char* py, double level,
                  int64_t blockId, std::vector<int> members) {
        Security s;
        SimParams p;
        s.code = code;
        s.market = market;
        s.type = SecType::Index;
        s.decimals = 2;
        s.name = name;
        s.pinyin = py;
        s.basePrice = level;
        s.blockId = blockId;
        s.listDate = firstDay;
        p.historyStart = firstDay;
        p.members = std::move(members);
        add(std::move(s), std::move(p));
    }

    // Members matching a test, ascending.
    template <class F>
    std::vector<int> select(F f) const {
        std::vector<int> out;
        for (const Security& s : u.securities)
            if (f(s))
                out.push_back(s.index);
        return out;
    }

    std::vector<int> topByCap(const std::vector<int>& from, size_t skip, size_t n) const {
        std::vector<int> v = from;
        std::sort(v.begin(), v.end(), [&](int a, int b) {
            const Security& x = u.securities[size_t(a)];
            const Security& y = u.securities[size_t(b)];
            return double(x.totalShares) * x.basePrice > double(y.totalShares) * y.basePrice;
        });
        std::vector<int> out;
        for (size_t i = skip; i < v.size() && i < skip + n; ++i)
            out.push_back(v[i]);
        std::sort(out.begin(), out.end());
        return out;
    }

    void addBlock(int64_t id, const std::string& name, int category, std::vector<int> members) {
        BlockInfo b;
        b.id = id;
        b.name = name;
        b.category = category;
        b.members = std::move(members);
        u.blocks.push_back(std::move(b));
    }

    void buildBlocksAndIndices() {
        auto starts = [](const Security& s, const char* p) { return s.code.rfind(p, 0) == 0; };
        auto isA = [](const Security& s) { return s.type == SecType::Stock; };
        const auto allA = select(isA);
        const auto shA = select([&](const Security& s) { return isA(s) && s.market == Shanghai; });
        const auto szA = select([&](const Security& s) { return isA(s) && s.market == Shenzhen; });
        const auto szMain = select(
            [&](const Security& s) { return isA(s) && (starts(s, "000") || starts(s, "001")); });
        const auto sme = select(
            [&](const Security& s) { return isA(s) && (starts(s, "002") || starts(s, "003")); });
        const auto chinext = select(
            [&](const Security& s) { return isA(s) && (starts(s, "300") || starts(s, "301")); });
        const auto star = select([&](const Security& s) { return isA(s) && starts(s, "688"); });
        const auto shMain = select(
            [&](const Security& s) { return isA(s) && s.market == Shanghai && !starts(s, "688"); });
        const auto bAll = select([](const Security& s) { return s.type == SecType::BShare; });
        const auto bSh = select(
            [](const Security& s) { return s.type == SecType::BShare && s.market == Shanghai; });
        const auto bSz = select(
            [](const Security& s) { return s.type == SecType::BShare && s.market == Shenzhen; });
        const auto funds = select([](const Security& s) { return s.type == SecType::Fund; });
        const auto bondSh = select(
            [](const Security& s) { return s.type == SecType::Bond && s.market == Shanghai; });
        const auto bondSz = select(
            [](const Security& s) { return s.type == SecType::Bond && s.market == Shenzhen; });
        const auto tradable = select(
            [](const Security& s) { return s.type != SecType::Index && s.type != SecType::Block; });
        const auto st = select([](const Security& s) { return s.st; });
        const int newSince = dateFromDays(daysFromDate(today) - 365);
        const auto fresh =
            select([&](const Security& s) { return isA(s) && s.listDate >= newSince; });
        const auto margin = select([](const Security& s) { return s.margin; });
        const auto sh50 = topByCap(shA, 0, 50), sh180 = topByCap(shA, 0, 180),
                   sh380 = topByCap(shA, 180, 380);
        const auto sz100 = topByCap(szA, 0, 100), hs300 = topByCap(allA, 0, 300),
                   zz500 = topByCap(allA, 300, 500);
        std::vector<int> etf = etfs;
        std::sort(etf.begin(), etf.end());
        const auto industrial = select([&](const Security& s) {
            const int ind =
                isA(s) && s.market == Shanghai ? u.params[size_t(s.index)].industry : -1;
            return ind == 11 || ind == 12 || ind == 13 || ind == 17 || ind == 18 || ind == 19 ||
                   ind == 30;
        });

        // Indices. The index of a preset block lists that block; 上证指数 is the Shanghai
        // composite of every Shanghai stock.
        addIndex("1A0001", Shanghai, "上证指数", "SZZS", 3215.36, preset::ShA, shA);
        addIndex("1A0002", Shanghai, "A股指数", "AGZS", 3369.21, preset::ShMain, shMain);
        addIndex("1A0003", Shanghai, "B股指数", "BGZS", 268.44, preset::ShB, bSh);
        addIndex("1A0004", Shanghai, "工业指数", "GYZS", 2611.07, 0, industrial);
        addIndex("1A0009", Shanghai, "上证380", "SZ380", 5318.72, preset::Sh380, sh380);
        addIndex("1A0010", Shanghai, "上证180", "SZ180", 8791.20, preset::Sh180, sh180);
        addIndex("1A0011", Shanghai, "基金指数", "JJZS", 6402.55, preset::Funds, funds);
        addIndex("1A0012", Shanghai, "国债指数", "GZZS", 212.64, preset::ShBond, bondSh);
        addIndex("1A0016", Shanghai, "上证50", "SZ50", 2587.93, preset::Sh50, sh50);
        addIndex("1A0300", Shanghai, "沪深300", "HS300", 3862.18, preset::Hs300, hs300);
        addIndex("1A0688", Shanghai, "科创50", "KC50", 986.35, preset::Star, star);
        addIndex("1A0905", Shanghai, "中证500", "ZZ500", 5721.40, preset::Zz500, zz500);
        addIndex("1A0008", Shanghai, "综合指数", "ZHZS", 3102.77, preset::All, tradable);
        addIndex("399001", Shenzhen, "深证成指", "SZCZ", 10254.81, preset::SzA, szA);
        addIndex("399005", Shenzhen, "中小板指", "ZXBZ", 6712.09, preset::Sme, sme);
        addIndex("399006", Shenzhen, "创业板指", "CYBZ", 2105.66, preset::ChiNext, chinext);
        addIndex("399106", Shenzhen, "深证综指", "SZZZ", 1962.30, preset::SzMain, szMain);
        addIndex("399108", Shenzhen, "深证B指", "SZBZ", 1103.58, preset::SzB, bSz);
        addIndex("399110", Shenzhen, "沪深B指", "HSBZ", 612.47, preset::HsB, bAll);
        addIndex("399317", Shenzhen, "国证A指", "GZAZ", 4588.15, preset::HsA, allA);
        addIndex("399330", Shenzhen, "深证100", "SZ100", 6219.84, preset::Sz100, sz100);
        addIndex("399481", Shenzhen, "企债指数", "QZZS", 2516.90, preset::SzBond, bondSz);
        addIndex("399305", Shenzhen, "基金ETF", "JJETF", 1421.33, preset::Etf, etf);
        addIndex("399678", Shenzhen, "深次新股", "SCXG", 2870.12, preset::NewShares, fresh);
        addIndex("399640", Shenzhen, "融资融券", "RZRQ", 3310.58, preset::MarginList, margin);
        addIndex("399693", Shenzhen, "风险警示", "FXJS", 1280.40, preset::St, st);

        const auto indices = select([](const Security& s) { return s.type == SecType::Index; });
        addBlock(preset::HsA, "沪深A股", 0, allA);
        addBlock(preset::ShA, "上证A股", 0, shA);
        addBlock(preset::SzA, "深圳A股", 0, szA);
        addBlock(preset::SzMain, "深圳主板", 0, szMain);
        addBlock(preset::Sme, "中小板", 0, sme);
        addBlock(preset::ChiNext, "创业板", 0, chinext);
        addBlock(preset::HsB, "沪深B股", 0, bAll);
        addBlock(preset::ShB, "上海B股", 0, bSh);
        addBlock(preset::SzB, "深圳B股", 0, bSz);
        addBlock(preset::All, "全部", 0, tradable);
        addBlock(preset::Funds, "基金", 0, funds);
        addBlock(preset::Sh50, "上证50", 0, sh50);
        addBlock(preset::Sh180, "上证180", 0, sh180);
        addBlock(preset::Sh380, "上证380", 0, sh380);
        addBlock(preset::Sz100, "深证100", 0, sz100);
        addBlock(preset::Hs300, "沪深300", 0, hs300);
        addBlock(preset::Zz500, "中证500", 0, zz500);
        addBlock(preset::Etf, "ETF基金", 0, etf);
        addBlock(preset::Indices, "指数", 0, indices);
        addBlock(preset::St, "风险警示", 0, st);
        addBlock(preset::NewShares, "次新股", 0, fresh);
        addBlock(preset::MarginList, "融资融券", 0, margin);
        addBlock(preset::ShMain, "上证主板", 0, shMain);
        addBlock(preset::Star, "科创板", 0, star);
        addBlock(preset::ShBond, "上海债券", 0, bondSh);
        addBlock(preset::SzBond, "深圳债券", 0, bondSz);

        // Market-90 blocks, one BK security each.
        const auto& inds = names::industries();
        const auto& regs = names::regions();
        const auto& cons = names::concepts();
        auto addBk = [&](int number, const std::string& name, const std::string& py, int category,
                         int64_t Security::*single, bool concept) {
            const int64_t id = 900000 + number;
            std::vector<int> members;
            for (const Security& s : u.securities) {
                if (s.type != SecType::Stock)
                    continue;
                const bool in = concept ? std::find(s.concepts.begin(), s.concepts.end(), id) !=
                                              s.concepts.end()
                                        : s.*single == id;
                if (in)
                    members.push_back(s.index);
            }
            char code[24];
            std::snprintf(code, sizeof code, "BK%04d", number);
            Security s;
            SimParams p;
            s.code = code;
            s.market = Blocks;
            s.type = SecType::Block;
            s.decimals = 2;
            s.name = name;
            s.pinyin = py.substr(0, 6);
            s.basePrice = std::round(logNormal(1500, 0.5) * 100) / 100;
            s.blockId = id;
            s.listDate = firstDay;
            p.historyStart = firstDay;
            p.members = members;
            add(std::move(s), std::move(p));
            addBlock(id, name, category, std::move(members));
            u.blocks.back().security = int(u.securities.size()) - 1;
        };
        for (size_t i = 0; i < inds.size(); ++i)
            addBk(401 + int(i), inds[i].name.text, inds[i].name.initials, Industry,
                  &Security::industry, false);
        for (size_t i = 0; i < regs.size(); ++i)
            addBk(501 + int(i), std::string(regs[i].text) + "板块",
                  std::string(regs[i].initials) + "BK", Region, &Security::region, false);
        for (size_t i = 0; i < cons.size(); ++i)
            addBk(601 + int(i), cons[i].text, cons[i].initials, Concept, nullptr, true);

        // A category number asked for as a block lists that category's blocks themselves
        // (the block monitor ranks the industry blocks as "block 1011").
        for (int cat : {int(Region), int(Industry), int(Concept)}) {
            std::vector<int> bks;
            for (const BlockInfo& b : u.blocks)
                if (b.category == cat)
                    bks.push_back(b.security);
            std::sort(bks.begin(), bks.end());
            addBlock(cat,
                     cat == Region     ? "地区板块"
                     : cat == Industry ? "行业板块"
                                       : "概念板块",
                     0, std::move(bks));
        }
        std::sort(u.blocks.begin(), u.blocks.end(),
                  [](const BlockInfo& a, const BlockInfo& b) { return a.id < b.id; });
        for (BlockInfo& b : u.blocks) {
            if (b.security < 0)
                for (const Security& s : u.securities)
                    if (s.type == SecType::Index && s.blockId == b.id) {
                        b.security = s.index;
                        break;
                    }
            if (b.category != 0)
                for (int m : b.members)
                    u.blocksOfSecurity[size_t(m)].push_back(b.id);
        }
        // A BK security's own block lists it among the blocks it belongs to, so the
        // related-blocks table of a block shows the block itself.
        for (const Security& s : u.securities)
            if (s.type == SecType::Block)
                u.blocksOfSecurity[size_t(s.index)].push_back(s.blockId);
    }
};

}  // namespace

Universe buildUniverse(uint64_t seed, int aShares, int firstHistoryDay, int today,
                       const std::vector<ListedSecurity>& listed) {
    Builder b(seed, firstHistoryDay, today);
    b.u.firstHistoryDay = firstHistoryDay;
    b.buildStocks(std::max(50, aShares));
    b.buildBShares();
    b.buildFunds();
    b.buildBonds();
    if (!listed.empty()) {
        // The indices come last, so the codes the generator will use are known only from a
        // build without the list.
        const Universe plain = buildUniverse(seed, aShares, firstHistoryDay, today);
        for (const ListedSecurity& l : listed)
            if (plain.find(l.code, l.market) < 0)
                b.addListed(l);
    }
    b.buildBlocksAndIndices();
    // A list naming a generated security brings its real name along.
    for (const ListedSecurity& l : listed) {
        const int i = b.u.find(l.code, l.market);
        if (i < 0)
            continue;
        Security& s = b.u.securities[size_t(i)];
        s.name = l.name;
        s.pinyin = l.pinyin;
        if (l.floatShares > 0 && s.type != SecType::Index && s.type != SecType::Block) {
            s.floatShares = l.floatShares;
            s.totalShares = std::max(l.totalShares, l.floatShares);
        }
    }
    return std::move(b.u);
}

}  // namespace vq::market
