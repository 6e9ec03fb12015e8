// The HTTP server: cpp-httplib on a thread pool, the built-in services of this folder plus
// whatever other libraries register (see router.h), bodies over the limit refused.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/http/router.h"
#include "server/store/accounts.h"

namespace vq::store {
class Database;
}

namespace vq::http {

struct HttpOptions {
    std::string host = "127.0.0.1";
    int port = 8731;  // 0: an ephemeral port (tests)
    // httplib holds a thread per connection, idle keep-alive ones included, so the pool is
    // sized for connections rather than for cores.
    int threads = 32;
    size_t maxBodyBytes = 1024 * 1024;
    // The quote service handed out as url.quote.
    std::string quoteHost = "127.0.0.1";
    int quotePort = 8732;
    QString dataDir;  // crash reports and start images live here
    // A session not seen by a heartbeat for this long is over.
    int sessionTimeoutSeconds = 180;
    store::ThrottlePolicy throttle;
};

// What every built-in handler needs.
struct Services {
    store::Database& db;
    HttpOptions options;
    Directory directory;
    int boundPort = 0;  // the port actually listened on (options.port may be 0)
};

class HttpServer {
public:
    HttpServer(store::Database& db, HttpOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    void addRegistrar(RouteRegistrar registrar);
    // Registers every route, binds and starts serving on a thread of its own. False with a
    // reason when the address cannot be bound.
    bool start(std::string* error = nullptr);
    int port() const { return port_; }
    // Stops accepting, lets the requests in flight finish, joins the pool.
    void stop();

private:
    std::unique_ptr<Services> services_;
    httplib::Server server_;
    std::vector<RouteRegistrar> registrars_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace vq::http
