// Load and attack figures of the HTTP services, with the server in this process:
//   - watchlist reads (10 groups x 50 codes): the rate closed-loop, and the latency at a
//     fixed offered rate (open-loop: each request has its planned start, and its latency
//     counts from there, so a stall is not hidden by the client waiting for it);
//   - the control document while 1,000 connections trickle their headers;
//   - the control document and watchlist reads during a 64-connection login flood.
//
//   build/bench/server_load/bench_server_load [--benchmark_filter=…]
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "latency.h"
#include "loopback_client.h"
#include "server/http/http_server.h"
#include "server/store/accounts.h"
#include "server/store/database.h"
#include "server/store/watchlists.h"
#include "tests/server/load_watchlist.h"

using namespace vq;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// One server for every figure, as `veltoquorin-server serve` would run it, with one user
// whose watchlist has ten groups of fifty codes.
struct Server {
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    std::unique_ptr<http::HttpServer> http;
    std::string watchlistGet;
    uint16_t port = 0;

    Server() {
        store::DbConfig config;
        store::parseDbUrl(QString(), dir.path(), config, nullptr);
        db = std::make_unique<store::Database>(config);
        db->open();
        store::Accounts accounts(*db);
        accounts.addUser("load", "pw");
        const store::User user = *accounts.byName("load");
        store::Watchlists(*db).apply(user.id, loadWatchlistBatch());
        http::HttpOptions options;
        options.port = 0;
        options.dataDir = dir.path();
        http = std::make_unique<http::HttpServer>(*db, options);
        http->start();
        port = uint16_t(http->port());
        watchlistGet = "/mystock?user_id=" + user.uid.toStdString() + "&cmd=get";
    }
};

Server& server() {
    static Server s;
    return s;
}

std::string getRequest(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// Keep-alive requests on one connection for `seconds`; latencies appended.
void closedLoop(const std::string& request, double seconds, std::vector<double>& out,
                int& failures) {
    const int fd = hostile::connectFrom("127.0.0.1", server().port);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        const auto t0 = Clock::now();
        if (hostile::exchange(fd, request, 5000).status != 200) {
            ++failures;
        }
        out.push_back(msSince(t0));
    }
    ::close(fd);
}

void watchlistClosedLoop(benchmark::State& state) {
    const int connections = int(state.range(0));
    const std::string request = getRequest(server().watchlistGet);
    for (auto _ : state) {
        std::vector<std::vector<double>> samples(static_cast<size_t>(connections));
        std::vector<int> failures(size_t(connections), 0);
        std::vector<std::thread> clients;
        const auto start = Clock::now();
        for (int c = 0; c < connections; ++c) {
            clients.emplace_back(
                [&, c] { closedLoop(request, 3.0, samples[size_t(c)], failures[size_t(c)]); });
        }
        for (std::thread& t : clients) {
            t.join();
        }
        const double seconds = msSince(start) / 1000.0;
        std::vector<double> all;
        int failed = 0;
        for (int c = 0; c < connections; ++c) {
            all.insert(all.end(), samples[size_t(c)].begin(), samples[size_t(c)].end());
            failed += failures[size_t(c)];
        }
        bench::report(state, all, failed);
        state.counters["requests_per_s"] = double(all.size()) / seconds;
    }
}
BENCHMARK(watchlistClosedLoop)->Arg(4)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);

