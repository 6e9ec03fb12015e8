// The quote service with the full universe while one client floods it with whole-market
// pages and never reads: the request-to-answer latency of normal terminals and the resident
// memory of the process (the service runs inside it).
#ifdef VQ_HAVE_QUOTE_SERVICE

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "latency.h"
#include "loopback_client.h"
#include "protocol/messages.h"
#include "quote_wire.h"
#include "server/market/market.h"
#include "server/quote/quote_service.h"

using Clock = std::chrono::steady_clock;

namespace {

void quoteFlood(benchmark::State& state) {
    const int flood = int(state.range(0));
    vq::market::Options o;
    o.clock = vq::market::ClockMode::Demo;
    auto market = vq::market::Market::create(o);
    market->start();
    vq::quote::ServiceOptions so;
    so.port = 0;
    vq::quote::QuoteService service(*market, so);
    service.start();
    const double before = bench::residentMb();
    for (auto _ : state) {
        // The flooder: 53-byte requests for a 10,000-row page of block 1101, never read.
        const int flooder = hostile::connectFrom("127.0.0.2", service.port(), 4096);
        std::string bytes = hostile::clientHello();
        vqp::Request big;
        big.period = vqp::PeriodSnapshot;
        big.block = 1101;
        big.option = vqp::OptionBlockRanking;
        big.sortField = 34;
        big.pageSize = 10000;
        for (int id = 1; id <= flood; ++id) {
            big.id = uint32_t(id);
            vqp::encodeRequest(big, bytes);
        }
        std::atomic<bool> running{true};
        std::thread sender([&] {
            size_t sent = 0;
            while (running && sent < bytes.size()) {
                const ssize_t n = ::send(flooder, bytes.data() + sent, bytes.size() - sent,
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) {
                    sent += size_t(n);
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // Four terminals, each asking for one security's quote 250 times.
        std::vector<std::vector<double>> samples(4);
        std::vector<int> failures(4, 0);
        std::vector<std::thread> terminals;
        for (int t = 0; t < 4; ++t) {
            terminals.emplace_back([&, t] {
                const int fd = hostile::connectFrom("127.0.0.1", service.port());
                std::string hello;
                vqp::FrameDecoder decoder;
                hostile::sendAll(fd, hostile::clientHello());
                hostile::readUntilFrame(fd, hello, decoder, vqp::Msg::CodeList);
                for (uint32_t i = 0; i < 250; ++i) {
                    vqp::Request r;
                    r.id = i + 1;
                    r.period = vqp::PeriodSnapshot;
                    const auto& s = *market->security(int((t * 250 + i) % 1000));
                    vqp::SecurityKey k{};
                    vqp::setText(k.code, s.code);
                    k.market = uint8_t(s.market);
                    r.codes = {k};
                    std::string req;
                    vqp::encodeRequest(r, req);
                    const auto t0 = Clock::now();
                    if (!hostile::sendAll(fd, req) ||
                        !hostile::readUntilFrame(fd, hello, decoder, vqp::Msg::Reply)) {
                        ++failures[size_t(t)];
                        break;
                    }
                    samples[size_t(t)].push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                    std::this_thread::sleep_for(std::chrono::milliseconds(4));
                }
                ::close(fd);
            });
        }
        for (std::thread& t : terminals) {
            t.join();
        }
        running = false;
        sender.join();
        std::vector<double> all;
        int failed = 0;
        for (int t = 0; t < 4; ++t) {
            all.insert(all.end(), samples[size_t(t)].begin(), samples[size_t(t)].end());
            failed += failures[size_t(t)];
        }
        bench::report(state, all, failed);
        state.counters["rss_before_mb"] = before;
        state.counters["rss_during_mb"] = bench::residentMb();
        state.counters["rss_peak_mb"] = bench::residentMb("VmHWM:");
        state.counters["peak_pending_mb"] = double(service.peakPendingBytes()) / (1 << 20);
        ::close(flooder);
    }
    service.stop();
    market->stop();
}
BENCHMARK(quoteFlood)->Arg(1000)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

#endif
