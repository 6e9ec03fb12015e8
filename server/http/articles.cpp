// News and research: lists for one security (or the whole market) and the item pages the
// terminal opens in its browser window.
//
// The terminal fills the "{{code}}"/"{{market}}" placeholders of the list addresses from the
// security it shows, and removes or leaves them when it has none (the home page): an empty
// or unreplaced code lists every item, market-wide and of each security.
#include "server/http/services.h"
#include "server/store/publications.h"

namespace vq::http {

namespace {

QString escapeHtml(const QString& text) {
    return text.toHtmlEscaped();
}

QString page(const store::Article& a) {
    QString body;
    for (const QString& paragraph : a.content.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        body += QStringLiteral("<p>") + escapeHtml(paragraph) + QStringLiteral("</p>\n");
    }
    // An item about one security links to its quote view in the terminal.
    const QString subject =
        a.code.isEmpty()
            ? QString()
            : QStringLiteral(" · <a class=\"quote\" href=\"goto::quote::%1,%1,%2\">%1 行情</a>")
                  .arg(escapeHtml(a.code), QString::number(a.market));
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
               "<title>%1</title><style>body{background:#1b1e23;color:#dcdcdc;"
               "font-family:'Microsoft YaHei',sans-serif;margin:24px 40px;line-height:1.7}"
               "h1{font-size:22px;color:#fff}.meta{color:#92979d;font-size:13px}"
               ".quote{color:#1a98fc;text-decoration:none}</style>"
               "</head><body><h1>%1</h1><div class=\"meta\">%2 · %3%4</div>\n%5</body></html>\n")
        .arg(escapeHtml(a.title), escapeHtml(a.source), escapeHtml(a.pubdate), subject, body);
}

void registerKind(Router& router, Services& services, const std::string& prefix,
                  const QString& kind, const QString& missing) {
    router.get(
        prefix + "/list", [&services, kind](const httplib::Request& req, httplib::Response& res) {
            const Params params(req);
            const QString code = params.text("code", 16).value_or(QString()).trimmed();
            const int market = code.isEmpty() ? 0 : params.integer("market", 0, 0, 255);
            const int page = params.integer("page", 1, 1, 10000);
            const int size = params.integer("size", 30, 1, 100);
            sendJson(res, success({{QStringLiteral("data"),
                                    store::Publications(services.db)
                                        .articles(kind, code, market, (page - 1) * size, size)}}));
        });
    router.get(prefix + "/view", [&services, kind, missing](const httplib::Request& req,
                                                            httplib::Response& res) {
        const Params params(req);
        const int id = params.requiredInteger("id", 1, 2147483647);
        const std::optional<store::Article> a = store::Publications(services.db).article(kind, id);
        if (!a) {
            res.status = 404;
            res.set_content(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                           "</head><body>%1</body></html>")
                                .arg(missing)
                                .toStdString(),
                            "text/html; charset=utf-8");
            return;
        }
        res.set_content(page(*a).toStdString(), "text/html; charset=utf-8");
    });
}

}  // namespace

void registerArticles(Router& router, Services& services) {
    registerKind(router, services, "/news", QStringLiteral("news"), QStringLiteral("该资讯不存在"));
    registerKind(router, services, "/research", QStringLiteral("research"),
                 QStringLiteral("该研究报告不存在"));
}

}  // namespace vq::http
