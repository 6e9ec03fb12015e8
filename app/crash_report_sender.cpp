#include "app/crash_report_sender.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "app/crash_reporter.h"

CrashReportSender::CrashReportSender(const QString& reportDir, const QUrl& endpoint,
                                     QObject* parent)
    : QObject(parent), reportDir_(reportDir), endpoint_(endpoint) {}

QUrl CrashReportSender::endpointFor(const QUrl& controlUrl) {
    QUrl url = controlUrl;
    url.setPath(QStringLiteral("/crash-reporter/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

void CrashReportSender::start() {
    queue_ = crash::pendingReports(reportDir_);
    sendNext();
}

void CrashReportSender::sendNext() {
    if (queue_.isEmpty()) {
        emit done(sent_, failed_);
        return;
    }
    const QString path = queue_.takeFirst();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ++failed_;
        sendNext();
        return;
    }
    QNetworkRequest request(endpoint_);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("text/plain; charset=utf-8"));
    request.setRawHeader("X-Report-Name", QFileInfo(path).fileName().toUtf8());
    request.setTransferTimeout(15000);
    QNetworkReply* reply = manager_.post(request, file.readAll());
    connect(reply, &QNetworkReply::finished, this, [this, reply, path] {
        const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && code >= 200 && code < 300) {
            QFile::remove(path);
            ++sent_;
        } else {
            ++failed_;
        }
        reply->deleteLater();
        sendNext();
    });
}
