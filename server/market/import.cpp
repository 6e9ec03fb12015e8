#include "server/market/import.h"

#include "server/market/bar_store.h"
#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/security_list.h"
#include "server/market/universe.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

namespace vq::market {

namespace {

namespace fs = std::filesystem;

struct Group {
    std::string code;
    int market = 0;
    std::string daily, minute, div;  // file names in the source folder
};

std::string keyOf(const std::string& code, int market) {
    return code + "." + std::to_string(market);
}

// CODE[.MARKET][.min|.div].csv; false for any other name.
bool parseName(const std::string& name, std::string& code, int& market, std::string& tag) {
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".csv") != 0)
        return false;
    std::vector<std::string> parts;
    std::string stem = name.substr(0, name.size() - 4);
    for (size_t from = 0;;) {
        const size_t dot = stem.find('.', from);
        parts.push_back(stem.substr(from, dot == std::string::npos ? dot : dot - from));
        if (dot == std::string::npos)
            break;
        from = dot + 1;
    }
    code = parts[0];
    market = 0;
    tag.clear();
    size_t k = 1;
    if (k < parts.size() && (parts[k] == "1" || parts[k] == "2"))
        market = std::atoi(parts[k++].c_str());
    if (k < parts.size() && (parts[k] == "min" || parts[k] == "1min" || parts[k] == "div"))
        tag = parts[k++] == "div" ? "div" : "min";
    if (k != parts.size() || !validCode(code))
        return false;
    if (!market)
        market = marketOfCode(code);
    return true;
}

void linkOrCopy(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_hard_link(from, to, ec);
    if (ec)
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

// The last close, the volatility of daily returns and a float estimate from the volume.
void measure(const std::vector<Bar>& bars, ListedSecurity& s) {
    if (bars.empty())
        return;
    s.basePrice = bars.back().close;
    const size_t from = bars.size() > 250 ? bars.size() - 250 : 0;
    double sum = 0, sq = 0;
    int n = 0;
    for (size_t k = from + 1; k < bars.size(); ++k) {
        const double r = std::log(double(bars[k].close) / double(bars[k - 1].close));
        sum += r;
        sq += r * r;
        ++n;
    }
    s.volatility = n > 1 ? std::sqrt(std::max(0.0, sq / n - (sum / n) * (sum / n))) : 0.02;
    if (s.floatShares <= 0) {
        // Without share capital the float is put at a hundred days' volume (one per cent
        // turnover), which keeps the turnover figures and index weights plausible.
        double vol = 0;
        const size_t recent = bars.size() > 20 ? bars.size() - 20 : 0;
        for (size_t k = recent; k < bars.size(); ++k)
            vol += double(bars[k].volume);
        vol /= double(bars.size() - recent);
        s.floatShares = std::max<int64_t>(1000000, int64_t(vol * 100 / 10000) * 10000);
    }
    if (s.totalShares < s.floatShares)
        s.totalShares = s.floatShares;
}

bool swapInto(const fs::path& staging, const fs::path& target, std::string& error) {
    std::error_code ec;
    if (fs::exists(target, ec)) {
        // One atomic exchange: the new folder takes the old one's place in a single step.
        if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) !=
            0) {
            error = target.string() + ": cannot replace (" + std::strerror(errno) + ")";
            return false;
        }
        fs::remove_all(staging, ec);  // now the old data
        return true;
    }
    fs::rename(staging, target, ec);
    if (ec)
        error = target.string() + ": " + ec.message();
    return !ec;
}

}  // namespace

