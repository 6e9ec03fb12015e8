#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include "bridge/http_request.h"

class QNetworkAccessManager;
class QNetworkReply;

// State of one HttpRequest and its conversation with the network reply.
class HttpRequestPrivate : public QObject {
    Q_OBJECT
public:
    explicit HttpRequestPrivate(HttpRequest* owner);

    int timeout = 30000;
    QNetworkRequest request;
    QPointer<QNetworkReply> reply;
    QString method;
    HttpRequest::State readyState = HttpRequest::UnStart;
    int status = 0;
    QString statusText;
    QList<QPair<QByteArray, QByteArray>> responseHeaders;
    QByteArray responseText;
    QPointer<QNetworkAccessManager> manager;
    int requestCounter = 0;

    void setReadyState(HttpRequest::State state);
    void setStatusText(const QString& text);
    void adoptReply(QNetworkReply* next);
    void dropReply();
    void onTimeout(int counter);

public slots:
    void onFinished();

signals:
    void responseTextChanged();
    void readyStateChanged();
    void statusChanged();
    void statusTextChanged();
    void finished();
    void error();

private:
    HttpRequest* q;
};
