#include "server/http/http_server.h"

#include <netinet/tcp.h>

#include <chrono>
#include <cstdio>

#include "server/http/services.h"

namespace vq::http {

HttpServer::HttpServer(store::Database& db, HttpOptions options)
    : services_(new Services{db, std::move(options), {}, 0}) {}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::addRegistrar(RouteRegistrar registrar) {
    registrars_.push_back(std::move(registrar));
}

bool HttpServer::start(std::string* error) {
    const HttpOptions& o = services_->options;
    const int threads = o.threads < 1 ? 1 : o.threads;
    server_.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server_.set_payload_max_length(o.maxBodyBytes);
    // SO_REUSEADDR for quick restarts, but not the library's default SO_REUSEPORT: with it a
    // second server on the same port would start "successfully" and steal half the clients.
    // TCP_NODELAY (inherited by accepted sockets): headers and body leave in separate writes,
    // and Nagle's algorithm against the client's delayed ACK would hold the body for 40 ms.
    server_.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const void*>(&yes),
                   sizeof(yes));
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const void*>(&yes),
                   sizeof(yes));
    });
    server_.set_read_timeout(10, 0);
    server_.set_write_timeout(10, 0);
    // An idle keep-alive connection keeps its pool thread; terminals poll every few seconds,
    // so a short wait frees threads for other clients without losing much reuse.
    server_.set_keep_alive_timeout(2);
    // The size limit applies to Content-Length; a chunked body would be read whole before
    // anyone could look at its size. Our clients always send a length, so chunked request
    // bodies are refused before a byte of them is read, and the connection is closed
    // rather than parsing the unread chunks as the next request.
    server_.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        const QString encoding = QString::fromStdString(req.get_header_value("Transfer-Encoding"));
        if (!encoding.contains(QLatin1String("chunked"), Qt::CaseInsensitive)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        sendError(res, 411, QStringLiteral("4110"),
                  QStringLiteral("请求体须带Content-Length，不接受分块传输"));
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    // Errors that never reached a handler (unknown path, body too large, unparsable
    // request) still answer with the JSON envelope; a handler's own answer is left alone.
    server_.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            QString msg;
            switch (res.status) {
                case 404:
                    msg = QStringLiteral("没有这个服务地址");
                    break;
                case 413:
                    msg = QStringLiteral("请求体过大（最多1 MiB）");
                    break;
                case 405:
                    msg = QStringLiteral("不支持这个请求方法");
                    break;
                default:
                    msg = QStringLiteral("请求无法处理");
                    break;
            }
            const QString code = res.status == 413   ? QStringLiteral("4130")
                                 : res.status == 404 ? QStringLiteral("4040")
                                                     : QStringLiteral("4000");
            sendError(res, res.status, code, msg);
            return httplib::Server::HandlerResponse::Handled;
        }));
    server_.set_exception_handler([](const httplib::Request& req, httplib::Response& res,
                                     std::exception_ptr) {
        std::fprintf(stderr, "unexpected failure on %s %s\n", req.method.c_str(), req.path.c_str());
        sendError(res, 503, QStringLiteral("5030"), QStringLiteral("服务暂时不可用，请稍后重试"));
    });

    Router router(server_, services_->directory);
    // Other libraries first: their routes win over the placeholders registered afterwards.
    for (const RouteRegistrar& registrar : registrars_) {
        registrar(router);
    }
    registerControl(router, *services_);
    registerLogin(router, *services_);
    registerMyStock(router, *services_);
    registerDocuments(router, *services_);
    registerArticles(router, *services_);
    registerFiles(router, *services_);
    registerMarketPlaceholders(router, *services_);

    if (o.port == 0) {
        port_ = server_.bind_to_any_port(o.host);
        if (port_ <= 0) {
            if (error) {
                *error = "cannot bind " + o.host + " to an ephemeral port";
            }
            return false;
        }
    } else {
        if (!server_.bind_to_port(o.host, o.port)) {
            if (error) {
                *error = "cannot bind " + o.host + ":" + std::to_string(o.port);
            }
            return false;
        }
        port_ = o.port;
    }
    services_->boundPort = port_;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only acts on a running server, so a stop right after start must not slip in
    // before the loop is up.
    while (!server_.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void HttpServer::stop() {
    if (thread_.joinable()) {
        server_.stop();
        thread_.join();
    }
}

}  // namespace vq::http
