// The replies of the chart data model: each slot runs on the GUI thread while the engine
// thread waits, so the payloads handed on stay valid for exactly the emission.
#include "quote/mq_model.h"

#include <cstring>

namespace {

// The series index a context was requested with, or -1 when the context is not in the list.
int seriesIndexOf(const std::vector<QuoteContext>& list, const QuoteCtx* ctx) {
    for (const QuoteContext& c : list)
        if (c.get() == ctx)
            return int(quote_ctx_get_user_data(ctx));
    return -1;
}

}  // namespace

void MQModel::onQuoteReplayTypeMinute(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || !rpl->payload)
        return;
    const int index = seriesIndexOf(minutes_, rpl->ctx);
    if (index >= 0)
        emit updateMinute(static_cast<QuoteMinPoints*>(rpl->payload), index);
}

void MQModel::onQuoteReplayTypeKLine(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || !rpl->payload)
        return;
    const int index = seriesIndexOf(kLines_, rpl->ctx);
    if (index >= 0)
        emit updateKLine(static_cast<QuoteKPoints*>(rpl->payload), index);
}

void MQModel::onQuoteReplayTypeDividend(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || rpl->ctx != dividend_.get())
        return;
    if (rpl->payload)
        emit updateDividend(static_cast<QuoteDividendPoints*>(rpl->payload));
    else
        emitEmptyDividend();
    // The ex-rights mode is applied once the dividends are known; a receiver of the signal
    // may have cancelled the K-lines meanwhile, so the list is looked at only now.
    applyDividendOption();
}

void MQModel::onQuoteReplayTypePrice(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || rpl->ctx != price_.get())
        return;
    // A request for an unknown security is answered with an empty page: nothing to show and
    // no identity to take.
    if (!rpl->payload || rpl->count == 0)
        return;
    auto* rt = static_cast<QuoteRealTimeMarket*>(rpl->payload);
    std::memcpy(&info_, &rt->info, sizeof info_);
    emit codeInfoChanged();
    emit updatePrice(*rt);
}

void MQModel::onQuoteReplayTypeDetail(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || rpl->ctx != detail_.get() || !rpl->payload)
        return;
    emit updateDetail(*static_cast<QuoteDetailPoints*>(rpl->payload));
}

void MQModel::onQuoteReplayTypeStockTip(QuoteReply* rpl) {
    if (!rpl || !rpl->ctx || rpl->ctx != stockTip_.get())
        return;
    emit updateStockTip(rpl);
}
