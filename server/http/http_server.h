// The HTTP server: an event loop reads every request whole (connection_loop.h), a pool of
// workers answers it through cpp-httplib's routing (dispatcher.h) with the built-in services
// of this folder plus whatever other libraries register (see router.h).
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "server/http/connection_loop.h"
#include "server/http/dispatcher.h"
#include "server/http/login_guard.h"
#include "server/http/router.h"
#include "server/http/watchlist_cache.h"
#include "server/store/accounts.h"

namespace vq::store {
class Database;
}

namespace vq::http {

struct HttpOptions {
    std::string host = "127.0.0.1";
    int port = 8731;  // 0: an ephemeral port (tests)
    // Workers answering complete requests. Slow or idle connections never hold one, so a
    // few more than the cores is enough; the rest only cover handlers waiting on storage.
    int threads = 8;
    size_t maxBodyBytes = 1024 * 1024;
    // A request must arrive whole within this long of its first byte.
    int requestDeadlineMs = 10000;
    // An idle keep-alive connection is closed after this long.
    int idleTimeoutMs = 5000;
    int maxConnections = 4096;
    // Each connection may buffer one whole request (up to a head and a body), so this also
    // bounds the memory one address can take.
    int maxConnectionsPerAddress = 128;
    // The quote service handed out as url.quote.
    std::string quoteHost = "127.0.0.1";
    int quotePort = 8732;
    QString dataDir;  // crash reports and start images live here
    // A session not seen by a heartbeat for this long is over.
    int sessionTimeoutSeconds = 180;
    LoginPolicy login;
    // Crash reports: per source address within an hour, and how many the folder keeps (the
    // oldest go first).
    int crashReportsPerHour = 30;
    qint64 crashBytesPerHour = 8 * 1024 * 1024;
    int crashReportsKept = 2000;
    qint64 crashFolderBytes = 256 * 1024 * 1024;
};

// What every built-in handler needs.
struct Services {
    Services(store::Database& database, HttpOptions o);
    store::Database& db;
    HttpOptions options;
    Directory directory;
    int boundPort = 0;  // the port actually listened on (options.port may be 0)
    LoginThrottle loginThrottle;
    PasswordChecks passwordChecks;
    WatchlistCache watchlists;
    AddressQuota crashReports{3600};
};

class HttpServer {
public:
    HttpServer(store::Database& db, HttpOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    void addRegistrar(RouteRegistrar registrar);
    // Registers every route, binds and starts serving on threads of its own. False with a
    // reason when the address cannot be bound.
    bool start(std::string* error = nullptr);
    int port() const { return port_; }
    // Stops accepting, lets the requests in flight finish, joins the pool.
    void stop();

private:
    std::unique_ptr<Services> services_;
    Dispatcher server_;
    std::unique_ptr<ConnectionLoop> loop_;
    std::vector<RouteRegistrar> registrars_;
    int port_ = 0;
};

}  // namespace vq::http
