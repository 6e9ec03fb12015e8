#include "server/store/publications.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTimeZone>
#include <map>

#include "server/store/database.h"

namespace vq::store {

namespace {

// Notice times travel as Beijing wall-clock text, the time the market and its operators use.
QString beijingTime(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs, Qt::OffsetFromUTC, 8 * 3600)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

void Publications::setPool(const QString& groupId, const QString& name,
                           const std::vector<PoolCode>& codes) {
    Transaction tx(db_);
    Query find(db_, QStringLiteral("SELECT id FROM stock_pools WHERE group_id = ?"));
    find.bind(groupId).exec();
    qint64 id = 0;
    if (find.next()) {
        id = find.integer(0);
        Query(db_, QStringLiteral("UPDATE stock_pools SET group_name = ? WHERE id = ?"))
            .bind(name)
            .bind(id)
            .exec();
        Query(db_, QStringLiteral("DELETE FROM stock_pool_codes WHERE pool_id = ?"))
            .bind(id)
            .exec();
    } else {
        Query insert(db_, QStringLiteral("INSERT INTO stock_pools (group_id, group_name, ord)"
                                         " VALUES (?, ?, (SELECT COALESCE(MAX(ord), 0) + 1"
                                         " FROM stock_pools)) RETURNING id"));
        insert.bind(groupId).bind(name).exec();
        id = insert.returningId();
    }
    int ord = 0;
    for (const PoolCode& c : codes) {
        Query(db_, QStringLiteral("INSERT INTO stock_pool_codes (pool_id, code, market, ord)"
                                  " VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"))
            .bind(id)
            .bind(c.code)
            .bind(c.market)
            .bind(++ord)
            .exec();
    }
    tx.commit();
}

bool Publications::removePool(const QString& groupId) {
    Transaction tx(db_);
    Query q(db_, QStringLiteral("DELETE FROM stock_pools WHERE group_id = ?"));
    q.bind(groupId).exec();
    tx.commit();
    return q.rowsAffected() > 0;
}

QJsonArray Publications::pools() {
    Query gq(db_, QStringLiteral("SELECT id, group_id, group_name FROM stock_pools ORDER BY ord"));
    gq.exec();
    QJsonArray out;
    std::vector<qint64> ids;
    while (gq.next()) {
        ids.push_back(gq.integer(0));
        out.append(QJsonObject{{QStringLiteral("group_id"), gq.text(1)},
                               {QStringLiteral("group_name"), gq.text(2)},
                               {QStringLiteral("stocks"), QJsonArray()}});
    }
    Query cq(db_, QStringLiteral("SELECT pool_id, code, market FROM stock_pool_codes"
                                 " ORDER BY pool_id, ord"));
    cq.exec();
    std::map<qint64, QJsonArray> stocks;
    while (cq.next()) {
        stocks[cq.integer(0)].append(QJsonObject{{QStringLiteral("tradingcode"), cq.text(1)},
                                                 {QStringLiteral("exchangecode"), cq.integer(2)}});
    }
    for (int i = 0; i < out.size(); ++i) {
        QJsonObject group = out[i].toObject();
        group[QStringLiteral("stocks")] = stocks[ids[static_cast<std::size_t>(i)]];
        out[i] = group;
    }
    return out;
}

qint64 Publications::addNotice(int type, const QString& title, const QString& author,
                               const QString& content, const QString& url, const QString& pubDate,
                               qint64 updatedAt) {
    Transaction tx(db_);
    Query q(db_, QStringLiteral("INSERT INTO notices (type, title, author, content, url, pub_date,"
                                " updated_at) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    q.bind(type).bind(title).bind(author).bind(content).bind(url).bind(pubDate).bind(updatedAt);
    q.exec();
    const qint64 id = q.returningId();
    tx.commit();
    return id;
}

QJsonArray Publications::notices(int type, qint64 updatedAfter, const QString& pubFrom, int limit) {
    // The newest `limit` matches, handed out oldest first so that the last one is the latest.
    Query q(db_, QStringLiteral("SELECT id, title, author, content, url, pub_date, updated_at"
                                " FROM notices WHERE type = ? AND updated_at > ?"
                                " AND pub_date >= ? ORDER BY updated_at DESC, id DESC LIMIT ?"));
    q.bind(type).bind(updatedAfter).bind(pubFrom).bind(limit).exec();
    QJsonArray newestFirst;
    while (q.next()) {
        newestFirst.append(QJsonObject{
            {QStringLiteral("id"), q.integer(0)},
            {QStringLiteral("type"), type},
            {QStringLiteral("title"), q.text(1)},
            {QStringLiteral("author"), q.text(2)},
            {QStringLiteral("content"), q.text(3)},
            {QStringLiteral("url"), q.text(4)},
            {QStringLiteral("pub_date"), q.text(5)},
            {QStringLiteral("updated_time"), beijingTime(q.integer(6))},
        });
    }
    QJsonArray out;
    for (int i = newestFirst.size() - 1; i >= 0; --i) {
        out.append(newestFirst[i]);
    }
    return out;
}

qint64 Publications::insertArticle(const Article& a) {
    Query q(db_,
            QStringLiteral("INSERT INTO articles (kind, code, market, title, source, pubdate,"
                           " content, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    q.bind(a.kind).bind(a.code).bind(a.market).bind(a.title).bind(a.source).bind(a.pubdate);
    q.bind(a.content).bind(nowSeconds()).exec();
    return q.returningId();
}

qint64 Publications::addArticle(const Article& a) {
    Transaction tx(db_);
    const qint64 id = insertArticle(a);
    tx.commit();
    return id;
}

void Publications::addArticles(const std::vector<Article>& articles) {
    Transaction tx(db_);
    for (const Article& a : articles) {
        insertArticle(a);
    }
    tx.commit();
}

bool Publications::hasArticles() {
    Query q(db_, QStringLiteral("SELECT 1 FROM articles LIMIT 1"));
    q.exec();
    return q.next();
}

bool Publications::hasArticleFrom(const QString& kind, const QString& source) {
    Query q(db_, QStringLiteral("SELECT 1 FROM articles WHERE kind = ? AND source = ? LIMIT 1"));
    q.bind(kind).bind(source).exec();
    return q.next();
}

QStringList Publications::articleTitles(const QString& kind, const QString& code, int market,
                                        const QString& pubdate) {
    Query q(db_, QStringLiteral("SELECT title FROM articles WHERE kind = ? AND code = ?"
                                " AND market = ? AND pubdate = ? ORDER BY id"));
    q.bind(kind).bind(code).bind(market).bind(pubdate).exec();
    QStringList out;
    while (q.next()) {
        out.append(q.text(0));
    }
    return out;
}

QJsonArray Publications::articles(const QString& kind, const QString& code, int market, int offset,
                                  int limit) {
    const bool all = code.isEmpty();
    Query q(db_, all ? QStringLiteral("SELECT id, code, market, title, source, pubdate FROM"
                                      " articles WHERE kind = ? ORDER BY pubdate DESC, id DESC"
                                      " LIMIT ? OFFSET ?")
                     : QStringLiteral("SELECT id, code, market, title, source, pubdate FROM"
                                      " articles WHERE kind = ? AND ((code = ? AND market = ?)"
                                      " OR code = '') ORDER BY pubdate DESC, id DESC"
                                      " LIMIT ? OFFSET ?"));
    q.bind(kind);
    if (!all) {
        q.bind(code).bind(market);
    }
    q.bind(limit).bind(offset).exec();
    QJsonArray out;
    while (q.next()) {
        out.append(QJsonObject{
            {QStringLiteral("id"), q.integer(0)},
            {QStringLiteral("code"), q.text(1)},
            {QStringLiteral("market"), q.integer(2)},
            {QStringLiteral("title"), q.text(3)},
            {QStringLiteral("source"), q.text(4)},
            {QStringLiteral("pubdate"), q.text(5)},
        });
    }
    return out;
}

std::optional<Article> Publications::article(const QString& kind, qint64 id) {
    Query q(db_, QStringLiteral("SELECT id, kind, code, market, title, source, pubdate, content"
                                " FROM articles WHERE kind = ? AND id = ?"));
    q.bind(kind).bind(id).exec();
    if (!q.next()) {
        return std::nullopt;
    }
    Article a;
    a.id = q.integer(0);
    a.kind = q.text(1);
    a.code = q.text(2);
    a.market = static_cast<int>(q.integer(3));
    a.title = q.text(4);
    a.source = q.text(5);
    a.pubdate = q.text(6);
    a.content = q.text(7);
    return a;
}

QJsonArray Publications::fastMenu() {
    Query q(db_, QStringLiteral("SELECT name, flag, style FROM fast_menu ORDER BY ord, id"));
    q.exec();
    QJsonArray out;
    while (q.next()) {
        out.append(QJsonObject{{QStringLiteral("name"), q.text(0)},
                               {QStringLiteral("flag"), q.text(1)},
                               {QStringLiteral("style"), q.integer(2)}});
    }
    return out;
}

void Publications::setFastMenu(const QJsonArray& items) {
    Transaction tx(db_);
    Query(db_, QStringLiteral("DELETE FROM fast_menu")).exec();
    int ord = 0;
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        Query(db_,
              QStringLiteral("INSERT INTO fast_menu (name, flag, style, ord) VALUES (?, ?, ?, ?)"))
            .bind(o.value(QStringLiteral("name")).toString())
            .bind(o.value(QStringLiteral("flag")).toString())
            .bind(o.value(QStringLiteral("style")).toInt())
            .bind(++ord)
            .exec();
    }
    tx.commit();
}

qint64 Publications::addRelease(const QString& version, const QString& appVer, const QString& url,
                                const QString& notes, const QString& pubDate) {
    Transaction tx(db_);
    Query q(db_, QStringLiteral("INSERT INTO releases (version, app_ver, url, notes, pub_date)"
                                " VALUES (?, ?, ?, ?, ?) RETURNING id"));
    q.bind(version).bind(appVer).bind(url).bind(notes).bind(pubDate).exec();
    const qint64 id = q.returningId();
    tx.commit();
    return id;
}

QJsonObject Publications::latestRelease() {
    Query q(db_, QStringLiteral("SELECT version, app_ver, url, notes, pub_date FROM releases"
                                " ORDER BY id DESC LIMIT 1"));
    q.exec();
    if (!q.next()) {
        return {};
    }
    return QJsonObject{{QStringLiteral("version"), q.text(0)},
                       {QStringLiteral("appVer"), q.text(1)},
                       {QStringLiteral("url"), q.text(2)},
                       {QStringLiteral("notes"), q.text(3)},
                       {QStringLiteral("pub_date"), q.text(4)}};
}

QJsonArray UserDocuments::formulas(qint64 userId) {
    Query q(db_, QStringLiteral("SELECT body FROM formulas WHERE user_id = ? ORDER BY ord"));
    q.bind(userId).exec();
    QJsonArray out;
    while (q.next()) {
        out.append(QJsonDocument::fromJson(q.text(0).toUtf8()).object());
    }
    return out;
}

void UserDocuments::setFormulas(qint64 userId, const QJsonArray& models) {
    Transaction tx(db_);
    Query(db_, QStringLiteral("DELETE FROM formulas WHERE user_id = ?")).bind(userId).exec();
    int ord = 0;
    for (const QJsonValue& v : models) {
        const QJsonObject o = v.toObject();
        // Same name twice: the later model wins, as if the list had been applied in order.
        Query(db_,
              QStringLiteral("INSERT INTO formulas (user_id, ord, name, body) VALUES (?, ?, ?, ?)"
                             " ON CONFLICT (user_id, name) DO UPDATE SET body = excluded.body"))
            .bind(userId)
            .bind(++ord)
            .bind(o.value(QStringLiteral("name")).toString())
            .bind(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)))
            .exec();
    }
    tx.commit();
}

void UserDocuments::addActions(qint64 userId, const QString& sid,
                               const std::vector<Action>& actions) {
    Transaction tx(db_);
    const qint64 now = nowSeconds();
    for (const Action& a : actions) {
        Query(db_, QStringLiteral("INSERT INTO user_actions (user_id, sid, do_action, remark,"
                                  " create_time, received_at) VALUES (?, ?, ?, ?, ?, ?)"))
            .bind(userId)
            .bind(sid)
            .bind(a.doAction)
            .bind(a.remark)
            .bind(a.createTime)
            .bind(now)
            .exec();
    }
    tx.commit();
}

int UserDocuments::actionCount(qint64 userId) {
    Query q(db_, QStringLiteral("SELECT COUNT(*) FROM user_actions WHERE user_id = ?"));
    q.bind(userId).exec();
    return q.next() ? static_cast<int>(q.integer(0)) : 0;
}

}  // namespace vq::store
