#include "quote/server_state_model.h"

#include "quote/quote_proxy.h"

ServerStateModel::ServerStateModel(QObject* parent) : QObject(parent) {
    QuoteProxy* proxy = QuoteProxy::instance();
    serverName_ = proxy->lastServerName();
    serverState_ = proxy->lastServerState();
    connect(proxy, &QuoteProxy::quoteServerState, this, &ServerStateModel::onQuoteServerState,
            Qt::BlockingQueuedConnection);
}

void ServerStateModel::onQuoteServerState(QuoteReply* rpl) {
    const auto* state = rpl ? static_cast<const QuoteServerState*>(rpl->payload) : nullptr;
    if (!state) {
        return;
    }
    serverState_ = state->state;
    serverName_ =
        state->server
            ? QString::fromUtf8(state->server->name,
                                int(qstrnlen(state->server->name, sizeof state->server->name)))
            : QString();
    emit dataChanged();
}
