#include "screening/screening_client.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace screening {

namespace {

constexpr int kPollMs = 150;
constexpr int kTimeoutMs = 15000;

// The answer object of a reply that succeeded; otherwise false with the problem filled.
bool readAnswer(QNetworkReply* reply, QJsonObject* answer, RequestProblem* problem) {
    *answer = QJsonDocument::fromJson(reply->readAll()).object();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 200 && answer->value(QStringLiteral("code")).toString() == "0000") {
        return true;
    }
    problem->message = answer->value(QStringLiteral("msg")).toString();
    if (problem->message.isEmpty()) {
        problem->message = QStringLiteral("选股服务无法访问：%1").arg(reply->errorString());
    }
    problem->condition = answer->value(QStringLiteral("condition")).toInt(-1);
    problem->line = answer->value(QStringLiteral("line")).toInt();
    problem->column = answer->value(QStringLiteral("column")).toInt();
    return false;
}

QString withId(const QString& path, const QString& id) {
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("id"), id);
    return path + QLatin1Char('?') + q.toString(QUrl::FullyEncoded);
}

}  // namespace

ScreeningClient::ScreeningClient(QObject* parent) : QObject(parent) {
    pollTimer_.setSingleShot(true);
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &ScreeningClient::poll);
}

QNetworkReply* ScreeningClient::send(const QString& path, const QJsonObject* body) {
    QNetworkRequest request(QUrl(base_ + path));
    request.setTransferTimeout(kTimeoutMs);
    if (!body) {
        return net_.get(request);
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return net_.post(request, QJsonDocument(*body).toJson(QJsonDocument::Compact));
}

void ScreeningClient::fetchChoices() {
    QNetworkReply* reply = send(QString(), nullptr);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        QJsonObject a;
        RequestProblem p;
        if (readAnswer(reply, &a, &p)) {
            emit choicesReady(a);
        } else {
            emit failed(p);
        }
    });
}

void ScreeningClient::check(const QJsonObject& request) {
    QNetworkReply* reply = send(QStringLiteral("/check"), &request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        QJsonObject a;
        RequestProblem p;
        if (readAnswer(reply, &a, &p)) {
            emit checked();
        } else {
            emit failed(p);
        }
    });
}

void ScreeningClient::start(const QJsonObject& request) {
    if (state_ != Idle) {
        return;
    }
    state_ = Starting;
    const int generation = ++generation_;
    QNetworkReply* reply = send(QStringLiteral("/screen"), &request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation] {
        reply->deleteLater();
        QJsonObject a;
        RequestProblem p;
        const bool ok = readAnswer(reply, &a, &p);
        const QString id = a.value(QStringLiteral("id")).toString();
        if (generation != generation_) {
            if (ok) {
                sendCancel(id);  // cancelled while it was being started
            }
            return;
        }
        if (!ok) {
            state_ = Idle;
            emit failed(p);
            return;
        }
        screenId_ = id;
        state_ = Running;
        pollTimer_.start();
    });
}

void ScreeningClient::poll() {
    if (state_ != Running) {
        return;
    }
    const int generation = generation_;
    QNetworkReply* reply = send(withId(QStringLiteral("/screen/status"), screenId_), nullptr);
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation] {
        reply->deleteLater();
        if (generation != generation_) {
            return;
        }
        QJsonObject a;
        RequestProblem p;
        if (!readAnswer(reply, &a, &p)) {
            state_ = Idle;
            emit failed(p);
            return;
        }
        emit progress(a.value(QStringLiteral("done")).toInt(),
                      a.value(QStringLiteral("total")).toInt());
        const QString state = a.value(QStringLiteral("state")).toString();
        if (state == QLatin1String("running")) {
            pollTimer_.start();
            return;
        }
        state_ = Idle;
        if (state == QLatin1String("done")) {
            emit finished(a.value(QStringLiteral("items")).toArray());
        } else {
            emit cancelled();
        }
    });
}

void ScreeningClient::sendCancel(const QString& id) {
    const QJsonObject empty;
    QNetworkReply* reply = send(withId(QStringLiteral("/screen/cancel"), id), &empty);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

void ScreeningClient::cancel() {
    if (state_ == Idle) {
        return;
    }
    ++generation_;
    pollTimer_.stop();
    if (state_ == Running) {
        sendCancel(screenId_);
    }
    state_ = Idle;
    screenId_.clear();
    emit cancelled();
}

}  // namespace screening
