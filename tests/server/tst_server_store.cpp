// Storage against SQLite and, when a temporary cluster can be started, PostgreSQL: the same
// cases run on both, because the same statements must work on both.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <thread>

#include "pg_cluster.h"
#include "server/store/accounts.h"
#include "server/store/database.h"
#include "server/store/migrations.h"
#include "server/store/password.h"
#include "server/store/publications.h"
#include "server/store/watchlists.h"

using namespace vq::store;

Q_DECLARE_METATYPE(std::vector<WatchCommand>)

namespace {

WatchCommand cmdRename(const QString& id, const QString& name) {
    WatchCommand c;
    c.kind = WatchCommand::Kind::Rename;
    c.groupId = id;
    c.groupName = name;
    return c;
}

WatchCommand cmdAdd(const QString& id, const QString& code, int market) {
    WatchCommand c;
    c.kind = WatchCommand::Kind::Add;
    c.groupId = id;
    c.code = code;
    c.market = market;
    return c;
}

WatchCommand cmdDelete(const QString& id, const QString& code, int market) {
    WatchCommand c = cmdAdd(id, code, market);
    c.kind = WatchCommand::Kind::Delete;
    return c;
}

// "1:自选股1=600000/1,000001/2;2:…" — groups in order, codes newest first.
QString summary(const QJsonArray& groups) {
    QStringList parts;
    for (const QJsonValue& g : groups) {
        QStringList codes;
        for (const QJsonValue& c : g[QStringLiteral("codes")].toArray()) {
            codes << c[QStringLiteral("code")].toString() + "/" +
                         c[QStringLiteral("market_id")].toString();
        }
        parts << g[QStringLiteral("group_id")].toString() + ":" +
                     g[QStringLiteral("group_name")].toString() + "=" + codes.join(",");
    }
    return parts.join(";");
}

}  // namespace

class StoreTest : public QObject {
    Q_OBJECT
public:
    explicit StoreTest(bool postgres) : postgres_(postgres) {}

private slots:
    void initTestCase() {
        QVERIFY(cryptoReady());
        if (postgres_) {
            QString why;
            if (!cluster_.start(&why)) {
                QSKIP(qPrintable("PostgreSQL storage tests skipped: " + why));
            }
        }
    }
    void cleanupTestCase() { cluster_.stop(); }

    void init() {
        DbConfig config;
        QString error;
        if (postgres_) {
            QVERIFY(parseDbUrl(cluster_.url(), QString(), config, &error));
            Database reset(config);
            QSqlQuery q(reset.connection());
            QVERIFY(q.exec("DROP SCHEMA public CASCADE"));
            QVERIFY(q.exec("CREATE SCHEMA public"));
        } else {
            dir_.reset(new QTemporaryDir);
            QVERIFY(parseDbUrl(QString(), dir_->path(), config, &error));
        }
        db_.reset(new Database(config));
        QVERIFY2(db_->open(&error), qPrintable(error));
    }
    void cleanup() { db_.reset(); }

    void migrationsAreAppliedOnce() {
        const int latest = migrations().back().version;
        QCOMPARE(db_->schemaVersion(), latest);
        // A second start finds nothing to do and does not repeat data migrations.
        QVERIFY(db_->open());
        QCOMPARE(db_->schemaVersion(), latest);
        Publications pub(*db_);
        const QJsonArray menu = pub.fastMenu();
        QVERIFY(!menu.isEmpty());
        Database again(db_->config());
        QVERIFY(again.open());
        QCOMPARE(Publications(again).fastMenu().size(), menu.size());
    }

    // A restarted database server costs one failed statement per connection, not a
    // connection that fails for ever.
    void reconnectsAfterRestart() {
        if (!postgres_) {
            QSKIP("only a database server can restart under us");
        }
        Accounts accounts(*db_);
        QCOMPARE(accounts.addUser("ivan", "pw"), Accounts::AddResult::Added);
        QVERIFY(cluster_.restart());
        int failures = 0;
        std::optional<User> found;
        for (int i = 0; i < 3 && !found; ++i) {
            try {
                found = accounts.byName("ivan");
            } catch (const StoreError&) {
                ++failures;
            }
        }
        QVERIFY(found.has_value());
        QVERIFY(failures <= 1);
    }

