#include "bridge/hroute.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

HRoute::HRoute(QObject* parent) : QObject(parent) {}

QJsonObject HRoute::getRoute(const QString& url) const {
    const QUrl parsed(url, QUrl::TolerantMode);
    const QString query = parsed.query(QUrl::PrettyDecoded);
    const QString fragment = parsed.fragment(QUrl::PrettyDecoded);
    const QString path = parsed.path(QUrl::FullyDecoded);

    QStringList all;
    if (!query.isEmpty()) {
        all << query;
    }
    if (!fragment.isEmpty()) {
        all << fragment;
    }
    const QString queryAll = all.join(QLatin1Char('&'));

    // A later duplicate key overrides an earlier one, so the fragment's parameters win.
    QJsonObject queryMap;
    const auto items = QUrlQuery(queryAll).queryItems(QUrl::FullyDecoded);
    for (const auto& item : items) {
        queryMap.insert(item.first, item.second);
    }

    QJsonObject route;
    route.insert("url", parsed.toString(QUrl::PrettyDecoded));
    route.insert("scheme", parsed.scheme());
    route.insert("host", parsed.host(QUrl::FullyDecoded));
    route.insert("port", parsed.port());
    route.insert("path", path);
    route.insert("query", query);
    route.insert("fragment", fragment);
    route.insert("url_query", parsed.toString(QUrl::PrettyDecoded | QUrl::RemoveQuery));
    route.insert("path_query", query.isEmpty() ? path : path + QLatin1Char('?') + query);
    route.insert("query_all", queryAll);
    route.insert("query_map", queryMap);
    return route;
}
