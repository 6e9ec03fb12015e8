#include "server/http/http_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "server/http/services.h"

namespace vq::http {

namespace {

// The answers the connection loop gives before a request reaches the routes; the
// connection ends after each.
std::string loopAnswer(int status) {
    QString code, msg;
    const char* reason = "Bad Request";
    switch (status) {
        case 413:
            code = QStringLiteral("4130");
            msg = QStringLiteral("请求体过大（最多1 MiB）");
            reason = "Payload Too Large";
            break;
        case 431:
            code = QStringLiteral("4310");
            msg = QStringLiteral("请求头过大");
            reason = "Request Header Fields Too Large";
            break;
        case 503:
            code = QStringLiteral("5030");
            msg = QStringLiteral("服务繁忙，请稍后重试");
            reason = "Service Unavailable";
            break;
        default:
            code = QStringLiteral("4000");
            msg = QStringLiteral("请求无法处理");
            break;
    }
    const std::string body =
        QJsonDocument(QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("msg"), msg}})
            .toJson(QJsonDocument::Compact)
            .toStdString();
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + (status == 503 ? "" : "Connection: close\r\n") +
           "\r\n" + body;
}

}  // namespace

namespace {}  // namespace

Services::Services(store::Database& database, HttpOptions o)
    : db(database),
      options(std::move(o)),
      loginThrottle(options.login),
      passwordChecks(options.login.checkThreads, options.login.checkQueue) {}

HttpServer::HttpServer(store::Database& db, HttpOptions options)
    : services_(std::make_unique<Services>(db, std::move(options))) {}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::addRegistrar(RouteRegistrar registrar) {
    registrars_.push_back(std::move(registrar));
}

bool HttpServer::start(std::string* error) {
    const HttpOptions& o = services_->options;
    server_.set_payload_max_length(o.maxBodyBytes);
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
                case 431:
                    msg = QStringLiteral("请求头过大");
                    break;
                case 503:
                    msg = QStringLiteral("服务繁忙，请稍后重试");
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

    LoopOptions limits;
    limits.workers = o.threads < 1 ? 1 : o.threads;
    limits.maxBodyBytes = o.maxBodyBytes;
    limits.requestDeadlineMs = o.requestDeadlineMs;
    limits.idleTimeoutMs = o.idleTimeoutMs;
    limits.maxConnections = o.maxConnections;
    limits.maxConnectionsPerAddress = o.maxConnectionsPerAddress;
    // Logins wait on the password checks; on workers of their own, a flood of them leaves
    // the other services' workers alone. Two more than can wait on the checks answer the
    // rest with "try again" at once.
    limits.isolatedPaths = {"/login"};
    limits.isolatedWorkers = o.login.checkThreads + o.login.checkQueue + 2;
    loop_ = std::make_unique<ConnectionLoop>(
        limits, [this](const RawRequest& request) { return server_.serve(request); },
        [](int status) { return loopAnswer(status); });
    if (!loop_->listen(o.host, o.port, port_, error)) {
        loop_.reset();
        return false;
    }
    services_->boundPort = port_;
    loop_->start();
    return true;
}

void HttpServer::stop() {
    if (loop_) {
        loop_->stop();
    }
}

}  // namespace vq::http