// A fixed rate spread over `kConnections` keep-alive connections for three seconds.
void watchlistOpenLoop(benchmark::State& state) {
    constexpr int kConnections = 16;
    const double rate = double(state.range(0));
    const std::string request = getRequest(server().watchlistGet);
    for (auto _ : state) {
        std::vector<std::vector<double>> samples(kConnections);
        std::vector<int> failures(kConnections, 0);
        std::vector<std::thread> clients;
        const auto start = Clock::now() + std::chrono::milliseconds(50);
        const auto interval = std::chrono::duration<double>(kConnections / rate);
        const int perConnection = int(rate * 3.0 / kConnections);
        for (int c = 0; c < kConnections; ++c) {
            clients.emplace_back([&, c] {
                const int fd = hostile::connectFrom("127.0.0.1", server().port);
                // Connections start spread over one interval, not all at once.
                const auto first = start + std::chrono::duration_cast<Clock::duration>(
                                               interval * (double(c) / kConnections));
                for (int i = 0; i < perConnection; ++i) {
                    const auto planned =
                        first + std::chrono::duration_cast<Clock::duration>(interval * i);
                    std::this_thread::sleep_until(planned);
                    if (hostile::exchange(fd, request, 5000).status != 200) {
                        ++failures[size_t(c)];
                    }
                    samples[size_t(c)].push_back(msSince(planned));
                }
                ::close(fd);
            });
        }
        for (std::thread& t : clients) {
            t.join();
        }
        std::vector<double> all;
        int failed = 0;
        for (int c = 0; c < kConnections; ++c) {
            all.insert(all.end(), samples[size_t(c)].begin(), samples[size_t(c)].end());
            failed += failures[size_t(c)];
        }
        bench::report(state, all, failed);
        state.counters["offered_per_s"] = rate;
    }
}
BENCHMARK(watchlistOpenLoop)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(7500)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The normal client: `count` requests on one keep-alive connection, `gapMs` apart,
// alternating between the given paths.
std::vector<double> normalClient(const std::vector<std::string>& paths, int count, int gapMs,
                                 int& failures) {
    std::vector<double> ms;
    int fd = hostile::connectFrom("127.0.0.1", server().port);
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        const hostile::HttpReply r =
            hostile::exchange(fd, getRequest(paths[size_t(i) % paths.size()]), 5000);
        ms.push_back(msSince(t0));
        if (r.status != 200) {
            ++failures;
            ::close(fd);
            fd = hostile::connectFrom("127.0.0.1", server().port);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    ::close(fd);
    return ms;
}

// Connections that send a header byte now and then and never finish; a closed one is
// opened again at once, as an attacker would.
void controlWithSlowConnections(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        std::vector<int> slow(size_t(count), -1);
        auto open = [](int i) {
            const std::string source = "127.0.0." + std::to_string(2 + i / 100);
            const int fd = hostile::connectFrom(source, server().port);
            hostile::sendAll(fd, "GET /v3clientcontrol HTTP/1.1\r\nX-Pad: ");
            return fd;
        };
        for (int i = 0; i < count; ++i) {
            slow[size_t(i)] = open(i);
        }
        std::atomic<bool> running{true};
        std::thread trickle([&] {
            while (running) {
                for (int i = 0; i < count; ++i) {
                    if (::send(slow[size_t(i)], "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                        errno != EAGAIN) {
                        ::close(slow[size_t(i)]);
                        slow[size_t(i)] = open(i);
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
        });
        int failures = 0;
        const std::vector<double> ms = normalClient({"/v3clientcontrol"}, 400, 5, failures);
        running = false;
        trickle.join();
        for (const int fd : slow) {
            ::close(fd);
        }
        bench::report(state, ms, failures);
        state.counters["slow_connections"] = count;
    }
}
BENCHMARK(controlWithSlowConnections)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

// 64 keep-alive connections posting logins as fast as they are answered.
void underLoginFlood(benchmark::State& state) {
    const int flooders = int(state.range(0));
    for (auto _ : state) {
        std::atomic<bool> running{true};
        std::atomic<int> logins{0};
        std::vector<std::thread> flood;
        for (int t = 0; t < flooders; ++t) {
            flood.emplace_back([&, t] {
                const std::string source = "127.0.1." + std::to_string(1 + t);
                int fd = hostile::connectFrom(source, server().port);
                for (int i = 0; running; ++i) {
                    const std::string body =
                        "username=u" + std::to_string(t) + "_" + std::to_string(i) + "&password=x";
                    const hostile::HttpReply r =
                        hostile::exchange(fd,
                                          "POST /login HTTP/1.1\r\nHost: x\r\nContent-Type: "
                                          "application/x-www-form-urlencoded\r\nContent-Length: " +
                                              std::to_string(body.size()) + "\r\n\r\n" + body,
                                          10000);
                    if (r.status == 0) {
                        ::close(fd);
                        fd = hostile::connectFrom(source, server().port);
                    }
                    ++logins;
                }
                ::close(fd);
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int failures = 0;
        const std::vector<double> ms =
            normalClient({"/v3clientcontrol", server().watchlistGet}, 400, 5, failures);
        running = false;
        for (std::thread& t : flood) {
            t.join();
        }
        bench::report(state, ms, failures);
        state.counters["flood_logins_answered"] = logins.load();
    }
}
BENCHMARK(underLoginFlood)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
