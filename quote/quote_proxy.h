#pragma once

#include "libquote/quote.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

// Turns every reply of the quote engine into one Qt signal per reply type. It is called on
// the engine thread; receivers connect with Qt::BlockingQueuedConnection, so the engine
// thread waits while each receiver reads the reply on its own thread. The reply is valid
// exactly that long: receivers copy what they keep.
class QuoteProxy : public QObject {
    Q_OBJECT
public:
    // The one instance, created on first use (on either thread) and kept to process exit.
    static QuoteProxy* instance();

    // The latest server-state reply, so that a model created later starts from it.
    QString lastServerName() const;
    int lastServerState() const;

    // The reply callback handed to quote_engine_run.
    static void replyCallback(void* reserved, QuoteReply* rpl);

signals:
    void quotePeroidRealTime(QuoteReply* rpl);
    void quoteReplayTypeMinute(QuoteReply* rpl);
    void quoteReplayTypeKLine(QuoteReply* rpl);
    void quoteReplayTypeDividend(QuoteReply* rpl);
    void quoteReplayTypePrice(QuoteReply* rpl);
    void quoteCodes(QuoteReply* rpl);
    void quoteDetail(QuoteReply* rpl);
    void quoteServerState(QuoteReply* rpl);
    void quoteStockTip(QuoteReply* rpl);

public slots:
    void onUpdate(QuoteReply* rpl);

private:
    QuoteProxy();
    // Written on the engine thread, read on the GUI thread when a model is created.
    mutable std::mutex stateMutex_;
    QString serverName_;
    std::atomic<int> serverState_{0};
};

Q_DECLARE_METATYPE(QuoteReply*)
