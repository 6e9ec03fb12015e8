#include "server/http/router.h"

#include <QRegularExpression>
#include <QUrlQuery>
#include <cstdio>

#include "server/store/database.h"

namespace vq::http {

void badRequest(const QString& msg) {
    throw HttpError(400, QStringLiteral("4000"), msg);
}
void unauthorized(const QString& msg) {
    throw HttpError(401, QStringLiteral("4010"), msg);
}
void notFound(const QString& msg) {
    throw HttpError(404, QStringLiteral("4040"), msg);
}
void unavailable(const QString& msg) {
    throw HttpError(503, QStringLiteral("5030"), msg);
}

void sendJson(httplib::Response& res, const QJsonObject& body, int status) {
    res.status = status;
    res.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void sendJson(httplib::Response& res, const QJsonArray& body, int status) {
    res.status = status;
    res.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void sendError(httplib::Response& res, int status, const QString& code, const QString& msg) {
    sendJson(res, QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("msg"), msg}},
             status);
}

QJsonObject success(const QJsonObject& members) {
    QJsonObject out{{QStringLiteral("code"), QStringLiteral("0000")},
                    {QStringLiteral("msg"), QStringLiteral("success")}};
    for (auto it = members.begin(); it != members.end(); ++it) {
        out.insert(it.key(), it.value());
    }
    return out;
}

namespace {

bool validUtf8(const std::string& bytes) {
    const QByteArray raw = QByteArray::fromStdString(bytes);
    return QString::fromUtf8(raw).toUtf8() == raw;
}

bool isPlaceholder(const QString& value) {
    static const QRegularExpression re(QStringLiteral("^\\{\\{[A-Za-z0-9_]+\\}\\}$"));
    return re.match(value).hasMatch();
}

// application/x-www-form-urlencoded: '+' is a space, then percent-decoding.
std::multimap<std::string, std::string> parseForm(const std::string& body) {
    std::multimap<std::string, std::string> out;
    QByteArray text = QByteArray::fromStdString(body);
    text.replace('+', ' ');
    for (const QByteArray& pair : text.split('&')) {
        if (pair.isEmpty()) {
            continue;
        }
        const int eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        out.emplace(QByteArray::fromPercentEncoding(key).toStdString(),
                    QByteArray::fromPercentEncoding(value).toStdString());
    }
    return out;
}

}  // namespace

Params::Params(const httplib::Request& req) : req_(req) {
    const std::string type = req.get_header_value("Content-Type");
    if (type.rfind("application/x-www-form-urlencoded", 0) == 0) {
        form_ = parseForm(req.body);
    }
}

std::optional<QString> Params::text(const char* name, int maxLength) const {
    const std::string* raw = nullptr;
    if (req_.has_param(name)) {
        auto it = req_.params.find(name);
        raw = &it->second;
    } else if (auto it = form_.find(name); it != form_.end()) {
        raw = &it->second;
    }
    if (!raw) {
        return std::nullopt;
    }
    if (!validUtf8(*raw)) {
        badRequest(QStringLiteral("参数%1不是有效的UTF-8文本").arg(QLatin1String(name)));
    }
    const QString value = QString::fromStdString(*raw);
    if (value.size() > maxLength) {
        badRequest(
            QStringLiteral("参数%1过长（最多%2个字符）").arg(QLatin1String(name)).arg(maxLength));
    }
    if (isPlaceholder(value)) {
        return std::nullopt;
    }
    return value;
}

QString Params::required(const char* name, int maxLength) const {
    const std::optional<QString> value = text(name, maxLength);
    if (!value || value->isEmpty()) {
        badRequest(QStringLiteral("缺少参数%1").arg(QLatin1String(name)));
    }
    return *value;
}

int Params::integer(const char* name, int fallback, int min, int max) const {
    const std::optional<QString> value = text(name, 32);
    if (!value || value->isEmpty()) {
        return fallback;
    }
    bool ok = false;
    const qlonglong n = value->toLongLong(&ok);
    if (!ok || n < min || n > max) {
        badRequest(QStringLiteral("参数%1应为%2到%3之间的整数")
                       .arg(QLatin1String(name))
                       .arg(min)
                       .arg(max));
    }
    return static_cast<int>(n);
}

int Params::requiredInteger(const char* name, int min, int max) const {
    required(name, 32);
    return integer(name, 0, min, max);
}

QJsonDocument Params::jsonBody(const httplib::Request& req) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &error);
    if (error.error != QJsonParseError::NoError) {
        badRequest(QStringLiteral("请求体不是有效的JSON：%1（位置%2）")
                       .arg(error.errorString())
                       .arg(error.offset));
    }
    return doc;
}

void Directory::publish(const std::string& name, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[name] = path;
}

std::map<std::string, std::string> Directory::entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

Router::Router(httplib::Server& server, Directory& directory)
    : server_(server), directory_(directory) {}

void Router::guard(const httplib::Request& req, httplib::Response& res, const Handler& handler) {
    try {
        handler(req, res);
    } catch (const HttpError& e) {
        sendError(res, e.status(), e.code(), e.msg());
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "storage error on %s %s: %s\n", req.method.c_str(), req.path.c_str(),
                     e.what());
        sendError(res, 503, QStringLiteral("5030"),
                  QStringLiteral("数据服务暂时不可用，请稍后重试"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unexpected failure on %s %s: %s\n", req.method.c_str(),
                     req.path.c_str(), e.what());
        sendError(res, 503, QStringLiteral("5030"), QStringLiteral("服务暂时不可用，请稍后重试"));
    }
}

void Router::get(const std::string& pattern, Handler handler) {
    patterns_.insert(pattern);
    server_.Get(pattern, [h = std::move(handler)](const httplib::Request& req,
                                                  httplib::Response& res) { guard(req, res, h); });
}

void Router::post(const std::string& pattern, Handler handler) {
    patterns_.insert(pattern);
    server_.Post(pattern, [h = std::move(handler)](const httplib::Request& req,
                                                   httplib::Response& res) { guard(req, res, h); });
}

void Router::publish(const std::string& name, const std::string& path) {
    directory_.publish(name, path);
}

}  // namespace vq::http
