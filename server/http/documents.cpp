// Small documents: formula models, stock pools, notices, the quick bar, usage rows, the
// update manifest and the scrolling headlines.
#include <QDate>
#include <QDateTime>

#include "server/http/services.h"
#include "server/store/accounts.h"
#include "server/store/database.h"
#include "server/store/publications.h"

namespace vq::http {

namespace {

constexpr int kMaxActions = 5000;

// "yyyy-MM-dd HH:mm:ss" in Beijing time, as notices hand it out, or plain seconds.
qint64 parseUpdatedTime(const QString& text) {
    bool isNumber = false;
    const qint64 secs = text.toLongLong(&isNumber);
    if (isNumber) {
        return secs;
    }
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid()) {
        badRequest(QStringLiteral("参数updated_time应为yyyy-MM-dd HH:mm:ss格式"));
    }
    t.setOffsetFromUtc(8 * 3600);
    return t.toSecsSinceEpoch();
}

QString requireDay(const QString& text, const char* name) {
    if (!QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid()) {
        badRequest(QStringLiteral("参数%1应为yyyy-MM-dd格式的日期").arg(QLatin1String(name)));
    }
    return text;
}

}  // namespace

void registerDocuments(Router& router, Services& services) {
    // Formula models of one user: GET lists them; POST with cmd=update replaces them with
    // the array in the body.
    auto formula = [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const qint64 userId = requireUser(services, params);
        store::UserDocuments docs(services.db);
        if (req.method == "POST") {
            const QJsonDocument body = Params::jsonBody(req);
            if (!body.isArray()) {
                badRequest(QStringLiteral("请求体应为公式模型数组"));
            }
            const QJsonArray models = body.array();
            for (int i = 0; i < models.size(); ++i) {
                const QString name = models[i].toObject().value(QStringLiteral("name")).toString();
                if (!models[i].isObject() || name.isEmpty() || name.size() > 64) {
                    badRequest(QStringLiteral("第%1个公式模型缺少有效的name").arg(i + 1));
                }
            }
            docs.setFormulas(userId, models);
        }
        sendJson(res, success({{QStringLiteral("result"), docs.formulas(userId)}}));
    };
    router.get("/formula", formula);
    router.post("/formula", formula);

    router.get("/stock_pool", [&services](const httplib::Request&, httplib::Response& res) {
        sendJson(res, store::Publications(services.db).pools());
    });

    // Notices of one type. `updated_time` is the change time of the notice the terminal
    // already holds: only notices changed after it come back (all when it is empty). For the
    // pop-up list (type 3) `pub_date` further limits them to notices published on or after
    // that day. The newest change is the last element, which is the one the terminal keeps.
    router.get("/notice", [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const int type = params.requiredInteger("type", 2, 3);
        const QString updated = params.text("updated_time", 32).value_or(QString());
        const qint64 after = updated.isEmpty() ? -1 : parseUpdatedTime(updated);
        params.text("cli_version", 64);
        QString from;
        if (type == 3) {
            const QString pub = params.text("pub_date", 16).value_or(QString());
            from = pub.isEmpty() ? QString() : requireDay(pub, "pub_date");
        }
        sendJson(res, success({{QStringLiteral("notices"),
                                store::Publications(services.db).notices(type, after, from, 50)}}));
    });

    router.get("/fast_menu", [&services](const httplib::Request&, httplib::Response& res) {
        sendJson(res, store::Publications(services.db).fastMenu());
    });

    // Usage rows from the terminal's outbox, sent with the session id as user_id.
    router.post("/user_action", [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const QString sid = params.required("user_id", 64);
        store::Accounts accounts(services.db);
        const std::optional<store::Session> session = accounts.findSession(sid);
        if (!session) {
            unauthorized(QStringLiteral("会话不存在，请重新登录"));
        }
        const QJsonDocument body = Params::jsonBody(req);
        if (!body.isArray()) {
            badRequest(QStringLiteral("请求体应为记录数组"));
        }
        const QJsonArray rows = body.array();
        if (rows.size() > kMaxActions) {
            badRequest(QStringLiteral("一次最多提交%1条记录").arg(kMaxActions));
        }
        std::vector<store::UserDocuments::Action> actions;
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject o = rows[i].toObject();
            const QJsonValue action = o.value(QStringLiteral("do_action"));
            const QJsonValue remark = o.value(QStringLiteral("remark"));
            const QJsonValue time = o.value(QStringLiteral("create_time"));
            if (!rows[i].isObject() || !action.isString() || action.toString().isEmpty() ||
                !remark.isString() || !time.isString()) {
                badRequest(
                    QStringLiteral("第%1条记录应有do_action、remark和create_time文本").arg(i + 1));
            }
            if (action.toString().size() > 64 || remark.toString().size() > 1024 ||
                time.toString().size() > 32) {
                badRequest(QStringLiteral("第%1条记录过长").arg(i + 1));
            }
            actions.push_back({action.toString(), remark.toString(), time.toString()});
        }
        store::UserDocuments(services.db).addActions(session->userId, session->sid, actions);
        sendJson(res, success({{QStringLiteral("count"), static_cast<int>(actions.size())}}));
    });

    // The updater's manifest: the newest published release, or this server's own version
    // when none was published (nothing to update to).
    router.get("/update", [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        params.text("appName", 64);
        params.text("appVer", 64);
        QJsonObject release = store::Publications(services.db).latestRelease();
        if (release.isEmpty()) {
            release =
                QJsonObject{{QStringLiteral("version"), QStringLiteral(VQ_SERVER_VERSION)},
                            {QStringLiteral("appVer"), QStringLiteral("velto_winpc_tax1_1.000006")},
                            {QStringLiteral("url"), QString()},
                            {QStringLiteral("notes"), QString()},
                            {QStringLiteral("pub_date"), QString()}};
        }
        release.insert(QStringLiteral("appName"), QStringLiteral("VeltoQuorin"));
        sendJson(res, success({{QStringLiteral("result"), release}}));
    });

    // Headlines for the status bar's scrolling text: the newest market news.
    router.get("/marque", [&services](const httplib::Request&, httplib::Response& res) {
        sendJson(res, success({{QStringLiteral("data"),
                                store::Publications(services.db)
                                    .articles(QStringLiteral("news"), QString(), 0, 0, 10)}}));
    });
}

}  // namespace vq::http
