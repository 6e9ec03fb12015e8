#include "server/market_http/routes.h"

#include "server/market_http/documents.h"

#include <QJsonDocument>

#include <mutex>

namespace vq::market_http {

namespace {

// Documents that only change with the trading day (the universe is fixed) are built once
// per day and shared; a login burst then costs one build, not one per terminal.
class DayCache {
public:
    template <class Build>
    std::string get(int day, Build build) {
        std::lock_guard<std::mutex> lock(mu_);
        if (day != day_ || text_.empty()) {
            text_ = QJsonDocument(build()).toJson(QJsonDocument::Compact).toStdString();
            day_ = day;
        }
        return text_;
    }

private:
    std::mutex mu_;
    int day_ = 0;
    std::string text_;
};

// The security named by "code" and "market"; 400 for a malformed value, 404 for one the
// market does not have.
int securityOf(const market::Market& m, const httplib::Request& req) {
    http::Params p(req);
    const QString code = p.required("code", 16);
    const int mk = p.requiredInteger("market", 0, 255);
    const int i = m.find(code.toStdString(), mk);
    if (i < 0)
        http::notFound(QStringLiteral("no security %1 in market %2").arg(code).arg(mk));
    return i;
}

void sendText(httplib::Response& res, const std::string& body, const char* type) {
    res.status = 200;
    res.set_content(body, type);
}

}  // namespace

http::RouteRegistrar routes(std::shared_ptr<const market::Market> market) {
    return [market](http::Router& router) {
        auto board = std::make_shared<DayCache>();
        auto rating = std::make_shared<DayCache>();
        auto margin = std::make_shared<DayCache>();
        const market::Market* m = market.get();
        constexpr const char* kJson = "application/json; charset=utf-8";
        constexpr const char* kHtml = "text/html; charset=utf-8";

        router.get("/board", [market, board, m](const httplib::Request&, httplib::Response& res) {
            sendText(res, board->get(m->snapshot()->tradingDay, [m] { return boardDocument(*m); }),
                     kJson);
        });
        router.get(
            "/stock_rating", [market, rating, m](const httplib::Request&, httplib::Response& res) {
                sendText(res,
                         rating->get(m->snapshot()->tradingDay, [m] { return ratingDocument(*m); }),
                         kJson);
            });
        router.get(
            "/stock_rzrq", [market, margin, m](const httplib::Request&, httplib::Response& res) {
                sendText(res,
                         margin->get(m->snapshot()->tradingDay, [m] { return marginDocument(*m); }),
                         kJson);
            });
        // Counted from the latest snapshot on every request: the views poll it every few
        // seconds and expect the live state.
        router.get("/market_total", [market, m](const httplib::Request&, httplib::Response& res) {
            http::sendJson(res, breadthDocument(*m));
        });
        router.get("/f9", [market, m](const httplib::Request& req, httplib::Response& res) {
            sendText(res, f9Page(*m, securityOf(*m, req)).toStdString(), kHtml);
        });
        router.get("/f10", [market, m](const httplib::Request& req, httplib::Response& res) {
            sendText(res, f10Page(*m, securityOf(*m, req)).toStdString(), kHtml);
        });
        router.get("/f11", [market, m](const httplib::Request& req, httplib::Response& res) {
            sendText(res, f11Page(*m, securityOf(*m, req)).toStdString(), kHtml);
        });

        router.publish("board", "/board");
        router.publish("stock_rating", "/stock_rating");
        router.publish("stock_rzrq", "/stock_rzrq");
        router.publish("market_total", "/market_total");
        router.publish("f9", "/f9?code={{code}}&market={{market}}");
        router.publish("f10", "/f10?code={{code}}&market={{market}}");
        router.publish("f11", "/f11?code={{code}}&market={{market}}");
    };
}

}  // namespace vq::market_http
