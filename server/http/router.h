// The HTTP side of the server and the interface other server libraries use to join it.
//
// Adding services from another library
//   A library offers a `RouteRegistrar`, a function taking a `Router&`; main.cpp hands it to
//   `HttpServer::addRegistrar` before `start()`. Inside, the library
//     - registers handlers with `router.get(path, handler)` / `router.post(path, handler)`
//       (httplib patterns; the handlers run on the server's thread pool, so they must be
//       thread-safe), and
//     - names its services in the control answer with `router.publish(name, path)`, e.g.
//       `publish("board", "/board")` or `publish("f10", "/f10?code={{code}}&market={{market}}")`;
//       the path becomes an absolute URL on this server. "{{key}}" placeholders pass through
//       untouched for the terminal to fill in.
//   A handler reads its input with `Params` and throws `HttpError` (through `badRequest`,
//   `unauthorized`, `notFound`, `unavailable`) for anything it cannot serve; the router turns
//   that into the JSON error envelope {"code": "4000", "msg": "…"} with the right status.
//   `sendJson` writes a JSON answer. A storage failure becomes a 503; nothing a client sends
//   can make the server answer 500 or stop.
//   The market-derived names (board, stock_rating, stock_rzrq, market_total, f9, f10, f11,
//   condition_stock) are published with placeholder handlers answering 503 until a registrar
//   claims their path; a registrar that publishes one of these names replaces the placeholder.
#pragma once

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

namespace vq::http {

// An answer other than success, raised anywhere inside a handler.
class HttpError : public std::exception {
public:
    HttpError(int status, QString code, QString msg)
        : status_(status), code_(std::move(code)), msg_(std::move(msg)) {}
    int status() const { return status_; }
    const QString& code() const { return code_; }
    const QString& msg() const { return msg_; }
    const char* what() const noexcept override { return "http error"; }

private:
    int status_;
    QString code_, msg_;
};

[[noreturn]] void badRequest(const QString& msg);    // 400, code "4000"
[[noreturn]] void unauthorized(const QString& msg);  // 401, code "4010"
[[noreturn]] void notFound(const QString& msg);      // 404, code "4040"
[[noreturn]] void unavailable(const QString& msg);   // 503, code "5030"

void sendJson(httplib::Response& res, const QJsonObject& body, int status = 200);
void sendJson(httplib::Response& res, const QJsonArray& body, int status = 200);
void sendError(httplib::Response& res, int status, const QString& code, const QString& msg);
// {"code": "0000", "msg": "success"} plus the given members.
QJsonObject success(const QJsonObject& members = {});

// Query parameters and, for form posts, the form fields of the body. Every value is checked
// to be UTF-8; a value that is exactly one "{{key}}" placeholder, which a view left
// unreplaced, counts as absent.
class Params {
public:
    explicit Params(const httplib::Request& req);

    std::optional<QString> text(const char* name, int maxLength = 256) const;
    QString required(const char* name, int maxLength = 256) const;
    // Decimal integers only; out of range or malformed → 400 naming the parameter.
    int integer(const char* name, int fallback, int min, int max) const;
    int requiredInteger(const char* name, int min, int max) const;
    // The body as JSON; 400 when it does not parse.
    static QJsonDocument jsonBody(const httplib::Request& req);

private:
    const httplib::Request& req_;
    std::multimap<std::string, std::string> form_;
};

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Service names → paths on this server, for the control answer.
class Directory {
public:
    void publish(const std::string& name, const std::string& path);
    std::map<std::string, std::string> entries() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> entries_;
};

class Router {
public:
    Router(httplib::Server& server, Directory& directory);

    void get(const std::string& pattern, Handler handler);
    void post(const std::string& pattern, Handler handler);
    void publish(const std::string& name, const std::string& path);
    bool claimed(const std::string& pattern) const { return patterns_.count(pattern) > 0; }
    httplib::Server& server() { return server_; }

    // Runs a handler with the error envelope around it (also used for raw httplib routes).
    static void guard(const httplib::Request& req, httplib::Response& res, const Handler& handler);

private:
    httplib::Server& server_;
    Directory& directory_;
    std::set<std::string> patterns_;
};

using RouteRegistrar = std::function<void(Router&)>;

}  // namespace vq::http
