// Figures of the real-data import: 5,000 securities with 2,500 daily bars each (a thousand
// of them added from a securities list), a server start on the data folder that makes, and
// 1-minute history of 100 securities over 250 days. The CSV files are written once per run
// into a temporary folder (not timed).
#include "server/market/calendar.h"
#include "server/market/import.h"
#include "server/market/market.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace vq::market;
namespace fs = std::filesystem;

namespace {

constexpr int kLastDay = 20240613;

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return 0;
}

// Resets the peak resident size, so VmHWM tells the peak of what follows.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Folders {
    fs::path root, daily, minutes;
    std::vector<std::string> codes;  // CODE.MARKET of the daily files
    ~Folders() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void writeBars(const fs::path& file, const std::vector<int>& days, std::mt19937& rng,
               bool minutes) {
    std::ofstream out(file);
    out << (minutes ? "datetime" : "date") << ",open,high,low,close,volume,amount\n";
    std::normal_distribution<double> n(0, minutes ? 0.001 : 0.018);
    double px = 10 + rng() % 40;
    char row[160];
    for (int d : days) {
        const int count = minutes ? 240 : 1;
        for (int m = 0; m < count; ++m) {
            const double o = px;
            px = std::max(1.0, px * (1 + n(rng)));
            const double h = std::max(o, px) * 1.003, l = std::min(o, px) * 0.997;
            const long v = 1000 + long(rng() % 100000) * 100;
            if (minutes) {
                const int end = minuteEnd(m);
                std::snprintf(row, sizeof row,
                              "%04d-%02d-%02d %02d:%02d:00,%.2f,%.2f,%.2f,%.2f,%ld,%.2f\n",
                              d / 10000, d / 100 % 100, d % 100, end / 3600, end / 60 % 60, o, h, l,
                              px, v, v * px);
            } else {
                std::snprintf(row, sizeof row, "%d,%.2f,%.2f,%.2f,%.2f,%ld,%.2f\n", d, o, h, l, px,
                              v, v * px);
            }
            out << row;
        }
    }
}

Folders& folders() {
    static Folders f = [] {
        Folders x;
        x.root = fs::temp_directory_path() / ("vq-bench-import-" + std::to_string(getpid()));
        x.daily = x.root / "daily";
        x.minutes = x.root / "minutes";
        fs::create_directories(x.daily);
        fs::create_directories(x.minutes);
        std::vector<int> all = tradingDaysBetween(20140101, kLastDay);
        const std::vector<int> days(all.end() - 2500, all.end());
        const std::vector<int> minuteDays(all.end() - 250, all.end());
        std::mt19937 rng(7);
        Options o;
        o.clock = ClockMode::Manual;
        o.startTime = beijingTime(kLastDay + 1, 10, 0);
        auto m = Market::create(o);
        int n = 0;
        for (const Security& s : m->securities()) {
            if (s.type != SecType::Stock || n == 4000)
                continue;
            const std::string key = s.code + "." + std::to_string(s.market);
            writeBars(x.daily / (key + ".csv"), days, rng, false);
            if (n < 100)
                writeBars(x.minutes / (key + ".min.csv"), minuteDays, rng, true);
            x.codes.push_back(key);
            ++n;
        }
        std::ofstream list(x.daily / "securities.csv");
        list << "code,market,name,type\n";
        for (int k = 0; k < 1000; ++k) {
            char code[16];
            std::snprintf(code, sizeof code, "920%03d", k);
            list << code << ",2,新股" << k << ",stock\n";
            writeBars(x.daily / (std::string(code) + ".2.csv"), days, rng, false);
        }
        return x;
    }();
    return f;
}

void BM_ImportDaily(benchmark::State& state) {
    Folders& f = folders();
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(f.root / "data", ec);
        resetPeak();
        state.ResumeTiming();
        ImportReport r;
        ImportOptions io;
        io.today = kLastDay;
        const bool ok = importCsv(f.daily.string(), (f.root / "data").string(), r, io);
        state.counters["securities"] = r.securities;
        state.counters["bars"] = r.bars;
        state.counters["added"] = r.added;
        state.counters["ok"] = ok;
    }
    state.counters["peak_rss_mb"] = double(statusKb("VmHWM:")) / 1024;
}
BENCHMARK(BM_ImportDaily)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StartOnImported(benchmark::State& state) {
    Folders& f = folders();
    Options o;
    o.clock = ClockMode::Manual;
    o.startTime = beijingTime(kLastDay + 1, 10, 0);
    o.dataDir = (f.root / "data").string();
    for (auto _ : state) {
        auto m = Market::create(o);
        benchmark::DoNotOptimize(m->snapshot());
        state.counters["securities"] = double(m->securities().size());
    }
}
BENCHMARK(BM_StartOnImported)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ImportMinutes(benchmark::State& state) {
    Folders& f = folders();
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(f.root / "mdata", ec);
        state.ResumeTiming();
        ImportReport r;
        ImportOptions io;
        io.today = kLastDay;
        importCsv(f.minutes.string(), (f.root / "mdata").string(), r, io);
        state.counters["minute_bars"] = double(r.minuteBars);
    }
}
BENCHMARK(BM_ImportMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
