#include "quote/quote_proxy.h"

QuoteProxy* QuoteProxy::instance() {
    // A function-local static is initialised once even when the engine thread and the GUI
    // thread ask at the same moment.
    static QuoteProxy* proxy = new QuoteProxy;
    return proxy;
}

QuoteProxy::QuoteProxy() : QObject(nullptr) {
    qRegisterMetaType<QuoteReply*>("QuoteReply*");
}

QString QuoteProxy::lastServerName() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return serverName_;
}

int QuoteProxy::lastServerState() const {
    return serverState_.load();
}

void QuoteProxy::replyCallback(void*, QuoteReply* rpl) {
    instance()->onUpdate(rpl);
}

void QuoteProxy::onUpdate(QuoteReply* rpl) {
    if (!rpl)
        return;
    switch (rpl->type) {
        case QUOTE_REPLY_SERVER_STATE: {
            auto* s = static_cast<const QuoteServerState*>(rpl->payload);
            if (s) {
                QString name;
                if (s->server)
                    name = QString::fromUtf8(
                        s->server->name, int(qstrnlen(s->server->name, sizeof s->server->name)));
                {
                    std::lock_guard<std::mutex> lock(stateMutex_);
                    serverName_ = name;
                }
                serverState_ = s->state;
            }
            emit quoteServerState(rpl);
            break;
        }
        case QUOTE_REPLY_CODES:
            emit quoteCodes(rpl);
            break;
        case QUOTE_REPLY_REALTIME:
            emit quotePeroidRealTime(rpl);
            emit quoteReplayTypePrice(rpl);
            break;
        case QUOTE_REPLY_MINUTE:
            emit quoteReplayTypeMinute(rpl);
            break;
        case QUOTE_REPLY_KLINE:
            emit quoteReplayTypeKLine(rpl);
            break;
        case QUOTE_REPLY_DETAIL:
            emit quoteDetail(rpl);
            break;
        case QUOTE_REPLY_DIVIDEND:
            emit quoteReplayTypeDividend(rpl);
            break;
        case QUOTE_REPLY_STOCK_TIP:
            emit quoteStockTip(rpl);
            break;
        default:
            break;  // type 8 and unknown types carry nothing the terminal reads
    }
}
