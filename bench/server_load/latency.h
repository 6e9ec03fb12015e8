// Latency samples and what the figures report of them.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

inline double percentile(std::vector<double> ms, double p) {
    if (ms.empty()) {
        return -1;
    }
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, size_t(p * double(ms.size())))];
}

inline void report(benchmark::State& state, const std::vector<double>& ms, int failures) {
    state.counters["p50_ms"] = percentile(ms, 0.50);
    state.counters["p99_ms"] = percentile(ms, 0.99);
    state.counters["max_ms"] = percentile(ms, 1.0);
    state.counters["samples"] = double(ms.size());
    state.counters["failures"] = failures;
}

// Resident memory of this process (the server runs inside it), current and peak, in MiB.
inline double residentMb(const char* key = "VmRSS:") {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
        }
    }
    return -1;
}

}  // namespace bench
