#include "quote/multi_stock_model.h"

#include "quote/quote_proxy.h"

#include <QJsonObject>

namespace {

// Option of a context whose answer is one snapshot block of the whole page.
constexpr int kListOption = 12;

QString fixedText(const char* text, int size) {
    return QString::fromUtf8(text, int(qstrnlen(text, size)));
}

}  // namespace

MultiStockModel::MultiStockModel(QObject* parent) : QObject(parent) {
    connect(QuoteProxy::instance(), &QuoteProxy::quotePeroidRealTime, this,
            &MultiStockModel::onQuotePeroidRealTime, Qt::BlockingQueuedConnection);
}

// The context goes with its last owner, which also ends the subscription.
MultiStockModel::~MultiStockModel() = default;

void MultiStockModel::setCtx(const QString& str) {
    const QByteArray text = str.toUtf8();
    QuoteCtx* parsed = quote_ctx_parse(text.constData(), text.size());
    if (!parsed) {
        ctx_.reset();
        return;
    }
    ctx_ = QuoteContext(parsed, [](QuoteCtx* ctx) { quote_ctx_release(ctx); });
    quote_ctx_set_option(ctx_.get(), kListOption);
    quote_ctx_request(ctx_.get());
}

void MultiStockModel::pageUp() {
    if (ctx_)
        quote_ctx_page_up(ctx_.get());
}

void MultiStockModel::pageDown() {
    if (ctx_)
        quote_ctx_page_down(ctx_.get());
}

void MultiStockModel::onQuotePeroidRealTime(QuoteReply* rpl) {
    if (!rpl || !ctx_ || rpl->ctx != ctx_.get()) {
        return;
    }
    rows_ = QJsonArray();
    const auto* snapshots = static_cast<const QuoteRealTimeMarket*>(rpl->payload);
    for (uint32_t i = 0; snapshots && i < rpl->count; ++i) {
        const QuoteCodeInfo& info = snapshots[i].info;
        rows_.append(QJsonObject{{QStringLiteral("code"), fixedText(info.code, sizeof info.code)},
                                 {QStringLiteral("market"), int(info.market)},
                                 {QStringLiteral("name"), fixedText(info.name, sizeof info.name)}});
    }
    emit dataChange(QVariant(rows_));
}
