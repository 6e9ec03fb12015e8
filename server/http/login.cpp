// POST /login and GET /heartbeat.
//
// Login failures answer 200 with {"result": "false", "info": …} because that is what the
// login window shows; a wrong password and an unknown name get the same text and the same
// time, so the answer does not tell which names exist. Five failures for one name within the
// throttle window lock that name, whatever password comes next, until the lock ends.
#include <condition_variable>
#include <mutex>

#include "server/http/services.h"
#include "server/store/database.h"
#include "server/store/password.h"

namespace vq::http {

namespace {

// Each Argon2id check takes 64 MiB for a moment; a burst of logins on every pool thread at
// once would take a gigabyte. A few at a time keeps memory bounded; the rest wait briefly.
constexpr int kHashSlots = 4;
std::mutex hashMutex;
std::condition_variable hashFree;
int hashBusy = 0;

class HashSlot {
public:
    HashSlot() {
        std::unique_lock<std::mutex> lock(hashMutex);
        hashFree.wait(lock, [] { return hashBusy < kHashSlots; });
        ++hashBusy;
    }
    ~HashSlot() {
        {
            std::lock_guard<std::mutex> lock(hashMutex);
            --hashBusy;
        }
        hashFree.notify_one();
    }
    HashSlot(const HashSlot&) = delete;
    HashSlot& operator=(const HashSlot&) = delete;
};

bool checkPassword(const std::optional<store::User>& user, const QString& password) {
    const HashSlot slot;
    if (user) {
        return store::verifyPassword(user->passwordHash, password);
    }
    store::verifyDummy(password);
    return false;
}

QJsonObject refused(const QString& info) {
    return QJsonObject{{QStringLiteral("result"), QStringLiteral("false")},
                       {QStringLiteral("info"), info}};
}

QString lockText(qint64 seconds) {
    const qint64 minutes = (seconds + 59) / 60;
    return QStringLiteral("登录失败次数过多，该用户已被锁定，请%1分钟后再试").arg(minutes);
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
        const store::ThrottlePolicy& policy = services.options.throttle;
        const qint64 now = store::nowSeconds();
        if (const qint64 left = accounts.lockedFor(name, now); left > 0) {
            sendJson(res, refused(lockText(left)));
            return;
        }
        const std::optional<store::User> user = accounts.byName(name);
        if (!checkPassword(user, password)) {
            if (accounts.recordFailure(name, store::nowSeconds(), policy)) {
                sendJson(res, refused(lockText(policy.lockSeconds)));
            } else {
                sendJson(res, refused(QStringLiteral("用户名或密码错误")));
            }
            return;
        }
        accounts.clearFailures(name);
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
