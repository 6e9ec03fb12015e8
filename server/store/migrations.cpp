#include "server/store/migrations.h"

#include <QStringList>

#include "server/store/database.h"
#include "server/store/password.h"

namespace vq::store {

namespace {

// Session ids were stored as they were handed out; from now on only their digests are, so
// the live sessions (and the usage rows naming them) are rewritten to digests.
void digestSessionIds(Database& db) {
    for (const char* table : {"sessions", "user_actions"}) {
        Query read(db, QStringLiteral("SELECT DISTINCT sid FROM %1").arg(QLatin1String(table)));
        read.exec();
        QStringList ids;
        while (read.next()) {
            ids << read.text(0);
        }
        for (const QString& sid : ids) {
            Query(db,
                  QStringLiteral("UPDATE %1 SET sid = ? WHERE sid = ?").arg(QLatin1String(table)))
                .bind(sessionDigest(sid))
                .bind(sid)
                .exec();
        }
    }
}

}  // namespace

const std::vector<Migration>& migrations() {
    static const std::vector<Migration> list = {
        {1, "accounts, sessions and per-user documents",
         "CREATE TABLE users (id $ID, name TEXT NOT NULL UNIQUE, uid TEXT NOT NULL UNIQUE,"
         " password_hash TEXT NOT NULL, created_at BIGINT NOT NULL);\n"
         "CREATE TABLE sessions (sid TEXT PRIMARY KEY,"
         " user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
         " pcid TEXT NOT NULL, version TEXT NOT NULL, created_at BIGINT NOT NULL,"
         " last_seen BIGINT NOT NULL);\n"
         "CREATE INDEX sessions_user ON sessions(user_id);\n"
         "CREATE TABLE login_failures (id $ID, name TEXT NOT NULL, failed_at BIGINT NOT NULL);\n"
         "CREATE INDEX login_failures_name ON login_failures(name, failed_at);\n"
         "CREATE TABLE login_locks (name TEXT PRIMARY KEY, locked_until BIGINT NOT NULL);\n"
         "CREATE TABLE mystock_groups (user_id BIGINT NOT NULL REFERENCES users(id)"
         " ON DELETE CASCADE, group_id TEXT NOT NULL, group_name TEXT NOT NULL,"
         " ord BIGINT NOT NULL, PRIMARY KEY (user_id, group_id));\n"
         "CREATE TABLE mystock_codes (user_id BIGINT NOT NULL, group_id TEXT NOT NULL,"
         " code TEXT NOT NULL, market INTEGER NOT NULL, ord BIGINT NOT NULL,"
         " PRIMARY KEY (user_id, group_id, code, market),"
         " FOREIGN KEY (user_id, group_id) REFERENCES mystock_groups(user_id, group_id)"
         " ON DELETE CASCADE);\n"
         "CREATE TABLE formulas (user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
         " ord INTEGER NOT NULL, name TEXT NOT NULL, body TEXT NOT NULL,"
         " PRIMARY KEY (user_id, name));\n"
         "CREATE TABLE user_actions (id $ID, user_id BIGINT NOT NULL REFERENCES users(id)"
         " ON DELETE CASCADE, sid TEXT NOT NULL, do_action TEXT NOT NULL, remark TEXT NOT NULL,"
         " create_time TEXT NOT NULL, received_at BIGINT NOT NULL)"},
        {2, "published documents: pools, notices, articles, quick bar, releases",
         "CREATE TABLE stock_pools (id $ID, group_id TEXT NOT NULL UNIQUE,"
         " group_name TEXT NOT NULL, ord BIGINT NOT NULL);\n"
         "CREATE TABLE stock_pool_codes (pool_id BIGINT NOT NULL REFERENCES stock_pools(id)"
         " ON DELETE CASCADE, code TEXT NOT NULL, market INTEGER NOT NULL, ord INTEGER NOT NULL,"
         " PRIMARY KEY (pool_id, code, market));\n"
         "CREATE TABLE notices (id $ID, type INTEGER NOT NULL, title TEXT NOT NULL,"
         " author TEXT NOT NULL, content TEXT NOT NULL, url TEXT NOT NULL,"
         " pub_date TEXT NOT NULL, updated_at BIGINT NOT NULL);\n"
         "CREATE INDEX notices_type ON notices(type, updated_at);\n"
         "CREATE TABLE articles (id $ID, kind TEXT NOT NULL, code TEXT NOT NULL,"
         " market INTEGER NOT NULL, title TEXT NOT NULL, source TEXT NOT NULL,"
         " pubdate TEXT NOT NULL, content TEXT NOT NULL, created_at BIGINT NOT NULL);\n"
         "CREATE INDEX articles_kind ON articles(kind, code, market, pubdate);\n"
         "CREATE TABLE fast_menu (id $ID, name TEXT NOT NULL, flag TEXT NOT NULL,"
         " style INTEGER NOT NULL, ord INTEGER NOT NULL);\n"
         "CREATE TABLE releases (id $ID, version TEXT NOT NULL, app_ver TEXT NOT NULL,"
         " url TEXT NOT NULL, notes TEXT NOT NULL, pub_date TEXT NOT NULL)"},
        {3, "default quick bar",
         "INSERT INTO fast_menu (name, flag, style, ord) VALUES"
         " ('自选股', 'app://qml/qml/MyStockView.qml', 0, 1),"
         " ('沪深A股', 'app://qml/qml/QRankingView.qml?tab=1100#block=1101&field=34&sort=0', 1, 2),"
         " ('综合排名', 'app://qml/qml/QMarketTopMonitor.qml?tab=1100#block=1101', 2, 3),"
         " ('板块监控', 'app://qml/qml/QMarketBlockMonitor.qml', 3, 4),"
         " ('短线精灵', 'app://qml/qml/QMarketHotMonitor.qml', 0, 5),"
         " ('股票池', 'app://qml/qml/StockPoolView.qml', 1, 6),"
         " ('上证指数', 'app://findview/qml/MQView.qml?code=1A0001&market=1"
         "#chart=kline&cycle=33&name=上证指数', 2, 7)"},
        {4, "session ids stored as digests", "", digestSessionIds},
    };
    return list;
}

void migrate(Database& db) {
    Query::execute(db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_migrations ("
                                      "version INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                                      " applied_at BIGINT NOT NULL)"));
    const int current = db.schemaVersion();
    // A database written by a newer server may hold tables or meanings this one does not
    // know; running on it could corrupt data, so it is refused.
    if (current > migrations().back().version) {
        throw StoreError(
            QStringLiteral("the database schema (version %1) is newer than this server "
                           "knows (version %2)")
                .arg(current)
                .arg(migrations().back().version)
                .toStdString());
    }
    const QString id = db.isPostgres() ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                       : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const Migration& m : migrations()) {
        if (m.version <= current) {
            continue;
        }
        // Each migration is all or nothing: both SQLite and PostgreSQL run DDL in
        // transactions, so a failed step leaves the previous version intact.
        Transaction tx(db);
        const QStringList statements =
            QString::fromUtf8(m.sql).replace(QLatin1String("$ID"), id).split(QStringLiteral(";\n"));
        for (const QString& statement : statements) {
            if (!statement.trimmed().isEmpty()) {
                Query::execute(db, statement);
            }
        }
        if (m.step) {
            m.step(db);
        }
        Query(db, QStringLiteral("INSERT INTO schema_migrations (version, name, applied_at)"
                                 " VALUES (?, ?, ?)"))
            .bind(m.version)
            .bind(QString::fromUtf8(m.name))
            .bind(nowSeconds())
            .exec();
        tx.commit();
    }
}

}  // namespace vq::store