    void newerSchemaRefused() {
        Query(*db_, "INSERT INTO schema_migrations (version, name, applied_at) VALUES (?, ?, ?)")
            .bind(migrations().back().version + 1)
            .bind("from a later release")
            .bind(0)
            .exec();
        Database again(db_->config());
        QString error;
        QVERIFY(!again.open(&error));
        QVERIFY2(error.contains("newer"), qPrintable(error));
    }

    // Sessions opened before ids were stored as digests keep working after the upgrade, and
    // neither they nor the usage rows naming them keep the id itself.
    void sessionsSurviveDigestUpgrade() {
        Accounts accounts(*db_);
        QCOMPARE(accounts.addUser("kate", "pw"), Accounts::AddResult::Added);
        const qint64 userId = accounts.byName("kate")->id;
        const QString sid = randomId();
        const qint64 now = nowSeconds();
        Query(*db_,
              "INSERT INTO sessions (sid, user_id, pcid, version, created_at, last_seen)"
              " VALUES (?, ?, 'PC', 'v', ?, ?)")
            .bind(sid)
            .bind(userId)
            .bind(now)
            .bind(now)
            .exec();
        Query(*db_,
              "INSERT INTO user_actions (user_id, sid, do_action, remark, create_time,"
              " received_at) VALUES (?, ?, 'open', '', '', 0)")
            .bind(userId)
            .bind(sid)
            .exec();
        Query(*db_, "DELETE FROM schema_migrations WHERE version = 4").exec();
        Database upgraded(db_->config());
        QVERIFY(upgraded.open());
        Accounts after(upgraded);
        const std::optional<Session> session = after.touchSession(sid, now, 60);
        QVERIFY(session.has_value());
        QCOMPARE(session->userId, userId);
        QCOMPARE(session->sid, sessionDigest(sid));
        for (const char* table : {"sessions", "user_actions"}) {
            Query plain(upgraded,
                        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE sid = ?").arg(table));
            plain.bind(sid).exec();
            QVERIFY(plain.next());
            QCOMPARE(plain.integer(0), qint64(0));
        }
    }

    void userNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "alice" << true;
        QTest::newRow("chinese") << "张三" << true;
        QTest::newRow("32 chars") << QString(32, 'a') << true;
        QTest::newRow("33 chars") << QString(33, 'a') << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("space inside") << "a b" << false;
        QTest::newRow("tab") << "a\tb" << false;
        QTest::newRow("control") << QString("a") + QChar(0x07) << false;
        QTest::newRow("sql text") << "x');DROP_TABLE_users;--" << true;
    }
    void userNames() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        Accounts accounts(*db_);
        QCOMPARE(accounts.addUser(name, "pw") == Accounts::AddResult::Added, valid);
        QCOMPARE(accounts.byName(name).has_value(), valid);
        // Whatever the name, the table is intact and holds only what was added.
        QCOMPARE(int(accounts.users().size()), valid ? 1 : 0);
    }

    void passwordsAndDuplicates() {
        Accounts accounts(*db_);
        QCOMPARE(accounts.addUser("bob", "secret1"), Accounts::AddResult::Added);
        QCOMPARE(accounts.addUser("bob", "other"), Accounts::AddResult::Exists);
        const User bob = *accounts.byName("bob");
        QVERIFY(bob.passwordHash.startsWith("$argon2id$"));
        QVERIFY(!bob.passwordHash.contains("secret1"));
        QVERIFY(verifyPassword(bob.passwordHash, "secret1"));
        QVERIFY(!verifyPassword(bob.passwordHash, "secret2"));
        QCOMPARE(bob.uid.size(), 32);
        QCOMPARE(accounts.byUid(bob.uid)->name, QString("bob"));
        // A new password works, the old one not, and open sessions end.
        const QString sid = accounts.openSession(bob.id, "pc", "v", 1000);
        QVERIFY(accounts.setPassword("bob", "secret2"));
        QVERIFY(verifyPassword(accounts.byName("bob")->passwordHash, "secret2"));
        QVERIFY(!accounts.findSession(sid));
        QVERIFY(!accounts.setPassword("nobody", "x"));
    }

    void throttle_data() {
        QTest::addColumn<QList<int>>("failureTimes");
        QTest::addColumn<int>("checkAt");
        QTest::addColumn<bool>("locked");
        QTest::newRow("four failures") << QList<int>{0, 10, 20, 30} << 31 << false;
        QTest::newRow("five failures") << QList<int>{0, 10, 20, 30, 40} << 41 << true;
        QTest::newRow("five, lock still on") << QList<int>{0, 1, 2, 3, 4} << 4 + 599 << true;
        QTest::newRow("five, lock over") << QList<int>{0, 1, 2, 3, 4} << 4 + 600 << false;
        QTest::newRow("spread beyond window") << QList<int>{0, 200, 400, 600, 800} << 801 << false;
        QTest::newRow("five within last window")
            << QList<int>{0, 500, 550, 560, 570, 580} << 581 << true;
    }
    void throttle() {
        QFETCH(QList<int>, failureTimes);
        QFETCH(int, checkAt);
        QFETCH(bool, locked);
        Accounts accounts(*db_);
        const ThrottlePolicy policy;
        const qint64 base = 1700000000;
        for (int t : failureTimes) {
            accounts.recordFailure("carol", base + t, policy);
        }
        QCOMPARE(accounts.lockedFor("carol", base + checkAt) > 0, locked);
        // Another name is never affected.
        QCOMPARE(accounts.lockedFor("dave", base + checkAt), qint64(0));
    }

    void successClearsFailures() {
        Accounts accounts(*db_);
        const ThrottlePolicy policy;
        for (int i = 0; i < 4; ++i) {
            accounts.recordFailure("erin", 100 + i, policy);
        }
        accounts.clearFailures("erin");
        QVERIFY(!accounts.recordFailure("erin", 110, policy));
        QCOMPARE(accounts.lockedFor("erin", 111), qint64(0));
    }

    void sessionExpiry_data() {
        QTest::addColumn<int>("idle");
        QTest::addColumn<bool>("alive");
        QTest::newRow("just opened") << 0 << true;
        QTest::newRow("at the limit") << 180 << true;
        QTest::newRow("past the limit") << 181 << false;
    }
    void sessionExpiry() {
        QFETCH(int, idle);
        QFETCH(bool, alive);
        Accounts accounts(*db_);
        accounts.addUser("frank", "pw");
        const QString sid = accounts.openSession(accounts.byName("frank")->id, "", "", 5000);
        QCOMPARE(sid.size(), 32);
        QCOMPARE(accounts.touchSession(sid, 5000 + idle, 180).has_value(), alive);
        if (alive) {
            // A heartbeat moves the limit along.
            QVERIFY(accounts.touchSession(sid, 5000 + idle + 180, 180));
        }
        QVERIFY(!accounts.touchSession("0123456789abcdef0123456789abcdef", 5000, 180));
        QCOMPARE(accounts.purgeSessions(5000 + 100000, 3600), 1);
        QVERIFY(!accounts.findSession(sid));
    }

    void watchlistBatches_data() {
        QTest::addColumn<std::vector<WatchCommand>>("commands");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("expected");  // after the batch (or unchanged on refusal)
        const QString initial = "1:A=600000/1;2:B=";
        QTest::newRow("rename existing")
            << std::vector<WatchCommand>{cmdRename("2", "Bee")} << true << "1:A=600000/1;2:Bee=";
        QTest::newRow("rename creates")
            << std::vector<WatchCommand>{cmdRename("3", "C")} << true << initial + ";3:C=";
        QTest::newRow("add goes first") << std::vector<WatchCommand>{cmdAdd("1", "000001", 2)}
                                        << true << "1:A=000001/2,600000/1;2:B=";
        QTest::newRow("re-add moves to front")
            << std::vector<WatchCommand>{cmdAdd("1", "000001", 2), cmdAdd("1", "600000", 1)} << true
            << "1:A=600000/1,000001/2;2:B=";
        QTest::newRow("same code other market")
            << std::vector<WatchCommand>{cmdAdd("1", "600000", 2)} << true
            << "1:A=600000/2,600000/1;2:B=";
        QTest::newRow("delete held")
            << std::vector<WatchCommand>{cmdDelete("1", "600000", 1)} << true << "1:A=;2:B=";
        QTest::newRow("delete not held")
            << std::vector<WatchCommand>{cmdDelete("2", "600000", 1)} << true << initial;
        QTest::newRow("add to new group") << std::vector<WatchCommand>{cmdAdd("7", "1A0001", 1)}
                                          << true << initial + ";7:自选股7=1A0001/1";
        std::vector<WatchCommand> eleven;
        for (int i = 3; i <= 11; ++i) {
            eleven.push_back(cmdRename(QString::number(i), "G" + QString::number(i)));
        }
        QTest::newRow("eleventh group refuses all") << eleven << false << initial;
        std::vector<WatchCommand> ten(eleven.begin(), eleven.end() - 1);
        ten.insert(ten.begin(), cmdAdd("1", "000002", 2));
        QTest::newRow("ten groups fit") << ten << true
                                        << "1:A=000002/2,600000/1;2:B=;3:G3=;4:G4=;5:G5=;6:G6=;"
                                           "7:G7=;8:G8=;9:G9=;10:G10=";
    }
    void watchlistBatches() {
        QFETCH(std::vector<WatchCommand>, commands);
        QFETCH(bool, accepted);
        QFETCH(QString, expected);
        Accounts accounts(*db_);
        accounts.addUser("gina", "pw");
        const qint64 user = accounts.byName("gina")->id;
        Watchlists lists(*db_);
        QVERIFY(
            lists.apply(user, {cmdRename("1", "A"), cmdRename("2", "B"), cmdAdd("1", "600000", 1)})
                .isEmpty());
        const QString why = lists.apply(user, commands);
        QCOMPARE(why.isEmpty(), accepted);
        QCOMPARE(summary(lists.groups(user)), expected);
    }

    void watchlistsArePerUser() {
        Accounts accounts(*db_);
        accounts.addUser("u1", "pw");
        accounts.addUser("u2", "pw");
        Watchlists lists(*db_);
        const qint64 a = accounts.byName("u1")->id, b = accounts.byName("u2")->id;
        QVERIFY(lists.apply(a, {cmdRename("1", "mine"), cmdAdd("1", "600000", 1)}).isEmpty());
        QVERIFY(lists.apply(b, {cmdRename("1", "yours")}).isEmpty());
        QCOMPARE(summary(lists.groups(a)), QString("1:mine=600000/1"));
        QCOMPARE(summary(lists.groups(b)), QString("1:yours="));
    }

    // Writers on several threads, each with its own connection, all get through: a busy
    // database waits instead of failing a batch.
    void concurrentWriters() {
        Accounts accounts(*db_);
        accounts.addUser("hank", "pw");
        const qint64 user = accounts.byName("hank")->id;
        Watchlists(*db_).apply(user, {cmdRename("1", "A")});
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                try {
                    Watchlists lists(*db_);
                    for (int i = 0; i < 10; ++i) {
                        if (!lists
                                 .apply(
                                     user,
                                     {cmdAdd("1", QString("%1%2").arg(t).arg(i, 5, 10, QChar('0')),
                                             1)})
                                 .isEmpty()) {
                            ++failures;
                        }
                    }
                } catch (const StoreError&) {
                    ++failures;
                }
            });
        }
        for (auto& th : threads) {
            th.join();
        }
        QCOMPARE(failures.load(), 0);
        QCOMPARE(
            Watchlists(*db_).groups(user)[0].toObject()[QStringLiteral("codes")].toArray().size(),
            40);
    }

    void noticeSelection_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("after");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("all of type 3") << 3 << qint64(-1) << "" << QStringList{"p1", "p2", "p3"};
        QTest::newRow("changed after the first")
            << 3 << qint64(1100) << "" << QStringList{"p2", "p3"};
        QTest::newRow("published from a day")
            << 3 << qint64(-1) << "2024-03-02" << QStringList{"p2", "p3"};
        QTest::newRow("both") << 3 << qint64(1250) << "2024-03-02" << QStringList{"p3"};
        QTest::newRow("nothing newer") << 3 << qint64(1300) << "" << QStringList{};
        QTest::newRow("type 2 apart") << 2 << qint64(-1) << "" << QStringList{"login"};
    }
    void noticeSelection() {
        QFETCH(int, type);
        QFETCH(qint64, after);
        QFETCH(QString, from);
        QFETCH(QStringList, titles);
        Publications pub(*db_);
        pub.addNotice(3, "p1", "a", "c", "", "2024-03-01", 1100);
        pub.addNotice(3, "p3", "a", "c", "", "2024-03-03", 1300);
        pub.addNotice(3, "p2", "a", "c", "", "2024-03-02", 1200);
        pub.addNotice(2, "login", "a", "c", "http://x", "2024-03-01", 1000);
        QStringList got;
        for (const QJsonValue& n : pub.notices(type, after, from, 50)) {
            got << n[QStringLiteral("title")].toString();
        }
        // Oldest change first: the terminal keeps the last element as the newest.
        QCOMPARE(got, titles);
    }

    void poolsAndArticles() {
        Publications pub(*db_);
        pub.setPool("1", "价值", {{"600000", 1}, {"000001", 2}});
        pub.setPool("2", "空池", {});
        pub.setPool("1", "价值精选", {{"600036", 1}});
        QJsonArray pools = pub.pools();
        QCOMPARE(pools.size(), 2);
        QCOMPARE(pools[0].toObject()[QStringLiteral("group_name")].toString(), QString("价值精选"));
        QCOMPARE(pools[0].toObject()[QStringLiteral("stocks")].toArray().size(), 1);
        QCOMPARE(pools[0]
                     .toObject()[QStringLiteral("stocks")]
                     .toArray()[0]
                     .toObject()[QStringLiteral("tradingcode")]
                     .toString(),
                 QString("600036"));
        QCOMPARE(pools[1].toObject()[QStringLiteral("stocks")].toArray().size(), 0);
        QVERIFY(pub.removePool("2"));
        QVERIFY(!pub.removePool("2"));
        QCOMPARE(pub.pools().size(), 1);

        Article a;
        a.kind = "news";
        a.title = "market wide";
        a.pubdate = "2024-01-02";
        pub.addArticle(a);
        a.title = "about 600000";
        a.code = "600000";
        a.market = 1;
        a.pubdate = "2024-01-03";
        const qint64 id = pub.addArticle(a);
        a.title = "other market";
        a.market = 2;
        pub.addArticle(a);
        a.kind = "research";
        a.market = 1;
        a.title = "report";
        pub.addArticle(a);
        QCOMPARE(pub.articles("news", "", 0, 0, 10).size(), 3);
        const QJsonArray mine = pub.articles("news", "600000", 1, 0, 10);
        QCOMPARE(mine.size(), 2);
        QCOMPARE(mine[0].toObject()[QStringLiteral("title")].toString(), QString("about 600000"));
        QCOMPARE(pub.articles("news", "600000", 1, 1, 10).size(), 1);
        QCOMPARE(pub.article("news", id)->title, QString("about 600000"));
        QVERIFY(!pub.article("research", id));
    }

private:
    bool postgres_;
    PgCluster cluster_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Database> db_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StoreTest sqlite(false);
    int failed = QTest::qExec(&sqlite, argc, argv);
    StoreTest postgres(true);
    failed += QTest::qExec(&postgres, argc, argv);
    return failed;
}

#include "tst_server_store.moc"
