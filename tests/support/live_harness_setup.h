// The set-up shared by the Quick harnesses that run views against a real server: it starts
// the server, stores its address document as the login window would, starts the quote engine
// and offers the QML side `testSetup` (ready, serverLog, screenshotDir). The including test
// defines VQ_SERVER_PATH and VQ_SCREENSHOT_DIR.
#ifndef VQ_TESTS_SUPPORT_LIVE_HARNESS_SETUP_H
#define VQ_TESTS_SUPPORT_LIVE_HARNESS_SETUP_H

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTimer>
#include <QtQuickTest>

#include "app/qml_types.h"
#include "bridge/data_folder.h"
#include "formula/formula_service.h"
#include "quote/quote_engine_thread.h"
#include "quote/stock_dictionary.h"
#include "service/qbase_service.h"
#include "tests/support/server_process.h"

class LiveHarnessSetup : public QObject {
    Q_OBJECT
public:
    LiveHarnessSetup() : server_(QStringLiteral(VQ_SERVER_PATH)) {}

    Q_INVOKABLE bool ready() const { return ready_; }
    Q_INVOKABLE QString serverLog() const { return server_.log(); }
    Q_INVOKABLE QString controlUrl() const { return QString::fromUtf8(server_.controlUrl()); }
    Q_INVOKABLE QString screenshotDir() const {
        QDir().mkpath(QStringLiteral(VQ_SCREENSHOT_DIR));
        return QStringLiteral(VQ_SCREENSHOT_DIR);
    }

public slots:
    void applicationAvailable() {
        registerQmlTypes();
        formula::registerBuiltinFormulas(formula::FormulaService::instance());
        if (!server_.start())
            return;
        qputenv("VELTOQUORIN_CONTROL_URL", server_.controlUrl());
        // The address document, as the login window would store it.
        QNetworkAccessManager network;
        QNetworkReply* reply = network.get(QNetworkRequest(
            QUrl(QString::fromUtf8(server_.controlUrl()) +
                 QStringLiteral("/v3clientcontrol?appName=VeltoQuorin&appVer=test"))));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonObject doc = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        if (doc.isEmpty())
            return;
        QBaseService().setServerAddress(doc);
        // The dictionary listens before the engine connects, so the code list is kept.
        StockDictionary::instance();
        engine_.start(
            [] { return QBaseService().getServerAddressValue(QStringLiteral("url.quote")); });
        ready_ = true;
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->setOfflineStoragePath(bridge::dataFolder());
        engine->rootContext()->setContextProperty("testSetup", this);
    }
    void cleanupTestCase() {
        if (engine_.running())
            engine_.stopAndJoin();
        server_.stop();
    }

private:
    ServerProcess server_;
    QuoteEngineThread engine_;
    bool ready_ = false;
};

#endif
