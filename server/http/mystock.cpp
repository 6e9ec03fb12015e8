// /mystock?user_id=…&cmd=get|update — the server-side watchlist.
//
// An update carries a JSON array of commands, each one of
//   {"cmd": "RENAME", "group_id", "group_name"}          (creates the group when missing)
//   {"cmd": "ADD", "code": {"code", "market_id"}, "group_id", "group_name"}
//   {"cmd": "DELETE", "code": {"code", "market_id"}, "group_id"}
// The whole batch is checked before anything is stored: one unknown command or malformed
// entry refuses it all with a msg naming the entry, and nothing changes.
#include "server/http/services.h"
#include "server/store/watchlists.h"

namespace vq::http {

namespace {

constexpr int kMaxCommands = 5000;

// Group ids arrive as numbers from the login window and as text from the outbox; both are
// kept as their decimal text, which is how answers carry them.
QString groupIdOf(const QJsonValue& v, int index) {
    QString id;
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d != static_cast<double>(static_cast<qint64>(d)) || d < 0 || d > 1e9) {
            badRequest(QStringLiteral("第%1条命令的group_id无效").arg(index + 1));
        }
        id = QString::number(static_cast<qint64>(d));
    } else if (v.isString()) {
        id = v.toString().trimmed();
    }
    if (id.isEmpty() || id.size() > 32) {
        badRequest(QStringLiteral("第%1条命令缺少有效的group_id").arg(index + 1));
    }
    return id;
}

int marketOf(const QJsonValue& v, int index) {
    bool ok = v.isDouble();
    qint64 market = ok ? static_cast<qint64>(v.toDouble()) : 0;
    if (ok && static_cast<double>(market) != v.toDouble()) {
        ok = false;
    }
    if (v.isString()) {
        market = v.toString().toLongLong(&ok);
    }
    if (!ok || market < 0 || market > 255) {
        badRequest(QStringLiteral("第%1条命令的market_id无效").arg(index + 1));
    }
    return static_cast<int>(market);
}

std::vector<store::WatchCommand> parseCommands(const QJsonDocument& doc) {
    if (!doc.isArray()) {
        badRequest(QStringLiteral("请求体应为命令数组"));
    }
    const QJsonArray array = doc.array();
    if (array.size() > kMaxCommands) {
        badRequest(QStringLiteral("一次最多提交%1条命令").arg(kMaxCommands));
    }
    std::vector<store::WatchCommand> out;
    out.reserve(static_cast<std::size_t>(array.size()));
    for (int i = 0; i < array.size(); ++i) {
        if (!array[i].isObject()) {
            badRequest(QStringLiteral("第%1条命令不是对象").arg(i + 1));
        }
        const QJsonObject o = array[i].toObject();
        store::WatchCommand c;
        const QString cmd = o.value(QStringLiteral("cmd")).toString();
        if (cmd == QLatin1String("RENAME")) {
            c.kind = store::WatchCommand::Kind::Rename;
        } else if (cmd == QLatin1String("ADD")) {
            c.kind = store::WatchCommand::Kind::Add;
        } else if (cmd == QLatin1String("DELETE")) {
            c.kind = store::WatchCommand::Kind::Delete;
        } else {
            badRequest(QStringLiteral("第%1条命令未知：%2").arg(i + 1).arg(cmd.left(32)));
        }
        c.groupId = groupIdOf(o.value(QStringLiteral("group_id")), i);
        const QJsonValue name = o.value(QStringLiteral("group_name"));
        if (!name.isUndefined() && !name.isNull() && !name.isString()) {
            badRequest(QStringLiteral("第%1条命令的group_name应为文本").arg(i + 1));
        }
        c.groupName = name.toString().trimmed();
        if (c.groupName.size() > 32) {
            badRequest(QStringLiteral("第%1条命令的group_name过长").arg(i + 1));
        }
        if (c.kind == store::WatchCommand::Kind::Rename) {
            if (c.groupName.isEmpty()) {
                badRequest(QStringLiteral("第%1条命令缺少group_name").arg(i + 1));
            }
        } else {
            const QJsonObject code = o.value(QStringLiteral("code")).toObject();
            c.code = code.value(QStringLiteral("code")).toString().trimmed();
            if (c.code.isEmpty() || c.code.toUtf8().size() > 16) {
                badRequest(QStringLiteral("第%1条命令缺少有效的证券代码").arg(i + 1));
            }
            c.market = marketOf(code.value(QStringLiteral("market_id")), i);
        }
        out.push_back(std::move(c));
    }
    return out;
}

// The account of the "user_id" uid, remembered once found so that reads need no database.
qint64 watchlistOwner(Services& services, const Params& params) {
    const QString uid = params.required("user_id", 64);
    if (const std::optional<qint64> id = services.watchlists.account(uid)) {
        return *id;
    }
    const qint64 id = requireUser(services, params);
    services.watchlists.rememberAccount(uid, id);
    return id;
}

// The whole answer for a user's watchlist, from the cache or read (and then kept).
std::shared_ptr<const std::string> watchlistAnswer(Services& services, qint64 userId) {
    if (auto cached = services.watchlists.answer(userId)) {
        return cached;
    }
    const uint64_t generation = services.watchlists.generation(userId);
    auto answer = std::make_shared<const std::string>(
        QJsonDocument(
            success({{QStringLiteral("result"), store::Watchlists(services.db).groups(userId)}}))
            .toJson(QJsonDocument::Compact)
            .toStdString());
    services.watchlists.keep(userId, generation, *answer);
    return answer;
}

constexpr const char* kJson = "application/json; charset=utf-8";

}  // namespace

void registerMyStock(Router& router, Services& services) {
    auto handler = [&services](const httplib::Request& req, httplib::Response& res) {
        const Params params(req);
        const qint64 userId = watchlistOwner(services, params);
        const QString cmd = params.text("cmd", 16).value_or(QStringLiteral("get"));
        if (cmd == QLatin1String("get")) {
            res.set_content(*watchlistAnswer(services, userId), kJson);
            return;
        }
        if (cmd != QLatin1String("update")) {
            badRequest(QStringLiteral("未知的cmd：%1（应为get或update）").arg(cmd));
        }
        if (req.method != "POST") {
            badRequest(QStringLiteral("update须用POST提交命令数组"));
        }
        const std::vector<store::WatchCommand> commands = parseCommands(Params::jsonBody(req));
        const QString why = store::Watchlists(services.db).apply(userId, commands);
        if (!why.isEmpty()) {
            badRequest(why);
        }
        services.watchlists.invalidate(userId);
        res.set_content(*watchlistAnswer(services, userId), kJson);
    };
    router.get("/mystock", handler);
    router.post("/mystock", handler);
}

}  // namespace vq::http
