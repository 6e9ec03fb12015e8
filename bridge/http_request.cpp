#include "bridge/http_request.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTimer>

#include "bridge/deployment.h"
#include "bridge/gzip_body.h"
#include "bridge/http_request_p.h"
#include "bridge/network_cookie_jar.h"
#include "bridge/url_placeholders.h"

// ---- HttpRequestPrivate -------------------------------------------------------------------

HttpRequestPrivate::HttpRequestPrivate(HttpRequest* owner) : QObject(owner), q(owner) {}

void HttpRequestPrivate::setReadyState(HttpRequest::State state) {
    if (readyState != state) {
        readyState = state;
        emit readyStateChanged();
    }
}

void HttpRequestPrivate::setStatusText(const QString& text) {
    if (statusText != text) {
        statusText = text;
        emit statusTextChanged();
    }
}

void HttpRequestPrivate::dropReply() {
    if (reply) {
        reply->disconnect(this);
        reply->disconnect(q);
        q->disconnect(reply);
        // The object that replaced or cleared this reply no longer reads it; without this the
        // manager would keep every reply of a long-lived request object until it goes away.
        reply->deleteLater();
    }
    reply = nullptr;
}

void HttpRequestPrivate::adoptReply(QNetworkReply* next) {
    dropReply();
    reply = next;
    connect(next, &QNetworkReply::finished, this, &HttpRequestPrivate::onFinished);
    connect(q, &HttpRequest::abort, next, &QNetworkReply::abort);
    connect(next, &QNetworkReply::downloadProgress, q, &HttpRequest::downloadProgress);
    connect(next, &QNetworkReply::uploadProgress, q, &HttpRequest::uploadProgress);
}

void HttpRequestPrivate::onTimeout(int counter) {
    if (!reply || !reply->isRunning() || counter != requestCounter) {
        return;
    }
    emit q->abort();
    emit q->timeout();
}

void HttpRequestPrivate::onFinished() {
    auto* finishedReply = qobject_cast<QNetworkReply*>(sender());
    if (!finishedReply || finishedReply != reply) {
        return;
    }
    const QByteArray body = finishedReply->readAll();
    if (body != responseText) {
        responseText = body;
        emit responseTextChanged();
    }
    const int code = int(finishedReply->error());
    if (code != 0) {
        if (code != status) {
            status = code;
            emit statusChanged();
        }
    } else if (status != 200) {
        status = 200;
        emit statusChanged();
    }
    responseHeaders = finishedReply->rawHeaderPairs();
    if (code != 0) {
        setReadyState(HttpRequest::Error);
        setStatusText(finishedReply->errorString());
        emit error();
    } else {
        setReadyState(HttpRequest::Finished);
        setStatusText(QString());
        emit finished();
    }
}

// ---- HttpRequest --------------------------------------------------------------------------

HttpRequest::HttpRequest(QObject* parent) : HttpRequest(nullptr, parent) {}

HttpRequest::HttpRequest(QNetworkAccessManager* manager, QObject* parent)
    : QObject(parent), d(new HttpRequestPrivate(this)) {
    d->manager = manager;
    connect(d, &HttpRequestPrivate::responseTextChanged, this, &HttpRequest::responseTextChanged);
    connect(d, &HttpRequestPrivate::readyStateChanged, this, &HttpRequest::readyStateChanged);
    connect(d, &HttpRequestPrivate::statusChanged, this, &HttpRequest::statusChanged);
    connect(d, &HttpRequestPrivate::statusTextChanged, this, &HttpRequest::statusTextChanged);
    connect(d, &HttpRequestPrivate::finished, this, &HttpRequest::finished);
    connect(d, &HttpRequestPrivate::error, this, &HttpRequest::error);
}

HttpRequest::~HttpRequest() {
    if (d->reply) {
        d->reply->disconnect(d);
        d->reply->abort();
        d->reply->deleteLater();
    }
}

QString HttpRequest::responseText() const {
    return bridge::decodeResponseBody(d->responseText);
}
HttpRequest::State HttpRequest::readyState() const {
    return d->readyState;
}
HttpRequest::NetworkStatus HttpRequest::status() const {
    return NetworkStatus(d->status);
}
QString HttpRequest::statusText() const {
    return d->statusText;
}

void HttpRequest::setNetworkAccessManager(QNetworkAccessManager* manager) {
    d->manager = manager;
}
QNetworkAccessManager* HttpRequest::networkAccessManager() const {
    return d->manager;
}