bool importCsv(const std::string& dir, const std::string& dataDir, ImportReport& report,
               const ImportOptions& opt) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        report.errors.push_back(dir + ": not a folder");
        return false;
    }
    const fs::path target = fs::path(dataDir) / "market" / "import";
    const fs::path staging = fs::path(dataDir) / "market" / "import.staging";
    fs::remove_all(staging, ec);  // left by an import that did not finish
    fs::create_directories(staging, ec);
    if (ec) {
        report.errors.push_back(staging.string() + ": " + ec.message());
        return false;
    }
    const int today = opt.today
                          ? opt.today
                          : beijingDate(std::chrono::duration_cast<std::chrono::seconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count());
    auto fail = [&] {
        fs::remove_all(staging, ec);
        return false;
    };
    auto reject = [&](const std::string& message) {
        report.errors.push_back(message);
        ++report.rejectedFiles;
    };
    // A file that cannot be written (a full disk) fails the import like a bad row.
    auto put = [&](const fs::path& path, const std::string& bytes) {
        if (!writeFileAtomically(path.string(), bytes))
            reject(path.string() + ": cannot be written");
    };

    // What is there.
    std::map<std::string, Group> groups;
    bool haveList = false;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file())
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".csv") != 0)
            continue;
        if (name == "securities.csv") {
            haveList = true;
            continue;
        }
        std::string code, tag;
        int market = 0;
        if (!parseName(name, code, market, tag)) {
            reject(name +
                   ": not named CODE[.MARKET].csv, CODE[.MARKET].min.csv, "
                   "CODE[.MARKET].div.csv or securities.csv");
            continue;
        }
        Group& g = groups[keyOf(code, market)];
        g.code = code;
        g.market = market;
        std::string& slot = tag == "min" ? g.minute : tag == "div" ? g.div : g.daily;
        if (!slot.empty()) {
            reject(name + ": " + slot + " holds the same bars of " + keyOf(code, market));
            continue;
        }
        slot = name;
    }
    if (groups.empty() && !haveList) {
        report.errors.push_back(dir + ": no CSV files to import");
        return fail();
    }

    // The list: what earlier imports brought, with this one's rows over it.
    std::map<std::string, ListedSecurity> listed;
    {
        std::vector<ListedSecurity> old;
        std::vector<std::string> ignored;
        if (fs::exists(target / "securities.csv", ec))
            readSecurityList(readWholeFile((target / "securities.csv").string()), "securities.csv",
                             old, ignored);
        for (ListedSecurity& s : old)
            listed[keyOf(s.code, s.market)] = std::move(s);
    }
    if (haveList) {
        std::vector<ListedSecurity> fresh;
        const size_t before = report.errors.size();
        readSecurityList(readWholeFile((fs::path(dir) / "securities.csv").string()),
                         "securities.csv", fresh, report.errors);
        report.skippedRows += int(report.errors.size() - before);
        report.listed = int(fresh.size());
        for (ListedSecurity& s : fresh)
            listed[keyOf(s.code, s.market)] = std::move(s);
    }

    // Earlier imports stay unless this one replaces them.
    if (fs::is_directory(target, ec))
        for (const auto& e : fs::directory_iterator(target, ec)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() && name != "stamp" && name != "securities.csv" &&
                name.find(".part") == std::string::npos)
                linkOrCopy(e.path(), staging / name);
        }

    const Universe u = buildUniverse(opt.seed, std::max(50, opt.aShares),
                                     (today / 10000 - 8) * 10000 + 101, today);
    BarReadOptions ro;
    ro.skipBadRows = opt.skipBadRows;
    ro.latestDay = today;
    for (auto& [key, g] : groups) {
        auto lst = listed.find(key);
        if (u.find(g.code, g.market) < 0 && lst == listed.end()) {
            for (const std::string* n : {&g.daily, &g.minute, &g.div})
                if (!n->empty())
                    reject(*n + ": " + key + " is neither in the market nor in securities.csv");
            continue;
        }
        auto read = [&](const std::string& name, BarKind kind, BarFile& f) {
            bool readable = false;
            const std::string text = readWholeFile((fs::path(dir) / name).string(), &readable);
            if (!readable) {
                reject(name + ": cannot be read");
                return false;
            }
            const bool ok = readBarsCsv(text, name, kind, ro, f, report.errors);
            if (!ok) {
                ++report.rejectedFiles;
                return false;
            }
            report.skippedRows += f.skipped;
            return true;
        };
        DailySeries daily;
        bool haveDaily = false;
        BarFile f;
        if (!g.daily.empty() && read(g.daily, BarKind::Daily, f)) {
            daily.days = std::move(f.days);
            daily.bars = std::move(f.bars);
            haveDaily = true;
            put(staging / (key + ".day"), encodeBars(BarFileKind::Daily, daily.bars));
            fs::remove(staging / (key + ".csv"), ec);  // an earlier version's daily file
            ++report.securities;
            report.bars += int(daily.bars.size());
        }
        if (!haveDaily) {
            // Minutes, dividends and the list's figures go with the daily bars an earlier
            // import kept.
            std::vector<Bar> bars;
            if (readBarFile((staging / (key + ".day")).string(), BarFileKind::Daily, bars)) {
                for (const Bar& b : bars)
                    daily.days.push_back(beijingDate(b.time));
                daily.bars = std::move(bars);
                haveDaily = true;
            } else if (fs::exists(staging / (key + ".csv"), ec)) {
                std::vector<std::string> ignored;
                daily = parseDailyCsv(readWholeFile((staging / (key + ".csv")).string()),
                                      key + ".csv", ignored);
                haveDaily = !daily.bars.empty();
            }
        }
        if (!g.minute.empty() && read(g.minute, BarKind::Minute, f)) {
            // Every day of minutes needs its daily bar, or no chart would reach it.
            int missing = 0;
            for (size_t k = 0; haveDaily && k < f.days.size(); ++k) {
                if (k > 0 && f.days[k] == f.days[k - 1])
                    continue;
                if (std::binary_search(daily.days.begin(), daily.days.end(), f.days[k]))
                    continue;
                char day[16];
                std::snprintf(day, sizeof day, "%04d-%02d-%02d", f.days[k] / 10000,
                              f.days[k] / 100 % 100, f.days[k] % 100);
                if (++missing <= 5)
                    report.errors.push_back(g.minute + ": " + day +
                                            " has minutes but no daily bar");
            }
            if (missing > 5)
                report.errors.push_back(g.minute + ": " + std::to_string(missing - 5) +
                                        " more days without a daily bar");
            if (missing) {
                ++report.rejectedFiles;
            } else {
                put(staging / (key + ".min"), encodeBars(BarFileKind::Minute, f.bars));
                ++report.minuteSecurities;
                report.minuteBars += int64_t(f.bars.size());
            }
            if (!haveDaily) {
                BarFile d = dailyFromMinutes(f);
                daily.days = std::move(d.days);
                daily.bars = std::move(d.bars);
                haveDaily = true;
                put(staging / (key + ".day"), encodeBars(BarFileKind::Daily, daily.bars));
                report.notes.push_back(g.minute + ": daily bars of " + key +
                                       " made from its minutes");
            }
        }
        if (!g.div.empty()) {
            if (!haveDaily) {
                reject(g.div + ": " + key + " has no daily bars for its dividends");
            } else {
                DailySeries withDivs = daily;
                const bool ok = parseDividendCsv(readWholeFile((fs::path(dir) / g.div).string()),
                                                 g.div, withDivs, report.errors);
                if (ok || opt.skipBadRows) {
                    std::string csv = "date,cash,bonus_shares,rights_shares,rights_price\n";
                    char row[160];
                    for (const Dividend& d : withDivs.dividends) {
                        std::snprintf(row, sizeof row, "%d,%.10g,%.10g,%.10g,%.10g\n", d.exDate,
                                      d.cash, d.bonusShares, d.rightsShares, d.rightsPrice);
                        csv += row;
                    }
                    put(staging / (key + ".div.csv"), csv);
                    report.dividends += int(withDivs.dividends.size());
                } else {
                    ++report.rejectedFiles;
                }
            }
        }
        if (lst != listed.end() && haveDaily)
            measure(daily.bars, lst->second);
    }

    // Listed securities the universe lacks join it only with bars to show.
    for (auto& [key, s] : listed) {
        if (u.find(s.code, s.market) >= 0)
            continue;
        const bool bars =
            fs::exists(staging / (key + ".day"), ec) || fs::exists(staging / (key + ".csv"), ec);
        if (!bars) {
            report.notes.push_back("securities.csv: " + key +
                                   " has no bars yet; it joins the market with its first bars");
            continue;
        }
        if (s.basePrice <= 0) {
            std::vector<Bar> recent;
            if (readLastBars((staging / (key + ".day")).string(), BarFileKind::Daily, 260, recent))
                measure(recent, s);
        }
        ++report.added;
    }
    if (!listed.empty()) {
        std::vector<ListedSecurity> all;
        for (auto& [key, s] : listed)
            all.push_back(s);
        put(staging / "securities.csv", writeSecurityList(all));
    }

    const bool clean = opt.skipBadRows ? report.rejectedFiles == 0 : report.errors.empty();
    if (!clean && !opt.skipBadRows)
        return fail();
    std::random_device rd;
    put(staging / "stamp", std::to_string((uint64_t(rd()) << 32) ^ rd()) + "\n");
    std::string error;
    if (!swapInto(staging, target, error)) {
        report.errors.push_back(error);
        return fail();
    }
    // The stored days after the generated history continue the old series; with new data
    // under them they would start from the wrong prices. The next start fills them in again
    // from the imported closes (the new stamp tells it so even if this step is cut short).
    for (const auto& e : fs::directory_iterator(fs::path(dataDir) / "market", ec))
        if (e.is_directory() && e.path().filename().string().rfind("days-", 0) == 0)
            fs::remove_all(e.path(), ec);
    return clean;
}

}  // namespace vq::market
