#include "server/screening/routes.h"

#include "server/screening/screen_jobs.h"

#include "formula/builtins.h"

#include <QJsonArray>

#include <set>

namespace vq::screening {

namespace {

QJsonObject blockEntry(const market::Market& m, int64_t id) {
    const market::BlockInfo* b = m.block(id);
    return QJsonObject{{"id", double(id)},
                       {"name", b ? QString::fromStdString(b->name) : QString()},
                       {"category", b ? b->category : 0},
                       {"count", b ? int(b->members.size()) : 0}};
}

// The built-in formulas a condition can name, with their parameters and the outputs a
// condition can read (the displayed ones; the last drawn output is the default).
QJsonArray builtinFormulas() {
    QJsonArray list;
    for (size_t i = 0; i < formula::builtinCount(); ++i) {
        const formula::BuiltinFormula& b = formula::builtin(i);
        formula::Program program;
        if ((b.kind & 64) != 0 || !formula::builtinProgram(i, &program)) {
            continue;  // base series are not conditions
        }
        QJsonArray outputs;
        std::set<std::string> seen;
        for (const formula::ProgramToken& t : program.tokens) {
            if (t.code == FML_TOKEN_ATTRIBUTE && !t.b.empty() && seen.insert(t.b).second) {
                outputs.append(QString::fromStdString(t.b));
            }
        }
        QJsonArray params;
        for (const formula::BuiltinParam& p : b.params) {
            if (!p.name) {
                break;
            }
            params.append(
                QJsonObject{{"name", p.name}, {"value", p.value}, {"min", p.min}, {"max", p.max}});
        }
        list.append(QJsonObject{{"code", QString::fromUtf8(b.code)},
                                {"name", QString::fromUtf8(b.name)},
                                {"kind", b.kind},
                                {"outputs", outputs},
                                {"params", params}});
    }
    return list;
}

// The answer to a request that cannot be screened: where the formula went wrong, for the
// window to point at.
void sendRequestError(httplib::Response& res, const RequestError& error) {
    http::sendJson(res,
                   QJsonObject{{"code", "4000"},
                               {"msg", QString::fromStdString(error.message)},
                               {"condition", error.condition},
                               {"line", error.line},
                               {"column", error.column}},
                   400);
}

// Reads the body into a request; false after answering 400.
bool readRequest(const httplib::Request& req, httplib::Response& res, ScreenRequest* out) {
    const QJsonDocument body = http::Params::jsonBody(req);
    RequestError error;
    if (!body.isObject()) {
        error.message = "the body is not a JSON object";
    } else if (parseScreenRequest(body.object(), out, &error)) {
        return true;
    }
    sendRequestError(res, error);
    return false;
}

QJsonObject choices(const market::Market& m) {
    static const int64_t kPresets[] = {1110, 1101, 1102, 1103, 1123, 1104, 1105, 1106, 1124, 1107,
                                       1116, 1112, 1113, 1115, 1117, 1111, 1118, 1120, 1121, 1122};
    QJsonArray blocks;
    for (int64_t id : kPresets) {
        if (m.block(id)) {
            blocks.append(blockEntry(m, id));
        }
    }
    for (int category : {market::Industry, market::Concept, market::Region}) {
        for (int64_t id : m.blocksOfCategory(category)) {
            blocks.append(blockEntry(m, id));
        }
    }
    static const std::pair<int, const char*> kCycles[] = {
        {33, "日线"},   {39, "周线"},   {40, "月线"},  {38, "60分钟"},
        {37, "30分钟"}, {36, "15分钟"}, {35, "5分钟"}, {34, "1分钟"}};
    QJsonArray cycles;
    for (const auto& [id, name] : kCycles) {
        cycles.append(QJsonObject{{"id", id}, {"name", QString::fromUtf8(name)}});
    }
    static const QJsonArray formulas = builtinFormulas();
    return http::success({{"blocks", blocks}, {"cycles", cycles}, {"formulas", formulas}});
}

const char* stateText(JobState s) {
    switch (s) {
        case JobState::Running:
            return "running";
        case JobState::Done:
            return "done";
        case JobState::Cancelled:
            return "cancelled";
    }
    return "";
}

std::string jobId(const httplib::Request& req) {
    return http::Params(req).required("id", 64).toStdString();
}

}  // namespace

http::RouteRegistrar routes(std::shared_ptr<const market::Market> market, int threads) {
    return [market, threads](http::Router& router) {
        auto jobs = std::make_shared<ScreenJobs>(market, threads);
        const market::Market* m = market.get();
        router.publish("condition_stock", "/condition_stock");

        router.get("/condition_stock", [m, jobs](const httplib::Request&, httplib::Response& res) {
            jobs->warm();  // a screening window opened: a screen will follow
            http::sendJson(res, choices(*m));
        });

        router.post("/condition_stock/check",
                    [](const httplib::Request& req, httplib::Response& res) {
                        ScreenRequest request;
                        if (readRequest(req, res, &request)) {
                            http::sendJson(res, http::success());
                        }
                    });

        router.post("/condition_stock/screen",
                    [jobs](const httplib::Request& req, httplib::Response& res) {
                        ScreenRequest request;
                        if (!readRequest(req, res, &request)) {
                            return;
                        }
                        const std::string id = jobs->start(std::move(request));
                        if (id.empty()) {
                            http::unavailable(QStringLiteral("选股服务繁忙，请稍后重试"));
                        }
                        http::sendJson(res, http::success({{"id", QString::fromStdString(id)}}));
                    });

        router.get("/condition_stock/screen/status", [jobs, m](const httplib::Request& req,
                                                               httplib::Response& res) {
            JobStatus s;
            if (!jobs->status(jobId(req), &s)) {
                http::notFound(QStringLiteral("no such screen"));
            }
            QJsonArray items;
            for (int i : s.matches) {
                const market::Security* sec = m->security(i);
                if (sec) {
                    items.append(QJsonObject{{"code", QString::fromStdString(sec->code)},
                                             {"market", int(sec->market)},
                                             {"name", QString::fromStdString(sec->name)}});
                }
            }
            http::sendJson(res, http::success({{"state", stateText(s.state)},
                                               {"done", s.done},
                                               {"total", s.total},
                                               {"items", items}}));
        });

        router.post("/condition_stock/screen/cancel",
                    [jobs](const httplib::Request& req, httplib::Response& res) {
                        if (!jobs->cancel(jobId(req))) {
                            http::notFound(QStringLiteral("no such screen"));
                        }
                        http::sendJson(res, http::success());
                    });
    };
}

}  // namespace vq::screening
