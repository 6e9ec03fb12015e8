// Start-up figures of the quote side of the server with the full universe: the time until
// the market is built and the quote service listens, and the resident memory after a
// terminal has connected and fetched the code list and a first ranking.
//
//   build/bench/quote/bench_server_start
#include "server/market/market.h"
#include "server/quote/quote_service.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

static long rssKb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int main() {
    auto t0 = std::chrono::steady_clock::now();
    vq::market::Options o;
    o.clock = vq::market::ClockMode::Demo;
    auto market = vq::market::Market::create(o);
    market->start();
    vq::quote::ServiceOptions so;
    so.port = 0;
    vq::quote::QuoteService service(*market, so);
    std::string err;
    if (!service.start(&err)) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("securities %zu\nstart_ms %.1f\nrss_after_start_mb %.1f\n",
                market->securities().size(), ms, rssKb() / 1024.0);
    // A minute of demo trading with every security moving.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    std::printf("rss_after_5s_trading_mb %.1f\n", rssKb() / 1024.0);
    service.stop();
    market->stop();
    return 0;
}