void HttpRequest::clear() {
    emit abort();
    d->responseHeaders.clear();
    d->request = QNetworkRequest();
    d->setReadyState(UnStart);
    d->method.clear();
    d->dropReply();
    d->requestCounter = 0;
}

void HttpRequest::setTimeout(int time) {
    if (d->readyState != Loading) {
        d->timeout = time;
    }
}

int HttpRequest::getTimeout() const {
    return d->timeout;
}

void HttpRequest::setRequestCookies(const QJsonObject& cookies) {
    if (d->readyState == Loading) {
        return;
    }
    QByteArray text;
    for (auto it = cookies.begin(); it != cookies.end(); ++it) {
        text += it.key().toUtf8() + '=' + it.value().toVariant().toString().toUtf8() + "; ";
    }
    d->request.setRawHeader("Cookie", text);
}

void HttpRequest::setRequestHeader(const QJsonObject& headers) {
    if (d->readyState == Loading) {
        return;
    }
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        d->request.setRawHeader(it.key().toUtf8(), it.value().toVariant().toString().toUtf8());
    }
}

void HttpRequest::setRequestHeader(const QByteArray& headerName, const QByteArray& value) {
    if (d->readyState != Loading) {
        d->request.setRawHeader(headerName, value);
    }
}

QString HttpRequest::getRequestHeader(const QString& headerName) const {
    return QString::fromUtf8(d->request.rawHeader(headerName.toUtf8()));
}

void HttpRequest::open(const QString& method, const QUrl& url, bool /*async*/) {
    open(method, url);
}

void HttpRequest::open(const QString& method, const QUrl& url) {
    QUrl target(bridge::fillUrlPlaceholders(url.toString(QUrl::FullyEncoded)));
    // A path without scheme and host ("/v3clientcontrol") names a service of the control
    // host, which is a deployment value the views do not know.
    if (target.isRelative() && target.host().isEmpty()) {
        target = bridge::controlUrl().resolved(target);
    }
    d->method = method;
    d->request.setUrl(target);
    d->setReadyState(UnStart);
    emit abort();
}

void HttpRequest::send() {
    send(QString());
}

void HttpRequest::send(const QString& data) {
    QNetworkAccessManager* manager = d->manager;
    if (!manager) {
        qDebug() << "NetAccessManager is nullptr";
        emit error();
        return;
    }
    if (d->readyState == Loading) {
        return;
    }
    auto* jar = qobject_cast<NetworkCookieJar*>(manager->cookieJar());
    if (jar && !d->request.hasRawHeader("Cookie")) {
        QByteArray text;
        for (const QNetworkCookie& cookie : jar->cookies()) {
            text += cookie.toRawForm(QNetworkCookie::NameAndValueOnly) + ';';
        }
        d->request.setRawHeader("Cookie", text);
    }

    const QString verb = d->method.toUpper();
    QNetworkReply* next = nullptr;
    if (verb == QLatin1String("GET")) {
        next = manager->get(d->request);
    } else if (verb == QLatin1String("POST")) {
        next = manager->post(d->request, data.toUtf8());
    } else if (verb == QLatin1String("PUT")) {
        next = manager->put(d->request, data.toUtf8());
    } else if (verb == QLatin1String("DELETE")) {
        next = manager->deleteResource(d->request);
    } else if (verb == QLatin1String("HEAD")) {
        next = manager->head(d->request);
    } else {
        qDebug() << "Invaild method :" << d->method;
        return;
    }

    d->adoptReply(next);
    const int counter = ++d->requestCounter;
    if (d->timeout > 0) {
        QTimer::singleShot(d->timeout, d, [this, counter] { d->onTimeout(counter); });
    }
    emit started();
    d->setReadyState(Loading);
}

QJsonArray HttpRequest::getAllResponseHeader() const {
    QJsonArray headers;
    for (const auto& pair : d->responseHeaders) {
        QJsonObject header;
        header.insert(QString::fromUtf8(pair.first), QString::fromUtf8(pair.second));
        headers.append(header);
    }
    return headers;
}

void HttpRequest::classBegin() {}

void HttpRequest::componentComplete() {
    if (QQmlEngine* engine = qmlEngine(this)) {
        d->manager = engine->networkAccessManager();
        qDebug() << "Set Net Access Manager Success";
    }
}
