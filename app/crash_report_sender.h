#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Sends the crash reports of earlier runs to the crash-report endpoint, one POST each, and
// removes a report once the server has accepted it. Failed sends keep the report for the next
// start. Runs asynchronously on the GUI thread's event loop.
class CrashReportSender : public QObject {
    Q_OBJECT
public:
    CrashReportSender(const QString& reportDir, const QUrl& endpoint, QObject* parent = nullptr);

    void start();

    // The control host's "/crash-reporter/" address.
    static QUrl endpointFor(const QUrl& controlUrl);

signals:
    void done(int sent, int failed);

private:
    void sendNext();

    QString reportDir_;
    QUrl endpoint_;
    QStringList queue_;
    QNetworkAccessManager manager_;
    int sent_ = 0;
    int failed_ = 0;
};
