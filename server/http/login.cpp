// POST /login and GET /heartbeat.
//
// Login failures answer 200 with {"result": "false", "info": …} because that is what the
// login window shows; a wrong password and an unknown name get the same text and the same
// time, so the answer does not tell which names exist. Repeated failures slow down further
// attempts at that name from that address (login_guard.h); they never lock the name itself,
// so nobody can keep its owner out by failing on purpose.
#include <QRegularExpression>
#include <cstdio>

#include "server/http/services.h"
#include "server/store/database.h"
#include "server/store/password.h"

namespace vq::http {

namespace {

QJsonObject refused(const QString& info) {
    return QJsonObject{{QStringLiteral("result"), QStringLiteral("false")},
                       {QStringLiteral("info"), info}};
}

// Names come from the client: printable and short before they reach the log.
std::string loggable(const QString& name) {
    QString text = name.left(64);
    static const QRegularExpression unsafe(QStringLiteral("[\\p{C}\"\\\\]"));
    text.replace(unsafe, QStringLiteral("?"));
    return text.toStdString();
}

}  // namespace

void registerLogin(Router& router, Services& services) {
    router.post("/login", [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const QString name = params.required("username", 64);
        const QString password = params.required("password", 128);
        const QString pcid = params.text("pcid", 128).value_or(QString());
        params.text("menu", 16);
        const QString version = params.text("versionid", 64).value_or(QString());

        store::Accounts accounts(services.db);
        const qint64 now = store::nowSeconds();
        const std::string& from = req.remote_addr;
        if (const int64_t wait = services.loginThrottle.wait(name, from, now); wait > 0) {
            std::fprintf(stderr, "login throttled: \"%s\" from %s, %lld s to wait\n",
                         loggable(name).c_str(), from.c_str(), static_cast<long long>(wait));
            sendJson(res, refused(QStringLiteral("登录尝试过于频繁，请%1秒后再试").arg(wait)));
            return;
        }
        const std::optional<store::User> user = accounts.byName(name);
        const PasswordChecks::Outcome outcome = services.passwordChecks.check(
            user ? std::optional<QString>(user->passwordHash) : std::nullopt, password);
        if (outcome == PasswordChecks::Outcome::Busy) {
            // Not logged one by one: in a flood that would be a line per request.
            sendJson(res, refused(QStringLiteral("登录人数较多，请稍后再试")));
            return;
        }
        if (outcome == PasswordChecks::Outcome::Mismatch) {
            services.loginThrottle.failed(name, from, store::nowSeconds());
            std::fprintf(stderr, "login failed: \"%s\" from %s\n", loggable(name).c_str(),
                         from.c_str());
            sendJson(res, refused(QStringLiteral("用户名或密码错误")));
            return;
        }
        services.loginThrottle.succeeded(name, from);
        // Sessions long past their heartbeat are of no use to anyone; a login is a
        // convenient, regular moment to drop them.
        accounts.purgeSessions(now, 24 * 3600);
        const QString sid = accounts.openSession(user->id, pcid, version, now);
        sendJson(res,
                 QJsonObject{
                     {QStringLiteral("result"), QStringLiteral("true")},
                     {QStringLiteral("info"), QStringLiteral("登录成功")},
                     {QStringLiteral("user"), QJsonObject{{QStringLiteral("id"), user->uid},
                                                          {QStringLiteral("sid"), sid},
                                                          {QStringLiteral("sessionId"), sid},
                                                          {QStringLiteral("name"), user->name}}},
                     {QStringLiteral("sessionId"), sid},
                     {QStringLiteral("menus"), defaultMenus()},
                 });
    });

    // The terminal counts transport failures and stops at the tenth; an answer of
    // {"result": "false"} ends it at once with our msg. So a lost session answers 200.
    router.get("/heartbeat", [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const QString sid = params.required("user_id", 64);
        params.text("pcid", 128);
        store::Accounts accounts(services.db);
        if (!accounts.touchSession(sid, store::nowSeconds(),
                                   services.options.sessionTimeoutSeconds)) {
            const bool known = accounts.findSession(sid).has_value();
            sendJson(res, QJsonObject{{QStringLiteral("result"), QStringLiteral("false")},
                                      {QStringLiteral("msg"),
                                       known ? QStringLiteral("登录已超时，请重新登录！")
                                             : QStringLiteral("登录信息无效，请重新登录！")}});
            return;
        }
        sendJson(res, QJsonObject{{QStringLiteral("result"), QStringLiteral("true")}});
    });
}

qint64 requireUser(Services& services, const Params& params, const char* name) {
    const QString uid = params.required(name, 64);
    const std::optional<store::User> user = store::Accounts(services.db).byUid(uid);
    if (!user) {
        unauthorized(QStringLiteral("用户不存在或未登录"));
    }
    return user->id;
}

}  // namespace vq::http
