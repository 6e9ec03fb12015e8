// Qt Quick tests of the views. The setup registers the terminal's QML types and runs an HTTP
// service on loopback that answers the login window's requests the way the backend does.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QtQuickTest>
#include <atomic>
#include <mutex>

#include "app/qml_types.h"
#include "bridge/data_folder.h"
#include "formula/formula_service.h"
#include "tests/support/local_http_server.h"

namespace {

QByteArray json(const QJsonValue& value) {
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

}  // namespace

class Setup : public QObject {
    Q_OBJECT
public:
    Setup() = default;

    // Points the terminal at the loopback service (true) or at a port nobody listens on.
    Q_INVOKABLE void useControlServer(bool available) {
        qputenv("VELTOQUORIN_CONTROL_URL",
                available ? QByteArray(server_.url("").c_str()) : QByteArray("http://127.0.0.1:9"));
    }
    Q_INVOKABLE QString dataFolder() const { return bridge::dataFolder(); }
    Q_INVOKABLE QString readDataFile(const QString& name) const {
        QFile file(bridge::dataFolder() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    Q_INVOKABLE void writeDataFile(const QString& name, const QString& text) const {
        QFile file(bridge::dataFolder() + "/" + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text.toUtf8());
    }
    Q_INVOKABLE void resetServer() {
        std::lock_guard<std::mutex> lock(mutex_);
        groups_ = QJsonArray();
        updates_ = 0;
        lastLogin_.clear();
    }
    Q_INVOKABLE int groupUpdates() {
        std::lock_guard<std::mutex> lock(mutex_);
        return updates_;
    }
    // The market-breadth service: 0 answers, 1 fails with 500, 2 answers with a non-JSON body.
    Q_INVOKABLE void setBreadthMode(int mode) { breadthMode_ = mode; }
    Q_INVOKABLE int breadthRequests() const { return breadthRequests_; }
    Q_INVOKABLE QString serviceUrl(const QString& path) const {
        return QString::fromStdString(server_.url("")) + path;
    }
    Q_INVOKABLE QString lastLoginForm() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastLogin_;
    }

public slots:
    void applicationAvailable() {
        registerQmlTypes();
        formula::registerBuiltinFormulas(formula::FormulaService::instance());
        routes();
        server_.start();
        useControlServer(true);
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->setOfflineStoragePath(bridge::dataFolder());
        engine->rootContext()->setContextProperty("testSetup", this);
    }
    void cleanupTestCase() { server_.stop(); }

private:
    void routes() {
        auto& s = server_.server();
        s.Get("/v3clientcontrol", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.get_param_value("appName") != "VeltoQuorin") {
                res.status = 400;
                return;
            }
            const QString base = QString::fromStdString(server_.url(""));
            QJsonObject url{{"login", base + "/login"},
                            {"mystock", base + "/mystock"},
                            {"formula", ""},
                            {"stock_pool", base + "/pool"},
                            {"board", base + "/board"},
                            {"stock_rating", base + "/rating"},
                            {"stock_rzrq", base + "/down"},
                            {"start_image", QJsonArray()}};
            res.set_content(json(QJsonObject{{"url", url}}).toStdString(), "application/json");
        });
        s.Post("/login", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lastLogin_ = QString::fromStdString(req.body);
            }
            if (req.get_param_value("username") != "demo" ||
                req.get_param_value("password") != "de&mo=1") {
                res.set_content(R"({"result":"false","info":"用户名或密码错误"})",
                                "application/json");
                return;
            }
            res.set_content(
                R"({"result":"true","user":{"id":"42","sid":"s","sessionId":"abc"},"sessionId":"abc","menus":[]})",
                "application/json");
        });
        s.Get("/mystock", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            res.set_content(
                json(QJsonObject{{"code", "0000"}, {"msg", "success"}, {"result", groups_}})
                    .toStdString(),
                "application/json");
        });
        s.Post("/mystock", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++updates_;
            const QJsonArray commands =
                QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).array();
            for (const QJsonValue& c : commands) {
                const QJsonObject cmd = c.toObject();
                groups_.append(
                    QJsonObject{{"group_id", QString::number(cmd.value("group_id").toInt())},
                                {"group_name", cmd.value("group_name").toString()},
                                {"codes", QJsonArray()}});
            }
            res.set_content(R"({"code":"0000","msg":"success"})", "application/json");
        });
        s.Get("/pool", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                R"([{"group_id":"g1","group_name":"精选","stocks":[{"tradingcode":"600519","exchangecode":1}]},
                    {"group_id":"g2","group_name":"空池","stocks":[]}])",
                "application/json");
        });
        s.Get("/board", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"code":"0000","msg":"success","result":[]})", "application/json");
        });
        s.Get("/rating", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("not json", "text/plain");
        });
        s.Get("/market_total", [this](const httplib::Request&, httplib::Response& res) {
            ++breadthRequests_;
            if (breadthMode_ == 1) {
                res.status = 500;
                return;
            }
            if (breadthMode_ == 2) {
                res.set_content("<html>busy</html>", "text/html");
                return;
            }
            auto band = [](const char* name, const char* section, int count, int type) {
                return QJsonObject{
                    {"name", name}, {"section", section}, {"count", count}, {"type", type}};
            };
            const QJsonArray hs{
                band("沪深", "涨停", 12, 1),        band("沪深", "0-2%", 400, 1),
                band("沪深", "平盘", 0, 0),         band("沪深", "2-4%", 100, -1),
                band("沪深", "up_counts", 3000, 1), band("沪深", "down_counts", 900, -1)};
            const QJsonArray sh{band("沪市", "涨停", 5, 1), band("沪市", "0-2%", 200, 1)};
            const QJsonArray sz{band("深市", "涨停", 0, 1), band("深市", "0-2%", 0, 1)};
            res.set_content(
                json(QJsonObject{{"HS", hs}, {"SH", sh}, {"SZ", sz}, {"CY", sz}}).toStdString(),
                "application/json");
        });
        s.Get("/down", [](const httplib::Request&, httplib::Response& res) {
            res.status = 503;
            res.set_content(R"({"code":"5030","msg":"market not ready"})", "application/json");
        });
    }

    LocalHttpServer server_;
    std::mutex mutex_;
    QJsonArray groups_;
    int updates_ = 0;
    QString lastLogin_;
    std::atomic<int> breadthMode_{0};
    std::atomic<int> breadthRequests_{0};
};

QUICK_TEST_MAIN_WITH_SETUP(qml_views, Setup)
#include "tst_qml_views.moc"
