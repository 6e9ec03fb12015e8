// Server-side watchlists: at most ten named groups per user, each an ordered list of
// securities (newest first). Changes arrive as batches of commands that are applied in one
// transaction: a batch either applies whole or not at all.
#pragma once

#include <QJsonArray>
#include <QString>
#include <vector>

namespace vq::store {

class Database;

struct WatchCommand {
    enum class Kind { Rename, Add, Delete };
    Kind kind = Kind::Rename;
    QString groupId;
    QString groupName;  // Rename: the new name; Add: the name for a group created by it
    QString code;
    int market = 0;
};

class Watchlists {
public:
    static constexpr int kMaxGroups = 10;
    static constexpr int kMaxCodesPerGroup = 2000;

    explicit Watchlists(Database& db) : db_(db) {}

    // [{"group_id", "group_name", "codes": [{"code", "market_id"}]}], groups in creation
    // order, group ids and markets as decimal text.
    QJsonArray groups(qint64 userId);
    // Empty on success; otherwise why the batch was refused (nothing changed).
    QString apply(qint64 userId, const std::vector<WatchCommand>& commands);

private:
    Database& db_;
};

}  // namespace vq::store
