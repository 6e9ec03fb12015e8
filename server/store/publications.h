// What operators publish for every terminal: stock pools, notices, news and research items,
// the quick bar and update releases. Answers come out in the JSON shapes the terminal reads.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace vq::store {

class Database;

struct PoolCode {
    QString code;
    int market = 0;
};

struct Article {
    qint64 id = 0;
    QString kind;  // "news" or "research"
    QString code;  // empty: about the whole market
    int market = 0;
    QString title, source, pubdate, content;
};

class Publications {
public:
    explicit Publications(Database& db) : db_(db) {}

    // Stock pools: a pool is replaced whole; publishing one without codes keeps the group
    // (the terminal leaves empty groups out itself).
    void setPool(const QString& groupId, const QString& name, const std::vector<PoolCode>& codes);
    bool removePool(const QString& groupId);
    // [{"group_id", "group_name", "stocks": [{"tradingcode", "exchangecode"}]}]
    QJsonArray pools();

    // Notices: type 2 (shown once at login) and 3 (pop-up list). Returns the new id.
    qint64 addNotice(int type, const QString& title, const QString& author, const QString& content,
                     const QString& url, const QString& pubDate, qint64 updatedAt);
    // Notices of `type` changed after `updatedAfter` (seconds; -1: any) and, when `pubFrom`
    // is not empty, published on or after that day; oldest change first, at most `limit`.
    QJsonArray notices(int type, qint64 updatedAfter, const QString& pubFrom, int limit);

    qint64 addArticle(const Article& article);
    // Several items in one transaction: all of them or none.
    void addArticles(const std::vector<Article>& articles);
    // True when any news or research item is published.
    bool hasArticles();
    // True when an item of `kind` from `source` is published.
    bool hasArticleFrom(const QString& kind, const QString& source);
    // Titles of the items of `kind` about `code` (empty: the whole market) on one day.
    QStringList articleTitles(const QString& kind, const QString& code, int market,
                              const QString& pubdate);
    // Newest first. An empty code lists the items of every security.
    QJsonArray articles(const QString& kind, const QString& code, int market, int offset,
                        int limit);
    std::optional<Article> article(const QString& kind, qint64 id);

    // Quick-bar items {"name", "flag", "style"} in order.
    QJsonArray fastMenu();
    void setFastMenu(const QJsonArray& items);

    qint64 addRelease(const QString& version, const QString& appVer, const QString& url,
                      const QString& notes, const QString& pubDate);
    // The newest release as {"version", "appVer", "url", "notes", "pub_date"}; empty when
    // none was published.
    QJsonObject latestRelease();

private:
    qint64 insertArticle(const Article& article);
    Database& db_;
};

// Documents kept per user: formula models and the terminal's usage rows.
class UserDocuments {
public:
    explicit UserDocuments(Database& db) : db_(db) {}

    // The user's formula models in order, each the stored object.
    QJsonArray formulas(qint64 userId);
    // Replaces the user's models; every element must be an object with a text "name".
    void setFormulas(qint64 userId, const QJsonArray& models);

    struct Action {
        QString doAction, remark, createTime;
    };
    void addActions(qint64 userId, const QString& sid, const std::vector<Action>& actions);
    int actionCount(qint64 userId);

private:
    Database& db_;
};

}  // namespace vq::store
