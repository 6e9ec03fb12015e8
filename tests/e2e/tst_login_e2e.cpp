// Logging in through the real login window against a real server: the server is started as
// a process with a fresh data folder and the demo account.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtQuickTest>

#include "app/qml_types.h"
#include "bridge/data_folder.h"

class Setup : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE bool serverRunning() const { return server_.state() == QProcess::Running; }
    Q_INVOKABLE QString readDataFile(const QString& name) const {
        QFile file(bridge::dataFolder() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    Q_INVOKABLE QString serverLog() const { return QString::fromUtf8(log_); }

public slots:
    void applicationAvailable() {
        registerQmlTypes();
        const quint16 port = freePort();
        server_.setProcessChannelMode(QProcess::MergedChannels);
        connect(&server_, &QProcess::readyRead, this, [this] { log_ += server_.readAll(); });
        server_.start(QStringLiteral(VQ_SERVER_PATH),
                      {"serve", "--data", serverData_.path(), "--http",
                       QStringLiteral("127.0.0.1:%1").arg(port), "--quote",
                       QStringLiteral("127.0.0.1:%1").arg(freePort()), "--demo"});
        server_.waitForStarted(10000);
        // Ready when the HTTP port accepts connections.
        for (int i = 0; i < 200; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(100)) {
                break;
            }
            QThread::msleep(50);
        }
        qputenv("VELTOQUORIN_CONTROL_URL",
                QByteArray("http://127.0.0.1:") + QByteArray::number(port));
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->setOfflineStoragePath(bridge::dataFolder());
        engine->rootContext()->setContextProperty("testSetup", this);
    }
    void cleanupTestCase() {
        server_.terminate();
        if (!server_.waitForFinished(10000)) {
            server_.kill();
            server_.waitForFinished();
        }
    }

private:
    static quint16 freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    QTemporaryDir serverData_;
    QProcess server_;
    QByteArray log_;
};

QUICK_TEST_MAIN_WITH_SETUP(login_e2e, Setup)
#include "tst_login_e2e.moc"
