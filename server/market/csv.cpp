#include "server/market/csv.h"

#include "server/market/calendar.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace vq::market {

namespace {

std::vector<std::string> splitRow(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line) {
        if (c == ',' || c == ';' || c == '\t') {
            out.push_back(cur);
            cur.clear();
        } else if (c != '\r' && c != '"') {
            cur += c;
        }
    }
    out.push_back(cur);
    for (auto& s : out) {
        const auto b = s.find_first_not_of(' ');
        const auto e = s.find_last_not_of(' ');
        s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    }
    return out;
}

bool number(const std::string& s, double& v) {
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(v);
}

std::string where(const std::string& name, int line) {
    return name + ":" + std::to_string(line) + ": ";
}

}  // namespace

int parseDate(const std::string& t) {
    std::string digits;
    for (char c : t)
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != '-' && c != '/')
            return 0;
    if (digits.size() != 8)
        return 0;
    const int ymd = std::atoi(digits.c_str());
    const int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    if (y < 1980 || y > 2100 || m < 1 || m > 12 || d < 1 || d > 31)
        return 0;
    return dateFromDays(daysFromDate(ymd)) == ymd ? ymd : 0;  // rejects 20230230
}

DailySeries parseDailyCsv(const std::string& text, const std::string& name,
                          std::vector<std::string>& errors) {
    std::map<int, Bar> rows;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const auto f = splitRow(line);
        if (f.size() == 1 && f[0].empty())
            continue;
        const int day = parseDate(f[0]);
        if (!day) {
            if (lineNo == 1)
                continue;  // a header line
            errors.push_back(where(name, lineNo) + "bad date");
            continue;
        }
        if (f.size() < 7) {
            errors.push_back(where(name, lineNo) + "expected 7 columns");
            continue;
        }
        double v[6];
        bool ok = true;
        for (int k = 0; k < 6; ++k)
            ok = ok && number(f[size_t(k) + 1], v[k]);
        if (!ok) {
            errors.push_back(where(name, lineNo) + "not a number");
            continue;
        }
        const double o = v[0], h = v[1], l = v[2], c = v[3];
        if (o <= 0 || h <= 0 || l <= 0 || c <= 0 || v[4] < 0 || v[5] < 0) {
            errors.push_back(where(name, lineNo) +
                             "prices must be positive, volume and amount not negative");
            continue;
        }
        if (h < std::max({o, c, l}) || l > std::min({o, c, h})) {
            errors.push_back(where(name, lineNo) + "high/low do not contain open and close");
            continue;
        }
        Bar b;
        b.time = beijingTime(day, 15, 0);
        b.open = float(o);
        b.high = float(h);
        b.low = float(l);
        b.close = float(c);
        b.volume = int64_t(v[4]);
        b.amount = v[5];
        rows[day] = b;
    }
    DailySeries s;
    for (const auto& [day, bar] : rows) {
        s.days.push_back(day);
        s.bars.push_back(bar);
    }
    return s;
}

void parseDividendCsv(const std::string& text, const std::string& name, DailySeries& series,
                      std::vector<std::string>& errors) {
    std::map<int, Dividend> rows;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const auto f = splitRow(line);
        if (f.size() == 1 && f[0].empty())
            continue;
        const int day = parseDate(f[0]);
        if (!day) {
            if (lineNo != 1)
                errors.push_back(where(name, lineNo) + "bad date");
            continue;
        }
        double v[4] = {0, 0, 0, 0};
        bool ok = f.size() >= 2;
        for (size_t k = 1; k < f.size() && k <= 4 && ok; ++k)
            ok = f[k].empty() || number(f[k], v[k - 1]);
        if (!ok || v[0] < 0 || v[1] < 0 || v[2] < 0 || v[3] < 0) {
            errors.push_back(where(name, lineNo) + "bad dividend values");
            continue;
        }
        Dividend d;
        d.exDate = day;
        d.time = beijingTime(day, 15, 0);
        d.cash = v[0];
        d.bonusShares = v[1];
        d.rightsShares = v[2];
        d.rightsPrice = v[3];
        rows[day] = d;
    }
    for (auto& [day, d] : rows) {
        // The close of the last bar before the ex-date is the base of the reference price.
        auto it = std::lower_bound(series.days.begin(), series.days.end(), day);
        if (it != series.days.begin()) {
            d.preClose = series.bars[size_t(it - series.days.begin()) - 1].close;
            const double ref = (d.preClose - d.cash + d.rightsPrice * d.rightsShares) /
                               (1 + d.bonusShares + d.rightsShares);
            d.factor = ref > 0 && d.preClose > 0 ? ref / d.preClose : 1;
        }
        series.dividends.push_back(d);
    }
}

}  // namespace vq::market
