// The HTTP services driven over loopback against a real server with a fresh data folder:
// the requests the terminal makes and what it reads in the answers.

#include <QDir>
#include <QFile>
#include <QThread>
#include <QtTest>

#include "http_fixture.h"
#include "server/store/publications.h"

using namespace vq;
using http_fixture::form;

class HttpTest : public QObject, protected HttpFixture {
    Q_OBJECT

public:
    explicit HttpTest(bool postgres) : postgres_(postgres) {}

private:
    bool postgres_;
    bool noticesPublished_ = false;

private slots:
    void initTestCase() { startServer(postgres_); }
    void cleanupTestCase() { stopServer(); }

    void controlAnswer() {
        const Reply r =
            get("/v3clientcontrol?appName=VeltoQuorin&appVer=velto_winpc_tax1_1.000006");
        QCOMPARE(r.status, 200);
        const QJsonObject url = r.object()["url"].toObject();
        const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port_);
        for (const char* name : {"login",
                                 "mystock",
                                 "formula",
                                 "stock_pool",
                                 "notice",
                                 "fast_menu",
                                 "heartbeat",
                                 "user_action",
                                 "marque",
                                 "condition_stock",
                                 "update1",
                                 "stock_news_list",
                                 "stock_news_view",
                                 "research_list",
                                 "research_view",
                                 "board",
                                 "stock_rating",
                                 "stock_rzrq",
                                 "market_total",
                                 "f9",
                                 "f10",
                                 "f11"}) {
            QVERIFY2(url[name].toString().startsWith(base), name);
        }
        QVERIFY(url["f10"].toString().contains("{{code}}"));
        QVERIFY(url["research_view"].toString().contains("{{id}}"));
        const QJsonObject quote = url["quote"].toArray().at(0).toObject();
        QCOMPARE(quote["url"].toString(), QString("tcp://127.0.0.1:18732"));
        QCOMPARE(quote["type"].toString(), QString("tcp"));
        QCOMPARE(quote["name"].toString(), QString("VeltoQuorin 主站"));
        // Every start image the answer names is served, as an image.
        const QJsonArray images = url["start_image"].toArray();
        QVERIFY(!images.isEmpty());
        for (const QJsonValue& v : images) {
            const std::string path = v.toString().mid(base.size() - 1).toStdString();
            auto res = client()->Get(path.c_str());
            QVERIFY(res);
            QCOMPARE(res->status, 200);
            QCOMPARE(QByteArray::fromStdString(res->body).left(4), QByteArray("\x89PNG"));
        }
    }

    // URLs follow the Host the terminal used; a Host header that is not a plain host[:port]
    // is never echoed into them.
    void controlHost_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("base");
        QTest::newRow("lan address") << "192.168.1.20:8731"
                                     << "http://192.168.1.20:8731/";
        QTest::newRow("name") << "quotes.example:80"
                              << "http://quotes.example:80/";
        QTest::newRow("ipv6") << "[::1]:8731"
                              << "http://[::1]:8731/";
        QTest::newRow("script") << "x\"><script>"
                                << "http://127.0.0.1:$P/";
        QTest::newRow("path") << "evil.example/phish"
                              << "http://127.0.0.1:$P/";
        QTest::newRow("user info") << "a@evil.example"
                                   << "http://127.0.0.1:$P/";
    }
    void controlHost() {
        QFETCH(QString, host);
        QFETCH(QString, base);
        base.replace("$P", QString::number(port_));
        auto res =
            client()->Get("/v3clientcontrol", httplib::Headers{{"Host", host.toStdString()}});
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        const QJsonObject url = QJsonDocument::fromJson(QByteArray::fromStdString(res->body))
                                    .object()["url"]
                                    .toObject();
        QCOMPARE(url["login"].toString(), base + "login");
        // The quote service was given a definite address, which stays as it is.
        QCOMPARE(url["quote"].toArray().at(0).toObject()["url"].toString(),
                 QString("tcp://127.0.0.1:18732"));
    }

    void startImageNames_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("operator image") << "/start_image/extra.jpg" << 200;
        QTest::newRow("not an image") << "/start_image/veltoquorin.db" << 404;
        QTest::newRow("dot dot") << "/start_image/..%2Fveltoquorin.db" << 404;
        QTest::newRow("hidden") << "/start_image/.x.png" << 404;
        QTest::newRow("missing") << "/start_image/none.png" << 404;
    }
    void startImageNames() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QDir(dir_.path()).mkpath("start_image");
        QFile f(dir_.filePath("start_image/extra.jpg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xff\xd8\xff jpeg");
        f.close();
        QCOMPARE(get(path.toStdString()).status, status);
    }

    void loginAnswer() {
        const Reply r = login("alice", "pw");
        QCOMPARE(r.status, 200);
        const QJsonObject o = r.object();
        QCOMPARE(o["result"].toString(), QString("true"));
        const QJsonObject user = o["user"].toObject();
        QCOMPARE(user["id"].toString(), QString::fromStdString(uidOf("alice")));
        QCOMPARE(user["sid"].toString().size(), 32);
        QCOMPARE(user["sessionId"].toString(), user["sid"].toString());
        QCOMPARE(o["sessionId"].toString(), user["sid"].toString());
        // Two logins are two sessions.
        QVERIFY(session("alice")["sid"].toString() != user["sid"].toString());
        // Every menu entry has the three-level shape and every leaf routes somewhere.
        const QJsonArray menus = o["menus"].toArray();
        QVERIFY(menus.size() >= 5);
        std::function<void(const QJsonArray&, int)> walk = [&](const QJsonArray& items, int depth) {
            QVERIFY(items.isEmpty() || depth <= 3);
            for (const QJsonValue& v : items) {
                const QJsonObject item = v.toObject();
                QVERIFY(!item["name"].toString().isEmpty());
                QVERIFY(item["menus"].isArray());
                if (item["menus"].toArray().isEmpty()) {
                    QVERIFY2(item["active"].toString().startsWith("app://"),
                             qPrintable(item["name"].toString()));
                }
                walk(item["menus"].toArray(), depth + 1);
            }
        };
        walk(menus, 1);
    }

    void loginRefusals_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("info");  // for 200 answers; the msg's start for 400
        QTest::newRow("wrong password")
            << form({{"username", "bob"}, {"password", "nope"}}) << 200 << "用户名或密码错误";
        QTest::newRow("unknown user reads the same")
            << form({{"username", "nosuchuser"}, {"password", "pw"}}) << 200 << "用户名或密码错误";
        QTest::newRow("no username") << form({{"password", "pw"}}) << 400 << "缺少参数username";
        QTest::newRow("empty password")
            << form({{"username", "bob"}, {"password", ""}}) << 400 << "缺少参数password";
        QTest::newRow("name too long") << form({{"username", QString(65, 'x')}, {"password", "pw"}})
                                       << 400 << "参数username过长";
        QTest::newRow("broken utf-8")
            << QString("username=%FF%FE&password=pw") << 400 << "参数username不是有效的UTF-8文本";
        QTest::newRow("sql in name") << form({{"username", "bob' OR '1'='1"}, {"password", "pw"}})
                                     << 200 << "用户名或密码错误";
    }
    void loginRefusals() {
        QFETCH(QString, body);
        QFETCH(int, status);
        QFETCH(QString, info);
        const Reply r = postForm(body);
        QCOMPARE(r.status, status);
        if (status == 200) {
            QCOMPARE(r.object()["result"].toString(), QString("false"));
            QCOMPARE(r.object()["info"].toString(), info);
        } else {
            QCOMPARE(r.object()["code"].toString(), QString("4000"));
            QVERIFY2(r.object()["msg"].toString().startsWith(info), r.body.c_str());
        }
    }

    // Failures beyond the free ones make the next attempt at that name from that address
    // wait, the right password included; the wait ends by itself and other names are
    // untouched meanwhile.
    void lockout() {
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(login("carol", "wrong").object()["info"].toString(),
                     QString("用户名或密码错误"));
        }
        const Reply held = login("carol", "pw");
        QCOMPARE(held.object()["result"].toString(), QString("false"));
        QVERIFY2(held.object()["info"].toString().contains("秒后再试"), held.body.c_str());
        QCOMPARE(login("dave", "pw").object()["result"].toString(), QString("true"));
        QThread::msleep(kLockSeconds * 1000 + 1100);
        QCOMPARE(login("carol", "pw").object()["result"].toString(), QString("true"));
    }

    void heartbeat() {
        const QString sid = session("erin")["sid"].toString();
        const Reply ok = get("/heartbeat?user_id=" + sid.toStdString() + "&pcid=PC-1");
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.object()["result"].toString(), QString("true"));
        // An unknown session is an answer the terminal acts on, so it comes as 200.
        const Reply unknown = get("/heartbeat?user_id=00000000000000000000000000000000&pcid=x");
        QCOMPARE(unknown.status, 200);
        QCOMPARE(unknown.object()["result"].toString(), QString("false"));
        QVERIFY(!unknown.object()["msg"].toString().isEmpty());
        QCOMPARE(get("/heartbeat?pcid=x").status, 400);
        // Heartbeats stop: the session expires.
        QThread::msleep(kSessionTimeout * 1000 + 1100);
        const Reply expired = get("/heartbeat?user_id=" + sid.toStdString() + "&pcid=PC-1");
        QCOMPARE(expired.object()["result"].toString(), QString("false"));
        QVERIFY(expired.object()["msg"].toString().contains("超时"));
    }

    // The login window's sequence for a new account: empty answer, ten RENAMEs, ten groups.
    void defaultGroups() {
        const std::string uid = uidOf("frank");
        const Reply first = get("/mystock?user_id=" + uid + "&cmd=get");
        QCOMPARE(first.status, 200);
        QCOMPARE(first.object()["code"].toString(), QString("0000"));
        QVERIFY(first.object()["result"].toArray().isEmpty());
        QJsonArray commands;
        for (int i = 1; i <= 10; ++i) {
            commands.append(QJsonObject{
                {"cmd", "RENAME"}, {"group_id", i}, {"group_name", QString("自选股%1").arg(i)}});
        }
        const Reply update =
            postJson("/mystock?user_id=" + uid + "&cmd=update", QJsonDocument(commands).toJson());
        QCOMPARE(update.status, 200);
        QCOMPARE(update.object()["code"].toString(), QString("0000"));
        const QJsonArray g = groups(uid);
        QCOMPARE(g.size(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(g[i].toObject()["group_id"].toString(), QString::number(i + 1));
            QCOMPARE(g[i].toObject()["group_name"].toString(), QString("自选股%1").arg(i + 1));
        }
    }

    void watchlistOutbox() {
        const std::string uid = uidOf("alice");
        const QByteArray batch = R"([
            {"cmd":"RENAME","group_id":1,"group_name":"自选股1"},
            {"cmd":"ADD","code":{"code":"600000","market_id":"1"},"group_id":"1","group_name":"自选股1"},
            {"cmd":"ADD","code":{"code":"000001","market_id":2},"group_id":"1","group_name":"自选股1"},
            {"cmd":"DELETE","code":{"code":"600000","market_id":"1"},"group_id":"1","group_name":"自选股1"},
            {"cmd":"ADD","code":{"code":"1A0001","market_id":"1"},"group_id":"1","group_name":"自选股1"}
        ])";
        QCOMPARE(postJson("/mystock?user_id=" + uid + "&cmd=update", batch).status, 200);
        const QJsonArray codes = groups(uid)[0].toObject()["codes"].toArray();
        QCOMPARE(codes.size(), 2);
        QCOMPARE(codes[0].toObject()["code"].toString(), QString("1A0001"));
        QCOMPARE(codes[1].toObject()["code"].toString(), QString("000001"));
        QCOMPARE(codes[1].toObject()["market_id"].toString(), QString("2"));
    }

    void watchlistRefusals_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::newRow("no user_id") << "cmd=get" << QByteArray() << 400;
        QTest::newRow("unknown user")
            << "user_id=ffffffffffffffffffffffffffffffff&cmd=get" << QByteArray() << 401;
        QTest::newRow("unknown cmd") << "user_id=$U&cmd=drop" << QByteArray() << 400;
        QTest::newRow("body not json") << "user_id=$U&cmd=update" << QByteArray("[{") << 400;
        QTest::newRow("body an object") << "user_id=$U&cmd=update" << QByteArray("{}") << 400;
        QTest::newRow("unknown command inside")
            << "user_id=$U&cmd=update"
            << QByteArray(R"([{"cmd":"ADD","code":{"code":"600001","market_id":"1"},"group_id":"1"},
                              {"cmd":"MOVE","group_id":"1"}])")
            << 400;
        QTest::newRow("entry not an object") << "user_id=$U&cmd=update" << QByteArray("[1]") << 400;
        QTest::newRow("no group_id") << "user_id=$U&cmd=update"
                                     << QByteArray(R"([{"cmd":"RENAME","group_name":"x"}])") << 400;
        QTest::newRow("rename without name")
            << "user_id=$U&cmd=update" << QByteArray(R"([{"cmd":"RENAME","group_id":"2"}])") << 400;
        QTest::newRow("market not a number")
            << "user_id=$U&cmd=update"
            << QByteArray(
                   R"([{"cmd":"ADD","code":{"code":"600001","market_id":"sh"},"group_id":"1"}])")
            << 400;
        QTest::newRow("market out of range")
            << "user_id=$U&cmd=update"
            << QByteArray(
                   R"([{"cmd":"ADD","code":{"code":"600001","market_id":300},"group_id":"1"}])")
            << 400;
        QTest::newRow("code too long")
            << "user_id=$U&cmd=update"
            << QByteArray(
                   R"([{"cmd":"ADD","code":{"code":"12345678901234567","market_id":1},"group_id":"1"}])")
            << 400;
        QTest::newRow("code missing")
            << "user_id=$U&cmd=update" << QByteArray(R"([{"cmd":"ADD","group_id":"1"}])") << 400;
        QTest::newRow("fractional group id")
            << "user_id=$U&cmd=update"
            << QByteArray(R"([{"cmd":"RENAME","group_id":1.5,"group_name":"x"}])") << 400;
        QTest::newRow("eleventh group")
            << "user_id=$U&cmd=update"
            << QByteArray(R"([{"cmd":"ADD","code":{"code":"600001","market_id":1},"group_id":"1"},
                              {"cmd":"RENAME","group_id":11,"group_name":"多余"}])")
            << 400;
        QTest::newRow("update by GET") << "user_id=$U&cmd=update" << QByteArray() << 400;
    }
    // Every refusal leaves the watchlist exactly as it was: no half-applied batch.
    void watchlistRefusals() {
        QFETCH(QString, query);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const std::string uid = uidOf("frank");
        const QJsonArray before = groups(uid);
        QCOMPARE(before.size(), 10);
        const std::string path =
            "/mystock?" + query.replace("$U", QString::fromStdString(uid)).toStdString();
        const Reply r = body.isNull() ? get(path) : postJson(path, body);
        QCOMPARE(r.status, status);
        QCOMPARE(r.object()["code"].toString(), status == 401 ? QString("4010") : QString("4000"));
        QVERIFY(!r.object()["msg"].toString().isEmpty());
        QCOMPARE(groups(uid), before);
    }

    void documents() {
        store::Publications pub(*db_);
        pub.setPool("1", "价值", {{"600000", 1}});
        const Reply pools = get("/stock_pool");
        QCOMPARE(pools.status, 200);
        const QJsonObject first = pools.json.array().at(0).toObject();
        QCOMPARE(first["group_id"].toString(), QString("1"));
        QCOMPARE(first["stocks"].toArray().at(0).toObject()["tradingcode"].toString(),
                 QString("600000"));
        QCOMPARE(first["stocks"].toArray().at(0).toObject()["exchangecode"].toInt(), 1);

        const Reply menu = get("/fast_menu");
        QVERIFY(!menu.json.array().isEmpty());
        for (const QJsonValue& v : menu.json.array()) {
            QVERIFY(v.toObject()["style"].toInt() >= 0 && v.toObject()["style"].toInt() <= 3);
            QVERIFY(!v.toObject()["flag"].toString().isEmpty());
        }

        const std::string uid = uidOf("alice");
        const Reply noModels = get("/formula?user_id=" + uid);
        QCOMPARE(noModels.object()["result"].toArray().size(), 0);
        QCOMPARE(postJson("/formula?user_id=" + uid, R"([{"name":"MA","args":[5,10]}])").status,
                 200);
        QCOMPARE(get("/formula?user_id=" + uid)
                     .object()["result"]
                     .toArray()
                     .at(0)
                     .toObject()["name"]
                     .toString(),
                 QString("MA"));
        QCOMPARE(postJson("/formula?user_id=" + uid, R"([{"args":[]}])").status, 400);
        QCOMPARE(get("/formula?user_id=nobody").status, 401);

        const Reply update = get("/update");
        QCOMPARE(update.status, 200);
        QCOMPARE(update.object()["result"].toObject()["appName"].toString(),
                 QString("VeltoQuorin"));
        pub.addRelease("1.0.7", "velto_winpc_tax1_1.000007", "http://example.invalid/pkg", "fixes",
                       "2024-05-01");
        QCOMPARE(get("/update").object()["result"].toObject()["version"].toString(),
                 QString("1.0.7"));
    }

    void notices_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("type 2 first time")
            << "type=2&updated_time=&cli_version=VeltoQuorin" << 200 << QStringList{"登录公告"};
        QTest::newRow("type 2 already held")
            << "type=2&updated_time=2030-01-01 00:00:00" << 200 << QStringList{};
        QTest::newRow("type 3 from a day")
            << "type=3&updated_time=&pub_date=2024-03-02" << 200 << QStringList{"新版本", "维护"};
        QTest::newRow("type 3 old day")
            << "type=3&pub_date=2024-01-01" << 200 << QStringList{"旧闻", "新版本", "维护"};
        QTest::newRow("no type") << "updated_time=" << 400 << QStringList{};
        QTest::newRow("type 4") << "type=4" << 400 << QStringList{};
        QTest::newRow("bad pub_date") << "type=3&pub_date=yesterday" << 400 << QStringList{};
        QTest::newRow("bad updated_time") << "type=3&updated_time=soon" << 400 << QStringList{};
    }
    void notices() {
        QFETCH(QString, query);
        QFETCH(int, status);
        QFETCH(QStringList, titles);
        if (!noticesPublished_) {
            store::Publications pub(*db_);
            pub.addNotice(2, "登录公告", "运营", "欢迎", "", "2024-03-01", 1000);
            pub.addNotice(3, "旧闻", "运营", "a", "", "2024-03-01", 1100);
            pub.addNotice(3, "新版本", "运营", "b", "http://example.invalid/n", "2024-03-02", 1200);
            pub.addNotice(3, "维护", "运营", "c", "", "2024-03-03", 1300);
            noticesPublished_ = true;
        }
        const Reply r = get(("/notice?" + QString(query).replace(" ", "%20")).toStdString());
        QCOMPARE(r.status, status);
        if (status != 200) {
            QCOMPARE(r.object()["code"].toString(), QString("4000"));
            return;
        }
        QStringList got;
        for (const QJsonValue& n : r.object()["notices"].toArray()) {
            got << n.toObject()["title"].toString();
            QVERIFY(!n.toObject()["updated_time"].toString().isEmpty());
        }
        QCOMPARE(got, titles);
        // Handing back the newest updated_time yields nothing new.
        if (!got.isEmpty()) {
            const QString newest =
                r.object()["notices"].toArray().last().toObject()["updated_time"].toString();
            const Reply again = get(("/notice?type=" + query.mid(5, 1) +
                                     "&updated_time=" + QString(newest).replace(" ", "%20"))
                                        .toStdString());
            QCOMPARE(again.object()["notices"].toArray().size(), 0);
        }
    }

    void articles() {
        store::Publications pub(*db_);
        store::Article a;
        a.kind = "news";
        a.title = "全市场<b>要闻</b>";
        a.pubdate = "2024-04-01";
        a.content = "第一段\n<script>alert(1)</script>";
        const qint64 marketWide = pub.addArticle(a);
        a.title = "浦发银行公告";
        a.code = "600000";
        a.market = 1;
        const qint64 aboutOne = pub.addArticle(a);
        a.kind = "research";
        a.title = "深度报告";
        pub.addArticle(a);

        // Placeholders the view left unreplaced (or removed) list the market-wide items.
        QCOMPARE(
            get("/news/list?code={{code}}&market={{market}}").object()["data"].toArray().size(), 2);
        QCOMPARE(get("/news/list?code=&market=").object()["data"].toArray().size(), 2);
        const QJsonArray mine = get("/news/list?code=600000&market=1").object()["data"].toArray();
        QCOMPARE(mine.size(), 2);
        QCOMPARE(get("/news/list?code=600000&market=2").object()["data"].toArray().size(), 1);
        const QJsonArray reports =
            get("/research/list?code=600000&market=1").object()["data"].toArray();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].toObject()["pubdate"].toString(), QString("2024-04-01"));
        QCOMPARE(get("/news/list?code=600000&market=x").status, 400);

        auto page = client()->Get(("/news/view?id=" + std::to_string(marketWide)).c_str());
        QVERIFY(page);
        QCOMPARE(page->status, 200);
        const QString html = QString::fromStdString(page->body);
        QVERIFY(html.contains("&lt;script&gt;"));
        QVERIFY(!html.contains("<script>"));
        QVERIFY(html.contains("&lt;b&gt;要闻"));
        // An item about one security links to its quote view; the link carries no markup.
        const QString one =
            QString::fromStdString(get("/news/view?id=" + std::to_string(aboutOne)).body);
        QVERIFY(one.contains("href=\"goto::quote::600000,600000,1\""));
        a.kind = "news";
        a.code = "6\"><i>";
        a.market = 2;
        const QString hostile =
            QString::fromStdString(get("/news/view?id=" + std::to_string(pub.addArticle(a))).body);
        QVERIFY(hostile.contains("goto::quote::6&quot;&gt;&lt;i&gt;,6&quot;&gt;&lt;i&gt;,2"));
        QVERIFY(!hostile.contains("<i>"));
        // A code that looks like a placeholder of the page's own text stays as it is.
        a.code = "%2";
        const QString literal =
            QString::fromStdString(get("/news/view?id=" + std::to_string(pub.addArticle(a))).body);
        QVERIFY(literal.contains("goto::quote::%2,%2,2\">%2 行情"));
        QCOMPARE(get("/news/view?id=999999").status, 404);
        QCOMPARE(get("/research/view?id=" + std::to_string(marketWide)).status, 404);
        QCOMPARE(get("/news/view?id=abc").status, 400);
        QCOMPARE(get("/news/view?id={{id}}").status, 400);
    }

    void userActions() {
        const QString sid = session("bob")["sid"].toString();
        const qint64 bob = store::Accounts(*db_).byName("bob")->id;
        const std::string path = "/user_action?user_id=" + sid.toStdString();
        const Reply ok = postJson(
            path, R"([{"do_action":"LOGIN","remark":"velto","create_time":"2024-05-01 09:30:00"},
                                            {"do_action":"FML","remark":"MACD","create_time":"2024-05-01 09:31:00"}])");
        QCOMPARE(ok.status, 200);
        QCOMPARE(store::UserDocuments(*db_).actionCount(bob), 2);
        QCOMPARE(postJson("/user_action?user_id=00000000000000000000000000000000", "[]").status,
                 401);
        // One bad row refuses the lot.
        QCOMPARE(
            postJson(path,
                     R"([{"do_action":"FML","remark":"KDJ","create_time":"t"},{"do_action":5}])")
                .status,
            400);
        QCOMPARE(postJson(path, "nope").status, 400);
        QCOMPARE(store::UserDocuments(*db_).actionCount(bob), 2);
    }

    void crashReports() {
        auto res = client()->Post("/crash-reporter/",
                                  httplib::Headers{{"X-Report-Name", "../../evil name.txt"}},
                                  "stack trace\n#0 main", "text/plain; charset=utf-8");
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        const QDir reports(dir_.filePath("crash-reports"));
        const QStringList files = reports.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(!files[0].contains("/"));
        QFile f(reports.filePath(files[0]));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("stack trace\n#0 main"));
        QCOMPARE(wrap(client()->Post("/crash-reporter/", "", "text/plain")).status, 400);
    }

    void marketServices() {
        // Claimed by the registrar: its answer, not the placeholder.
        const Reply board = get("/board");
        QCOMPARE(board.status, 200);
        QCOMPARE(board.object()["result"].toArray().size(), 2);
        for (const char* path : {"/stock_rating", "/stock_rzrq", "/market_total",
                                 "/f10?code=600000&market=1", "/condition_stock"}) {
            const Reply r = get(path);
            QCOMPARE(r.status, 503);
            QCOMPARE(r.object()["code"].toString(), QString("5030"));
            QVERIFY(!r.object()["msg"].toString().isEmpty());
        }
    }
};

// The same services on both databases: SQLite, then PostgreSQL when a cluster can start.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    HttpTest sqlite(false);
    int failed = QTest::qExec(&sqlite, argc, argv);
    HttpTest postgres(true);
    failed += QTest::qExec(&postgres, argc, argv);
    return failed;
}
#include "tst_server_http.moc"
