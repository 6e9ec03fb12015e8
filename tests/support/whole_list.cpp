#include "tests/support/whole_list.h"

#include "quote/quote_proxy.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString fixedText(const char* text, int size) {
    return QString::fromUtf8(text, int(qstrnlen(text, size)));
}

}  // namespace

WholeList::WholeList(uint32_t block) : ctx_(quote_ctx_create()) {
    connect(QuoteProxy::instance(), &QuoteProxy::quotePeroidRealTime, this, &WholeList::take,
            Qt::BlockingQueuedConnection);
    const uint16_t fields[] = {0, 1};
    quote_ctx_set_type(ctx_, 0);
    quote_ctx_set_peroid(ctx_, 30);
    quote_ctx_set_block(ctx_, block, 0);
    quote_ctx_set_option(ctx_, 4);
    quote_ctx_set_sort(ctx_, 0, 2);
    quote_ctx_set_market_field(ctx_, fields, 2);
    quote_ctx_set_page(ctx_, 0, 9999);
    quote_ctx_request(ctx_);
}

WholeList::~WholeList() {
    quote_ctx_release(ctx_);
}

QString WholeList::context(int pageLength) const {
    QJsonObject o = QJsonDocument::fromJson(quote_ctx_dump(ctx_)).object();
    o["page_"] = QJsonObject{{"no", 0}, {"length", pageLength}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void WholeList::take(QuoteReply* rpl) {
    if (rpl->ctx != ctx_)
        return;
    // A periodic request answers again: each answer replaces the rows.
    codes.clear();
    titles.clear();
    const auto* s = static_cast<const QuoteRealTimeMarket*>(rpl->payload);
    for (uint32_t i = 0; s && i < rpl->count; ++i) {
        const QString code = fixedText(s[i].info.code, sizeof s[i].info.code);
        codes << code;
        titles << fixedText(s[i].info.name, sizeof s[i].info.name) + "(" + code + ")";
    }
    answered = true;
    emit arrived();
}
