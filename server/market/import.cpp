#include "server/market/import.h"

#include "server/market/csv.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vq::market {

namespace {

namespace fs = std::filesystem;

// CODE.csv without a market: Shanghai for codes starting with 5, 6, 9 (and 11x bonds),
// Shenzhen otherwise.
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

std::string readAll(const fs::path& p, bool& ok) {
    std::ifstream in(p, std::ios::binary);
    ok = bool(in);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Written next to the target and renamed over it, so a reader never sees half a file.
bool writeAtomically(const fs::path& target, const std::string& text) {
    const fs::path tmp = target.string() + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.good())
            return false;
    }
    std::error_code ec;
    fs::rename(tmp, target, ec);
    return !ec;
}

}  // namespace

bool importCsv(const std::string& dir, const std::string& dataDir, ImportReport& report) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        report.errors.push_back(dir + ": not a folder");
        return false;
    }
    const fs::path target = fs::path(dataDir) / "market" / "import";
    fs::create_directories(target, ec);
    if (ec) {
        report.errors.push_back(target.string() + ": " + ec.message());
        return false;
    }
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file())
            continue;
        const std::string name = e.path().filename().string();
        if (name.size() <= 4 || name.substr(name.size() - 4) != ".csv" ||
            name.find(".div.") != std::string::npos)
            continue;
        std::string stem = name.substr(0, name.size() - 4);
        std::string code = stem;
        int market = 0;
        const auto dot = stem.find('.');
        if (dot != std::string::npos) {
            code = stem.substr(0, dot);
            const std::string m = stem.substr(dot + 1);
            market = m == "1" ? 1 : m == "2" ? 2 : m == "90" ? 90 : -1;
        } else {
            market = marketOfCode(code);
        }
        if (!validCode(code) || market <= 0) {
            report.errors.push_back(name + ": file name is not CODE.MARKET.csv or CODE.csv");
            continue;
        }
        bool ok;
        const std::string text = readAll(e.path(), ok);
        if (!ok) {
            report.errors.push_back(name + ": cannot be read");
            continue;
        }
        DailySeries ds = parseDailyCsv(text, name, report.errors);
        if (ds.bars.empty()) {
            report.errors.push_back(name + ": no valid bars");
            continue;
        }
        const std::string out = code + "." + std::to_string(market);
        // Normalised copy: one date format, sorted, duplicates and bad rows gone.
        std::ostringstream csv;
        csv.precision(10);
        csv << "date,open,high,low,close,volume,amount\n";
        for (size_t k = 0; k < ds.bars.size(); ++k) {
            const Bar& b = ds.bars[k];
            csv << ds.days[k] << ',' << b.open << ',' << b.high << ',' << b.low << ',' << b.close
                << ',' << b.volume << ',' << b.amount << '\n';
        }
        if (!writeAtomically(target / (out + ".csv"), csv.str())) {
            report.errors.push_back(name + ": cannot write " + (target / (out + ".csv")).string());
            continue;
        }
        ++report.securities;
        report.bars += int(ds.bars.size());
        for (const std::string& divName : {stem + ".div.csv", code + ".div.csv"}) {
            const fs::path dp = fs::path(dir) / divName;
            if (!fs::exists(dp, ec))
                continue;
            const std::string dtext = readAll(dp, ok);
            DailySeries tmp = ds;
            parseDividendCsv(dtext, divName, tmp, report.errors);
            std::ostringstream dcsv;
            dcsv.precision(10);
            dcsv << "date,cash,bonus_shares,rights_shares,rights_price\n";
            for (const Dividend& d : tmp.dividends)
                dcsv << d.exDate << ',' << d.cash << ',' << d.bonusShares << ',' << d.rightsShares
                     << ',' << d.rightsPrice << '\n';
            if (writeAtomically(target / (out + ".div.csv"), dcsv.str()))
                report.dividends += int(tmp.dividends.size());
            break;
        }
    }
    if (report.securities > 0) {
        // The stored days after the generated history continue the old series; with new
        // data under them they would start from the wrong prices. They are dropped and
        // filled in again from the imported closes on the next start.
        for (const auto& e : fs::directory_iterator(fs::path(dataDir) / "market", ec))
            if (e.is_directory() && e.path().filename().string().rfind("days-", 0) == 0)
                fs::remove_all(e.path(), ec);
    }
    return report.securities > 0;
}

}  // namespace vq::market
