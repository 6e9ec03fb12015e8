#include "app/single_application.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTextStream>

SingleApplication::SingleApplication(int& argc, char** argv, const QString& instanceName)
    : QApplication(argc, argv), instanceName_(instanceName) {
    checkInstance();
}

QString SingleApplication::serverName(const QString& instanceName) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        return instanceName;
    }
    return dir + QLatin1Char('/') + instanceName;
}

void SingleApplication::checkInstance() {
    const QString name = serverName(instanceName_);
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (socket.waitForConnected(500)) {
        running_ = true;
        const QStringList args = QCoreApplication::arguments();
        QTextStream stream(&socket);
        stream << (args.size() < 2 ? QString() : args.last());
        stream.flush();
        socket.waitForBytesWritten(30000);
        return;
    }

    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleApplication::newLocalConnection);
    if (!server_->listen(name) && server_->serverError() == QAbstractSocket::AddressInUseError) {
        // A name left behind by an instance that crashed.
        QLocalServer::removeServer(name);
        server_->listen(name);
    }
}

void SingleApplication::releaseInstanceName() {
    QLocalServer::removeServer(serverName(instanceName_));
    if (server_) {
        server_->close();
    }
}

void SingleApplication::newLocalConnection() {
    QLocalSocket* connection = server_ ? server_->nextPendingConnection() : nullptr;
    if (!connection) {
        return;
    }
    // The text the new instance sends is not interpreted.
    connection->waitForReadyRead(1000);
    delete connection;

    if (!window_) {
        return;
    }
    // Briefly staying on top is what brings the window above other programs' windows; the
    // original flags come back straight away.
    const Qt::WindowFlags flags = window_->flags();
    window_->raise();
    window_->setFlags(flags | Qt::WindowStaysOnTopHint);
    window_->requestActivate();
    window_->show();
    window_->setFlags(flags);
    window_->show();
    emit activatedByNewInstance();
}
