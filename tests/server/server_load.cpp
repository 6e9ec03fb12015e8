// A bounded load run against a server started in this process: C client threads, each on a
// keep-alive connection, fetch one user's watchlist (10 groups × 50 codes) R times. Prints
// the latency percentiles and the rate. Run on demand; not part of the test suite.
//
//   vq_server_load [connections=64] [requests per connection=200] [server threads=16]

#include <httplib.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "server/http/http_server.h"
#include "server/store/accounts.h"
#include "server/store/database.h"
#include "server/store/watchlists.h"
#include "tests/server/load_watchlist.h"

using namespace vq;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int connections = argc > 1 ? std::atoi(argv[1]) : 64;
    const int requests = argc > 2 ? std::atoi(argv[2]) : 200;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 16;

    QTemporaryDir dir;
    store::DbConfig config;
    store::parseDbUrl(QString(), dir.path(), config, nullptr);
    store::Database db(config);
    if (!db.open()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    store::Accounts accounts(db);
    accounts.addUser("load", "pw");
    const store::User user = *accounts.byName("load");
    store::Watchlists(db).apply(user.id, loadWatchlistBatch());

    http::HttpOptions options;
    options.port = 0;
    options.threads = threads;
    options.dataDir = dir.path();
    http::HttpServer server(db, options);
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string path = "/mystock?user_id=" + user.uid.toStdString() + "&cmd=get";

    std::vector<std::vector<double>> samples(static_cast<size_t>(connections));
    std::vector<int> failures(static_cast<size_t>(connections), 0);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < connections; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", server.port());
            client.set_keep_alive(true);
            client.set_read_timeout(60, 0);
            for (int i = 0; i < requests; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                auto r = client.Get(path.c_str());
                const auto t1 = std::chrono::steady_clock::now();
                if (!r || r->status != 200 || r->body.size() < 10000) {
                    ++failures[static_cast<size_t>(c)];
                }
                samples[static_cast<size_t>(c)].push_back(
                    std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        });
    }
    for (auto& t : clients) {
        t.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<double> all;
    int failed = 0;
    for (size_t c = 0; c < samples.size(); ++c) {
        all.insert(all.end(), samples[c].begin(), samples[c].end());
        failed += failures[c];
    }
    std::sort(all.begin(), all.end());
    auto pct = [&](double p) {
        return all[std::min(all.size() - 1, size_t(p * double(all.size())))];
    };
    std::printf("connections %d, requests %zu, server threads %d, failures %d\n", connections,
                all.size(), threads, failed);
    std::printf(
        "mystock get: p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms, %.0f requests/s\n",
        pct(0.50), pct(0.90), pct(0.99), all.back(), double(all.size()) / seconds);
    server.stop();
    return failed == 0 ? 0 : 1;
}
