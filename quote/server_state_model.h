#pragma once

#include <QObject>
#include <QString>

#include "libquote/quote.h"

// The connection state of the quote server for the status bar: it starts from the last state
// the engine reported and follows every later report.
class ServerStateModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString server_name READ serverName NOTIFY dataChanged)
    Q_PROPERTY(int server_state READ serverState NOTIFY dataChanged)
public:
    explicit ServerStateModel(QObject* parent = nullptr);

    QString serverName() const { return serverName_; }
    int serverState() const { return serverState_; }

signals:
    void dataChanged();

public slots:
    void onQuoteServerState(QuoteReply* rpl);

private:
    QString serverName_;
    int serverState_ = QUOTE_SERVER_DISCONNECTED;
};
