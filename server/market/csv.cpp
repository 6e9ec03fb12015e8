#include "server/market/csv.h"

#include "server/market/calendar.h"
#include "server/market/csv_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

namespace vq::market {

namespace {

// Messages kept per file; a file with thousands of bad rows says how many more there were.
constexpr int kProblemsPerFile = 50;

// The whole field as a finite number (from_chars: no locale, and several times faster than
// strtod on the millions of fields of a large import).
bool number(const std::string& s, double& v) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    return !s.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

bool allDigits(const std::string& s, size_t from, size_t n) {
    if (from + n > s.size())
        return false;
    for (size_t k = from; k < from + n; ++k)
        if (s[k] < '0' || s[k] > '9')
            return false;
    return true;
}

// HH:MM, HH:MM:SS, HHMM or HHMMSS as seconds of the day; -1 if not a time.
int parseTime(const std::string& t) {
    int h = 0, m = 0, s = 0;
    if (t.size() >= 5 && t[2] == ':' && allDigits(t, 0, 2) && allDigits(t, 3, 2)) {
        h = std::atoi(t.substr(0, 2).c_str());
        m = std::atoi(t.substr(3, 2).c_str());
        if (t.size() == 8 && t[5] == ':' && allDigits(t, 6, 2))
            s = std::atoi(t.substr(6, 2).c_str());
        else if (t.size() != 5)
            return -1;
    } else if ((t.size() == 4 || t.size() == 6) && allDigits(t, 0, t.size())) {
        h = std::atoi(t.substr(0, 2).c_str());
        m = std::atoi(t.substr(2, 2).c_str());
        s = t.size() == 6 ? std::atoi(t.substr(4, 2).c_str()) : 0;
    } else {
        return -1;
    }
    if (h > 23 || m > 59 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

std::string where(const std::string& name, int line) {
    return name + ":" + std::to_string(line) + ": ";
}

std::string dateText(int ymd) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", ymd / 10000, ymd / 100 % 100, ymd % 100);
    return b;
}

std::string timeText(int second) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d", second / 3600, second / 60 % 60);
    return b;
}

enum Column { Date, Time, Open, High, Low, Close, Volume, Amount, kColumns };

// Column names of the common layouts, in lower case.
Column columnOf(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    static const std::map<std::string, Column> names = {
        {"date", Date},         {"datetime", Date},  {"date_time", Date}, {"trade_date", Date},
        {"trading_date", Date}, {"timestamp", Date}, {"日期", Date},      {"交易日期", Date},
        {"time", Time},         {"时间", Time},      {"open", Open},      {"开盘", Open},
        {"开盘价", Open},       {"high", High},      {"最高", High},      {"最高价", High},
        {"low", Low},           {"最低", Low},       {"最低价", Low},     {"close", Close},
        {"收盘", Close},        {"收盘价", Close},   {"volume", Volume},  {"vol", Volume},
        {"成交量", Volume},     {"amount", Amount},  {"money", Amount},   {"成交额", Amount},
        {"成交金额", Amount},
    };
    auto it = names.find(name);
    return it == names.end() ? kColumns : it->second;
}

const char* columnName(int c) {
    static const char* const n[] = {"date", "time", "open", "high", "low", "close", "volume"};
    return c < Amount ? n[c] : "amount";
}

struct RawRow {
    int line, day, second;
    Bar bar;
};

class Problems {
public:
    Problems(const std::string& name, std::vector<std::string>& out) : name_(name), out_(out) {}
    ~Problems() {
        if (count_ > kProblemsPerFile)
            out_.push_back(name_ + ": " + std::to_string(count_ - kProblemsPerFile) +
                           " more problems");
    }
    void add(int line, const std::string& why) {
        if (++count_ <= kProblemsPerFile)
            out_.push_back(where(name_, line) + why);
    }
    int count() const { return count_; }

private:
    const std::string& name_;
    std::vector<std::string>& out_;
    int count_ = 0;
};

// Minute slot 0 … 239 of a bar ending at this second of day: the opening auction (09:25)
// joins the first minute and a bar stamped 13:00 the first afternoon minute; -1 outside.
int slotOfEnd(int s) {
    using namespace session;
    if (s >= kAuctionMatch && s <= kMorningOpen + 60)
        return 0;
    if (s > kMorningOpen + 60 && s <= kMorningClose)
        return (s - kMorningOpen - 1) / 60;
    if (s >= kAfternoonOpen && s <= kAfternoonOpen + 60)
        return 120;
    if (s > kAfternoonOpen + 60 && s <= kClose)
        return 120 + (s - kAfternoonOpen - 1) / 60;
    return -1;
}

void merge(Bar& into, const Bar& b) {
    into.high = std::max(into.high, b.high);
    into.low = std::min(into.low, b.low);
    into.close = b.close;
    into.volume += b.volume;
    into.amount += b.amount;
}

}  // namespace

int parseDate(const std::string& t) {
    int ymd = 0;
    if (t.size() == 8 && allDigits(t, 0, 8)) {
        ymd = std::atoi(t.c_str());
    } else if (t.size() == 10 && (t[4] == '-' || t[4] == '/') && t[7] == t[4] &&
               allDigits(t, 0, 4) && allDigits(t, 5, 2) && allDigits(t, 8, 2)) {
        ymd = std::atoi(t.substr(0, 4).c_str()) * 10000 + std::atoi(t.substr(5, 2).c_str()) * 100 +
              std::atoi(t.substr(8, 2).c_str());
    } else {
        return 0;
    }
    const int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    if (y < 1980 || y > 2100 || m < 1 || m > 12 || d < 1 || d > 31)
        return 0;
    return dateFromDays(daysFromDate(ymd)) == ymd ? ymd : 0;  // rejects 20230230
}

int parseDateTime(const std::string& t, int& second) {
    second = -1;
    const size_t sep = t.find_first_of(" T");
    if (sep == std::string::npos)
        return parseDate(t);
    const int day = parseDate(t.substr(0, sep));
    const size_t from = t.find_first_not_of(' ', sep + 1);
    if (!day || from == std::string::npos)
        return 0;
    second = parseTime(t.substr(from));
    return second >= 0 ? day : 0;
}

bool readBarsCsv(const std::string& text, const std::string& name, BarKind kind,
                 const BarReadOptions& options, BarFile& out, std::vector<std::string>& problems) {
    out = BarFile{};
    const CsvTable table = readCsv(text, name);
    if (!table.error.empty()) {
        problems.push_back(table.error);
        return false;
    }
    if (table.rows.empty()) {
        problems.push_back(name + ": no bars");
        return false;
    }
    Problems bad(name, problems);
    // Where each column is: from the header, or the plain layout.
    int col[kColumns];
    std::fill(std::begin(col), std::end(col), -1);
    size_t width = 0, firstRow = 0;
    const CsvRow& head = table.rows.front();
    int probe = 0;
    if (parseDateTime(head.fields[0], probe)) {
        // A minute file may keep the time in a column of its own: date,time,open,…
        const bool timeColumn = kind == BarKind::Minute && probe < 0 && head.fields.size() > 1 &&
                                parseTime(head.fields[1]) >= 0;
        const int shift = timeColumn ? 1 : 0;
        col[Date] = 0;
        col[Time] = timeColumn ? 1 : -1;
        for (int c = Open; c <= Amount; ++c)
            col[c] = c - Open + 1 + shift;
        width = head.fields.size();
        if (width != size_t(6 + shift) && width != size_t(7 + shift)) {
            bad.add(head.line, "expected the columns date," +
                                   std::string(timeColumn ? "time," : "") +
                                   "open,high,low,close,volume[,amount], found " +
                                   std::to_string(width) + " fields");
            return false;
        }
        if (width == size_t(6 + shift))
            col[Amount] = -1;
    } else {
        for (size_t k = 0; k < head.fields.size(); ++k) {
            const Column c = columnOf(head.fields[k]);
            if (c == kColumns)
                continue;
            if (col[c] >= 0) {
                bad.add(head.line, "column " + std::string(columnName(c)) + " appears twice");
                return false;
            }
            col[c] = int(k);
        }
        for (int c : {Date, Open, High, Low, Close, Volume})
            if (col[c] < 0) {
                bad.add(head.line,
                        col[Date] < 0 && col[Open] < 0
                            ? "neither a date nor a header naming date, open, high, "
                              "low, close and volume"
                            : "the header has no " + std::string(columnName(c)) + " column");
                return false;
            }
        width = head.fields.size();
        firstRow = 1;
    }

    std::vector<RawRow> rows;
    rows.reserve(table.rows.size());
    int64_t lastKey = -1;
    int lastLine = 0;
    for (size_t r = firstRow; r < table.rows.size(); ++r) {
        const CsvRow& row = table.rows[r];
        const auto& f = row.fields;
        if (f.size() != width) {
            bad.add(row.line, std::to_string(f.size()) + " fields where " + std::to_string(width) +
                                  " are expected");
            continue;
        }
        int second = -1;
        const int day = parseDateTime(f[size_t(col[Date])], second);
        if (!day) {
            bad.add(row.line, "not a date: \"" + f[size_t(col[Date])] + "\"");
            continue;
        }
        if (col[Time] >= 0) {
            if (second >= 0) {
                bad.add(row.line, "a time in both the date and the time column");
                continue;
            }
            second = parseTime(f[size_t(col[Time])]);
            if (second < 0) {
                bad.add(row.line, "not a time: \"" + f[size_t(col[Time])] + "\"");
                continue;
            }
        }
        if (kind == BarKind::Daily && second > 0 && second != session::kClose) {
            bad.add(row.line, "a time of day in a daily file (minute bars go in CODE.min.csv)");
            continue;
        }
        if (kind == BarKind::Minute && second < 0) {
            bad.add(row.line, "no time of day in a minute file");
            continue;
        }
        if (options.latestDay && day > options.latestDay) {
            bad.add(row.line, dateText(day) + " is in the future");
            continue;
        }
        double v[6] = {0, 0, 0, 0, 0, -1};
        bool ok = true;
        for (int c = Open; c <= Amount && ok; ++c) {
            if (col[c] < 0)
                continue;
            ok = number(f[size_t(col[c])], v[c - Open]);
            if (!ok)
                bad.add(row.line, std::string(columnName(c)) + " is not a number: \"" +
                                      f[size_t(col[c])] + "\"");
        }
        if (!ok)
            continue;
        const double o = v[0], h = v[1], l = v[2], c = v[3];
        if (o <= 0 || h <= 0 || l <= 0 || c <= 0) {
            bad.add(row.line, "prices must be positive");
            continue;
        }
        if (v[4] < 0 || (col[Amount] >= 0 && v[5] < 0)) {
            bad.add(row.line, "volume and amount must not be negative");
            continue;
        }
        if (h < l) {
            bad.add(row.line, "high is below low");
            continue;
        }
        if (h < std::max(o, c) || l > std::min(o, c)) {
            bad.add(row.line, "high and low do not contain open and close");
            continue;
        }
        const int64_t key = int64_t(day) * 100000 + std::max(0, second);
        if (key == lastKey) {
            bad.add(row.line, (kind == BarKind::Daily ? dateText(day)
                                                      : dateText(day) + " " + timeText(second)) +
                                  " repeats line " + std::to_string(lastLine));
            continue;
        }
        if (key < lastKey) {
            bad.add(
                row.line,
                (kind == BarKind::Daily ? dateText(day) : dateText(day) + " " + timeText(second)) +
                    " comes after a later bar (line " + std::to_string(lastLine) + ")");
            continue;
        }
        lastKey = key;
        lastLine = row.line;
        Bar b;
        b.open = float(o);
        b.high = float(h);
        b.low = float(l);
        b.close = float(c);
        b.volume = int64_t(std::llround(v[4]));
        // Without an amount column the day's turnover is estimated from its average price.
        b.amount = col[Amount] >= 0 ? v[5] : double(b.volume) * (o + h + l + c) / 4;
        rows.push_back({row.line, day, second, b});
    }

    if (kind == BarKind::Daily) {
        for (RawRow& r : rows) {
            r.bar.time = beijingTime(r.day, 15, 0);
            out.days.push_back(r.day);
            out.bars.push_back(r.bar);
        }
    } else {
        // Bars stamped with the minute they start (09:30 … 14:59) rather than the one they
        // end: such a file has no bar at 11:30 or 15:00.
        bool endStamped = false, opensAtStart = false;
        for (const RawRow& r : rows) {
            endStamped |= r.second == session::kMorningClose || r.second == session::kClose;
            opensAtStart |=
                r.second == session::kMorningOpen || r.second == session::kAfternoonOpen;
        }
        const int shift = !endStamped && opensAtStart ? 60 : 0;
        int lastDay = 0, lastSlot = -1;
        for (const RawRow& r : rows) {
            const int slot = slotOfEnd(r.second + shift);
            if (slot < 0) {
                bad.add(r.line, timeText(r.second) + " is outside the trading session");
                continue;
            }
            if (r.day == lastDay && slot == lastSlot) {
                merge(out.bars.back(), r.bar);
                continue;
            }
            Bar b = r.bar;
            b.time = beijingTime(r.day, 0, 0) + minuteEnd(slot);
            out.days.push_back(r.day);
            out.bars.push_back(b);
            lastDay = r.day;
            lastSlot = slot;
        }
    }
    if (bad.count() > 0 && !options.skipBadRows)
        return false;
    out.skipped = bad.count();
    if (out.bars.empty()) {
        problems.push_back(name + ": no valid bars");
        return false;
    }
    return true;
}

BarFile dailyFromMinutes(const BarFile& minutes) {
    BarFile out;
    for (size_t k = 0; k < minutes.bars.size(); ++k) {
        const int day = minutes.days[k];
        if (out.days.empty() || out.days.back() != day) {
            Bar b = minutes.bars[k];
            b.time = beijingTime(day, 15, 0);
            out.days.push_back(day);
            out.bars.push_back(b);
        } else {
            merge(out.bars.back(), minutes.bars[k]);
        }
    }
    return out;
}

DailySeries parseDailyCsv(const std::string& text, const std::string& name,
                          std::vector<std::string>& errors) {
    BarReadOptions o;
    o.skipBadRows = true;
    BarFile f;
    DailySeries s;
    if (readBarsCsv(text, name, BarKind::Daily, o, f, errors)) {
        s.days = std::move(f.days);
        s.bars = std::move(f.bars);
    }
    return s;
}

bool parseDividendCsv(const std::string& text, const std::string& name, DailySeries& series,
                      std::vector<std::string>& errors) {
    const CsvTable table = readCsv(text, name);
    if (!table.error.empty()) {
        errors.push_back(table.error);
        return false;
    }
    Problems bad(name, errors);
    std::map<int, Dividend> rows;
    for (const CsvRow& row : table.rows) {
        const auto& f = row.fields;
        const int day = parseDate(f[0]);
        if (!day) {
            if (&row != &table.rows.front())
                bad.add(row.line, "not a date: \"" + f[0] + "\"");
            continue;
        }
        double v[4] = {0, 0, 0, 0};
        bool ok = f.size() >= 2 && f.size() <= 5;
        for (size_t k = 1; k < f.size() && k <= 4 && ok; ++k)
            ok = f[k].empty() || number(f[k], v[k - 1]);
        if (!ok || v[0] < 0 || v[1] < 0 || v[2] < 0 || v[3] < 0) {
            bad.add(row.line,
                    "expected date,cash,bonus_shares,rights_shares,rights_price with "
                    "values not below zero");
            continue;
        }
        if (rows.count(day)) {
            bad.add(row.line, dateText(day) + " appears twice");
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
    return bad.count() == 0;
}

}  // namespace vq::market
