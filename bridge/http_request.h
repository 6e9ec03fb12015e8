#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QObject>
#include <QQmlParserStatus>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class HttpRequestPrivate;

// The request object every view uses for HTTP, shaped like a small XMLHttpRequest: open, set
// headers and a time-out, send, then read status and responseText when finished, error or
// timeout arrives. URL placeholders are filled from the login and base documents, and gzip
// bodies are inflated before they are handed over as text.
class HttpRequest : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QString responseText READ responseText NOTIFY responseTextChanged)
    Q_PROPERTY(State readyState READ readyState NOTIFY readyStateChanged)
    Q_PROPERTY(NetworkStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)

public:
    enum State { UnStart = 0, Loading = 1, Error = 2, Finished = 3, TimeOut = 4 };
    Q_ENUM(State)

    enum NetworkStatus {
        NoError = QNetworkReply::NoError,
        ConnectionRefusedError = QNetworkReply::ConnectionRefusedError,
        RemoteHostClosedError = QNetworkReply::RemoteHostClosedError,
        HostNotFoundError = QNetworkReply::HostNotFoundError,
        TimeoutError = QNetworkReply::TimeoutError,
        OperationCanceledError = QNetworkReply::OperationCanceledError,
        SslHandshakeFailedError = QNetworkReply::SslHandshakeFailedError,
        TemporaryNetworkFailureError = QNetworkReply::TemporaryNetworkFailureError,
        NetworkSessionFailedError = QNetworkReply::NetworkSessionFailedError,
        BackgroundRequestNotAllowedError = QNetworkReply::BackgroundRequestNotAllowedError,
        UnknownNetworkError = QNetworkReply::UnknownNetworkError,
        ProxyConnectionRefusedError = QNetworkReply::ProxyConnectionRefusedError,
        ProxyConnectionClosedError = QNetworkReply::ProxyConnectionClosedError,
        ProxyNotFoundError = QNetworkReply::ProxyNotFoundError,
        ProxyTimeoutError = QNetworkReply::ProxyTimeoutError,
        ProxyAuthenticationRequiredError = QNetworkReply::ProxyAuthenticationRequiredError,
        UnknownProxyError = QNetworkReply::UnknownProxyError,
        ContentAccessDenied = QNetworkReply::ContentAccessDenied,
        ContentOperationNotPermittedError = QNetworkReply::ContentOperationNotPermittedError,
        ContentNotFoundError = QNetworkReply::ContentNotFoundError,
        AuthenticationRequiredError = QNetworkReply::AuthenticationRequiredError,
        ContentReSendError = QNetworkReply::ContentReSendError,
        ContentConflictError = QNetworkReply::ContentConflictError,
        ContentGoneError = QNetworkReply::ContentGoneError,
        UnknownContentError = QNetworkReply::UnknownContentError,
        ProtocolUnknownError = QNetworkReply::ProtocolUnknownError,
        ProtocolInvalidOperationError = QNetworkReply::ProtocolInvalidOperationError,
        ProtocolFailure = QNetworkReply::ProtocolFailure,
        InternalServerError = QNetworkReply::InternalServerError,
        OperationNotImplementedError = QNetworkReply::OperationNotImplementedError,
        ServiceUnavailableError = QNetworkReply::ServiceUnavailableError,
        UnknownServerError = QNetworkReply::UnknownServerError,
    };
    Q_ENUM(NetworkStatus)

    explicit HttpRequest(QObject* parent = nullptr);
    HttpRequest(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~HttpRequest() override;

    QString responseText() const;
    State readyState() const;
    NetworkStatus status() const;
    QString statusText() const;

    void setNetworkAccessManager(QNetworkAccessManager* manager);
    QNetworkAccessManager* networkAccessManager() const;

    Q_INVOKABLE void clear();
    Q_INVOKABLE void setTimeout(int time);
    Q_INVOKABLE int getTimeout() const;
    Q_INVOKABLE void setRequestCookies(const QJsonObject& cookies);
    Q_INVOKABLE void setRequestHeader(const QJsonObject& headers);
    Q_INVOKABLE void setRequestHeader(const QByteArray& headerName, const QByteArray& value);
    Q_INVOKABLE QString getRequestHeader(const QString& headerName) const;
    Q_INVOKABLE void open(const QString& method, const QUrl& url, bool async);
    Q_INVOKABLE void open(const QString& method, const QUrl& url);
    Q_INVOKABLE void send(const QString& data);
    Q_INVOKABLE void send();
    Q_INVOKABLE QJsonArray getAllResponseHeader() const;

    void classBegin() override;
    void componentComplete() override;

signals:
    void started();
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void uploadProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void finished();
    void error();
    void timeout();
    void abort();
    void responseTextChanged();
    void readyStateChanged();
    void statusChanged();
    void statusTextChanged();

private:
    friend class HttpRequestPrivate;
    HttpRequestPrivate* d;
};
