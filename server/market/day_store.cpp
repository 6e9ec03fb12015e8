// The day store: the finished days after the generated history, read at start-up and
// written as each day closes (or is filled in).
#include "server/market/day_store.h"

#include "server/market/calendar.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vq::market {

namespace {

namespace fs = std::filesystem;

constexpr size_t kDayHeader = 16;  // "VQD2", bar count, universe fingerprint

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Written next to the target and renamed over it: a crash never leaves half a file.
bool writeAtomically(const fs::path& target, const std::string& bytes) {
    const fs::path tmp = target.string() + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out.good())
            return false;
    }
    std::error_code ec;
    fs::rename(tmp, target, ec);
    return !ec;
}

}  // namespace

fs::path dayDir(const std::string& dataDir, uint64_t seed, int aShares) {
    return fs::path(dataDir) / "market" /
           ("days-" + std::to_string(seed) + "-" + std::to_string(std::max(50, aShares)));
}

int openDayStore(const fs::path& dir, int anchor, int today, bool demo,
                 std::map<int, std::vector<Bar>>& stored, std::map<int, uint64_t>& prints) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    const int saved = std::atoi(readFile(dir / "anchor").c_str());
    if (saved >= 19900101 && saved <= anchor && isTradingDay(saved)) {
        anchor = saved;
    } else {
        writeAtomically(dir / "anchor", std::to_string(anchor) + "\n");
    }
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() != 12 || name.substr(8) != ".day")
            continue;
        const int d = std::atoi(name.c_str());
        // A real clock never takes a day from its own future (a demo run may have
        // written some).
        if (d <= anchor || !isTradingDay(d) || (!demo && d >= today))
            continue;
        const std::string bytes = readFile(e.path());
        uint32_t n = 0;
        uint64_t print = 0;
        if (bytes.size() >= kDayHeader) {
            std::memcpy(&n, bytes.data() + 4, 4);
            std::memcpy(&print, bytes.data() + 8, 8);
        }
        if (bytes.size() < kDayHeader || bytes.compare(0, 4, "VQD2") != 0 ||
            bytes.size() != kDayHeader + size_t(n) * sizeof(Bar))
            continue;  // damaged or of an older layout: filled in again
        std::vector<Bar> bars(n);
        std::memcpy(static_cast<void*>(bars.data()), bytes.data() + kDayHeader,
                    bars.size() * sizeof(Bar));
        stored[d] = std::move(bars);
        prints[d] = print;
    }
    return anchor;
}

void storeDay(const fs::path& dir, int day, const std::vector<Bar>& bars, uint64_t fingerprint) {
    std::string bytes("VQD2", 4);
    const uint32_t n = uint32_t(bars.size());
    bytes.append(reinterpret_cast<const char*>(&n), 4);
    bytes.append(reinterpret_cast<const char*>(&fingerprint), 8);
    bytes.append(reinterpret_cast<const char*>(bars.data()), bars.size() * sizeof(Bar));
    writeAtomically(dir / (std::to_string(day) + ".day"), bytes);
}

uint64_t universeFingerprint(const std::vector<Security>& securities, uint64_t importStamp) {
    uint64_t print = 1469598103934665603ull;
    for (const Security& sec : securities)
        for (char c : sec.code + char('0' + sec.market))
            print = (print ^ uint8_t(c)) * 1099511628211ull;
    // Without an import the fingerprint stays what earlier versions wrote.
    if (importStamp)
        print = (print ^ importStamp) * 1099511628211ull;
    return print;
}

}  // namespace vq::market
