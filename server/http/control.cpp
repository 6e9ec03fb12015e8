// GET /v3clientcontrol: the address document from which the terminal learns every service.
//
// URLs are built on the host the terminal used to reach us (its Host header), so the same
// server answers correctly on loopback, a LAN address or behind a name; without a usable
// Host header the bound address is used.
#include <QRegularExpression>

#include "server/http/services.h"

namespace vq::http {

namespace {

// Only host[:port] forms; anything else in the header is ignored rather than echoed into
// URLs the terminal will follow.
bool usableHost(const std::string& host) {
    static const QRegularExpression re(
        QStringLiteral("^(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9.-]{1,253})(:[0-9]{1,5})?$"));
    return re.match(QString::fromStdString(host)).hasMatch();
}

std::string hostOnly(const std::string& hostPort) {
    if (!hostPort.empty() && hostPort.front() == '[') {
        return hostPort.substr(0, hostPort.find(']') + 1);
    }
    return hostPort.substr(0, hostPort.find(':'));
}

bool anyAddress(const std::string& host) {
    return host.empty() || host == "0.0.0.0" || host == "::" || host == "[::]";
}

}  // namespace

void registerControl(Router& router, Services& services) {
    router.publish("login", "/login");
    router.publish("mystock", "/mystock");
    router.publish("formula", "/formula");
    router.publish("stock_pool", "/stock_pool");
    router.publish("notice", "/notice");
    router.publish("fast_menu", "/fast_menu");
    router.publish("heartbeat", "/heartbeat");
    router.publish("user_action", "/user_action");
    router.publish("marque", "/marque");
    router.publish("update1", "/update");
    router.publish("stock_news_list", "/news/list?code={{code}}&market={{market}}");
    router.publish("stock_news_view", "/news/view?id={{id}}");
    router.publish("research_list", "/research/list?code={{code}}&market={{market}}");
    router.publish("research_view", "/research/view?id={{id}}");

    router.get("/v3clientcontrol", [&services](const httplib::Request& req,
                                               httplib::Response& res) {
        const Params params(req);
        // Both identify the client; they are checked for sanity but every client gets the
        // same addresses.
        params.text("appName", 64);
        params.text("appVer", 64);
        const HttpOptions& o = services.options;
        std::string hostPort = req.get_header_value("Host");
        if (!usableHost(hostPort)) {
            const std::string host = anyAddress(o.host) ? "127.0.0.1" : o.host;
            hostPort = host + ":" + std::to_string(services.boundPort);
        }
        const QString base = QStringLiteral("http://") + QString::fromStdString(hostPort);
        QJsonObject url;
        for (const auto& [name, path] : services.directory.entries()) {
            url.insert(QString::fromStdString(name), base + QString::fromStdString(path));
        }
        QJsonArray images;
        for (const QString& name : startImageNames(services)) {
            images.append(base + QStringLiteral("/start_image/") + name);
        }
        url.insert(QStringLiteral("start_image"), images);
        const std::string quoteHost = anyAddress(o.quoteHost) ? hostOnly(hostPort) : o.quoteHost;
        url.insert(QStringLiteral("quote"),
                   QJsonArray{QJsonObject{
                       {QStringLiteral("url"), QStringLiteral("tcp://%1:%2")
                                                   .arg(QString::fromStdString(quoteHost))
                                                   .arg(o.quotePort)},
                       {QStringLiteral("name"), QStringLiteral("VeltoQuorin 主站")},
                       {QStringLiteral("type"), QStringLiteral("tcp")}}});
        sendJson(res, QJsonObject{{QStringLiteral("code"), QStringLiteral("0000")},
                                  {QStringLiteral("msg"), QStringLiteral("success")},
                                  {QStringLiteral("url"), url}});
    });
}

void registerMarketPlaceholders(Router& router, Services& services) {
    static const char* const kMarket[][2] = {
        {"board", "/board"},
        {"stock_rating", "/stock_rating"},
        {"stock_rzrq", "/stock_rzrq"},
        {"market_total", "/market_total"},
        {"f9", "/f9?code={{code}}&market={{market}}"},
        {"f10", "/f10?code={{code}}&market={{market}}"},
        {"f11", "/f11?code={{code}}&market={{market}}"},
        {"condition_stock", "/condition_stock"},
    };
    const auto published = services.directory.entries();
    for (const auto& entry : kMarket) {
        const std::string name = entry[0];
        if (published.count(name) == 0) {
            router.publish(name, entry[1]);
        }
        const std::string path = published.count(name) ? published.at(name) : entry[1];
        const std::string pattern = path.substr(0, path.find('?'));
        if (router.claimed(pattern)) {
            continue;
        }
        auto answer = [name](const httplib::Request&, httplib::Response&) {
            unavailable(QStringLiteral("行情数据服务（%1）尚未启动，请稍后重试")
                            .arg(QString::fromStdString(name)));
        };
        router.get(pattern, answer);
        router.post(pattern, answer);
    }
}

}  // namespace vq::http
