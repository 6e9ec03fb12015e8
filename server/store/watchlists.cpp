#include "server/store/watchlists.h"

#include <QJsonObject>
#include <map>

#include "server/store/database.h"

namespace vq::store {

QJsonArray Watchlists::groups(qint64 userId) {
    // Two statements instead of one per group: a user's whole watchlist in two round trips.
    Query gq(db_, QStringLiteral("SELECT group_id, group_name FROM mystock_groups"
                                 " WHERE user_id = ? ORDER BY ord"));
    gq.bind(userId).exec();
    std::vector<std::pair<QString, QString>> order;
    while (gq.next()) {
        order.emplace_back(gq.text(0), gq.text(1));
    }
    std::map<QString, QJsonArray> codes;
    Query cq(db_, QStringLiteral("SELECT group_id, code, market FROM mystock_codes"
                                 " WHERE user_id = ? ORDER BY ord DESC"));
    cq.bind(userId).exec();
    while (cq.next()) {
        codes[cq.text(0)].append(QJsonObject{{QStringLiteral("code"), cq.text(1)},
                                             {QStringLiteral("market_id"), cq.text(2)}});
    }
    QJsonArray out;
    for (const auto& [id, name] : order) {
        out.append(QJsonObject{{QStringLiteral("group_id"), id},
                               {QStringLiteral("group_name"), name},
                               {QStringLiteral("codes"), codes[id]}});
    }
    return out;
}

QString Watchlists::apply(qint64 userId, const std::vector<WatchCommand>& commands) {
    Transaction tx(db_);
    auto groupExists = [&](const QString& groupId) {
        Query q(db_,
                QStringLiteral("SELECT 1 FROM mystock_groups WHERE user_id = ? AND group_id = ?"));
        q.bind(userId).bind(groupId).exec();
        return q.next();
    };
    auto nextOrder = [&](const QString& table, const QString& groupId) {
        const QString sql = table == QLatin1String("mystock_groups")
                                ? QStringLiteral(
                                      "SELECT COALESCE(MAX(ord), 0) + 1 FROM"
                                      " mystock_groups WHERE user_id = ?")
                                : QStringLiteral(
                                      "SELECT COALESCE(MAX(ord), 0) + 1 FROM"
                                      " mystock_codes WHERE user_id = ? AND group_id = ?");
        Query q(db_, sql);
        q.bind(userId);
        if (!groupId.isNull()) {
            q.bind(groupId);
        }
        q.exec();
        return q.next() ? q.integer(0) : 1;
    };
    auto createGroup = [&](const QString& groupId, const QString& name) -> QString {
        Query count(db_, QStringLiteral("SELECT COUNT(*) FROM mystock_groups WHERE user_id = ?"));
        count.bind(userId).exec();
        if (count.next() && count.integer(0) >= kMaxGroups) {
            return QStringLiteral("自选股分组最多%1个，无法创建分组%2")
                .arg(kMaxGroups)
                .arg(groupId);
        }
        Query(db_, QStringLiteral("INSERT INTO mystock_groups (user_id, group_id, group_name, ord)"
                                  " VALUES (?, ?, ?, ?)"))
            .bind(userId)
            .bind(groupId)
            .bind(name)
            .bind(nextOrder(QStringLiteral("mystock_groups"), QString()))
            .exec();
        return {};
    };

    for (const WatchCommand& c : commands) {
        switch (c.kind) {
            case WatchCommand::Kind::Rename:
                if (groupExists(c.groupId)) {
                    Query(db_, QStringLiteral("UPDATE mystock_groups SET group_name = ?"
                                              " WHERE user_id = ? AND group_id = ?"))
                        .bind(c.groupName)
                        .bind(userId)
                        .bind(c.groupId)
                        .exec();
                } else if (QString why = createGroup(c.groupId, c.groupName); !why.isEmpty()) {
                    return why;
                }
                break;
            case WatchCommand::Kind::Add: {
                if (!groupExists(c.groupId)) {
                    const QString name = c.groupName.isEmpty()
                                             ? QStringLiteral("自选股%1").arg(c.groupId)
                                             : c.groupName;
                    if (QString why = createGroup(c.groupId, name); !why.isEmpty()) {
                        return why;
                    }
                }
                // Adding a held security again moves it to the front, like a fresh add.
                Query(db_, QStringLiteral("DELETE FROM mystock_codes WHERE user_id = ? AND"
                                          " group_id = ? AND code = ? AND market = ?"))
                    .bind(userId)
                    .bind(c.groupId)
                    .bind(c.code)
                    .bind(c.market)
                    .exec();
                Query count(db_, QStringLiteral("SELECT COUNT(*) FROM mystock_codes"
                                                " WHERE user_id = ? AND group_id = ?"));
                count.bind(userId).bind(c.groupId).exec();
                if (count.next() && count.integer(0) >= kMaxCodesPerGroup) {
                    return QStringLiteral("自选股分组%1已满（最多%2只）")
                        .arg(c.groupId)
                        .arg(kMaxCodesPerGroup);
                }
                Query(db_, QStringLiteral("INSERT INTO mystock_codes (user_id, group_id, code,"
                                          " market, ord) VALUES (?, ?, ?, ?, ?)"))
                    .bind(userId)
                    .bind(c.groupId)
                    .bind(c.code)
                    .bind(c.market)
                    .bind(nextOrder(QStringLiteral("mystock_codes"), c.groupId))
                    .exec();
                break;
            }
            case WatchCommand::Kind::Delete:
                // Removing what is not held is not an error: the terminal may resend a
                // command whose first delivery did arrive.
                Query(db_, QStringLiteral("DELETE FROM mystock_codes WHERE user_id = ? AND"
                                          " group_id = ? AND code = ? AND market = ?"))
                    .bind(userId)
                    .bind(c.groupId)
                    .bind(c.code)
                    .bind(c.market)
                    .exec();
                break;
        }
    }
    tx.commit();
    return {};
}

}  // namespace vq::store
