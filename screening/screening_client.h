// The screening window's way to the screening service on our server: the choices (cycles,
// blocks, built-in formulas), checking conditions, and one screen at a time with progress,
// result and cancel. Asynchronous, on the thread that owns it (the GUI thread).
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>

namespace screening {

// Where a request went wrong: its message, and for a formula that does not compile the
// condition (from 0) and the line and column in its text.
struct RequestProblem {
    QString message;
    int condition = -1;
    int line = 0;
    int column = 0;
};

class ScreeningClient : public QObject {
    Q_OBJECT
public:
    explicit ScreeningClient(QObject* parent = nullptr);

    // base: the service address handed out as "url.condition_stock".
    void setBase(const QString& base) { base_ = base; }
    void fetchChoices();
    void check(const QJsonObject& request);
    void start(const QJsonObject& request);
    void cancel();
    bool running() const { return state_ != Idle; }

signals:
    void choicesReady(const QJsonObject& choices);
    void checked();
    void progress(int done, int total);
    void finished(const QJsonArray& items);  // [{"code", "market", "name"}]
    void cancelled();
    void failed(const screening::RequestProblem& problem);

private:
    enum State { Idle, Starting, Running };
    QNetworkReply* send(const QString& path, const QJsonObject* body);
    void poll();
    void sendCancel(const QString& id);

    QNetworkAccessManager net_;
    QString base_;
    State state_ = Idle;
    QString screenId_;
    int generation_ = 0;  // bumped by cancel: answers about an older screen are dropped
    QTimer pollTimer_;
};

}  // namespace screening
