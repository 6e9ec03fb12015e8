// A real HTTP server over loopback for the service tests: a fresh data folder and database
// (SQLite, or PostgreSQL when a cluster can start), six users, and the requests the terminal
// makes of it.
#pragma once

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "pg_cluster.h"
#include "server/http/http_server.h"
#include "server/store/accounts.h"
#include "server/store/database.h"

namespace http_fixture {

struct Reply {
    int status = 0;
    QJsonDocument json;
    std::string body;
    QJsonObject object() const { return json.object(); }
};

inline QString form(std::initializer_list<std::pair<const char*, QString>> fields) {
    QStringList parts;
    for (const auto& [k, v] : fields) {
        parts << QString::fromLatin1(k) + "=" + QString::fromLatin1(QUrl::toPercentEncoding(v));
    }
    return parts.join("&");
}

}  // namespace http_fixture

class HttpFixture {
protected:
    using Reply = http_fixture::Reply;

    static constexpr int kLockSeconds = 2;
    static constexpr int kSessionTimeout = 2;

    PgCluster cluster_;
    QTemporaryDir dir_;
    std::unique_ptr<vq::store::Database> db_;
    std::unique_ptr<vq::http::HttpServer> server_;
    int port_ = 0;

    // Call from initTestCase; skips the test case when PostgreSQL is asked for and no
    // cluster can start.
    void startServer(bool postgres) {
        using namespace vq;
        store::DbConfig config;
        if (postgres) {
            QString why;
            if (!cluster_.start(&why)) {
                QSKIP(qPrintable("HTTP services on PostgreSQL skipped: " + why));
            }
        }
        QVERIFY(
            store::parseDbUrl(postgres ? cluster_.url() : QString(), dir_.path(), config, nullptr));
        db_.reset(new store::Database(config));
        QVERIFY(db_->open());
        store::Accounts accounts(*db_);
        for (const char* name : {"alice", "bob", "carol", "dave", "erin", "frank"}) {
            QCOMPARE(accounts.addUser(name, "pw"), store::Accounts::AddResult::Added);
        }
        http::HttpOptions options;
        options.port = 0;
        options.threads = 8;
        options.dataDir = dir_.path();
        options.quotePort = 18732;
        options.sessionTimeoutSeconds = kSessionTimeout;
        options.login.freeFailures = 3;
        options.login.firstDelaySeconds = kLockSeconds;
        options.login.maxDelaySeconds = kLockSeconds;
        server_.reset(new http::HttpServer(*db_, options));
        // A registrar from another library claims one market-derived service.
        server_->addRegistrar([](http::Router& router) {
            router.publish("board", "/board");
            router.get("/board", [](const httplib::Request&, httplib::Response& res) {
                http::sendJson(res, http::success({{"result", QJsonArray{1, 2}}}));
            });
        });
        std::string error;
        QVERIFY2(server_->start(&error), error.c_str());
        port_ = server_->port();
        QVERIFY(port_ > 0);
    }
    void stopServer() {
        server_.reset();
        db_.reset();
        cluster_.stop();
    }

    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port_);
        c->set_read_timeout(20, 0);
        return c;
    }

    static Reply wrap(const httplib::Result& r) {
        Reply out;
        if (r) {
            out.status = r->status;
            out.body = r->body;
            out.json = QJsonDocument::fromJson(QByteArray::fromStdString(r->body));
        }
        return out;
    }

    Reply get(const std::string& path) const { return wrap(client()->Get(path.c_str())); }
    Reply postJson(const std::string& path, const QByteArray& body) const {
        return wrap(client()->Post(path.c_str(), body.toStdString(), "application/json"));
    }
    Reply postForm(const QString& body) const {
        return wrap(
            client()->Post("/login", body.toStdString(), "application/x-www-form-urlencoded"));
    }
    Reply login(const QString& user, const QString& password) const {
        return postForm(http_fixture::form({{"username", user},
                                            {"password", password},
                                            {"pcid", "PC-1"},
                                            {"menu", "v2"},
                                            {"versionid", "velto_winpc_tax1_1.000006"}}));
    }
    // Logs in and returns the login answer's user object.
    QJsonObject session(const QString& user, const QString& password = QStringLiteral("pw")) const {
        return login(user, password).object()[QStringLiteral("user")].toObject();
    }
    std::string uidOf(const QString& user) const {
        return vq::store::Accounts(*db_).byName(user)->uid.toStdString();
    }
    QJsonArray groups(const std::string& uid) const {
        return get("/mystock?user_id=" + uid + "&cmd=get")
            .object()[QStringLiteral("result")]
            .toArray();
    }
};
