// The list requests of the quote table: each reconfigures the model's one context.
#include "table/table_model.h"

#include "service/cloud_group_document.h"
#include "service/qmystock_service.h"
#include "service/qstockpool_service.h"

#include <array>

namespace {

constexpr int kTypeSeries = 0;
constexpr int kPeriodSnapshot = 30;
constexpr int kOptionBlockRanking = 4;
constexpr int kOptionBlocksOfSecurity = 6;
constexpr int kOptionCodeList = 12;

// The snapshot fields each kind of list needs.
const std::array<uint16_t, 29> kFullFields{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                           10, 11, 12, 13, 14, 15, 32, 33, 34, 35,
                                           36, 37, 38, 39, 40, 41, 42, 46, 58};
const std::array<uint16_t, 11> kShortFields{0, 1, 2, 3, 4, 8, 9, 11, 33, 34, 35};
const std::array<uint16_t, 10> kBlockFields{0, 1, 2, 3, 4, 8, 11, 34, 35, 1015};

void setSort(QuoteCtx* ctx, int field, uint mode) {
    if (field < 0)
        quote_ctx_set_sort(ctx, 0, 2);
    else
        quote_ctx_set_sort(ctx, uint16_t(field), uint8_t(mode));
}

template <size_t N>
void setFields(QuoteCtx* ctx, const std::array<uint16_t, N>& ids) {
    quote_ctx_set_market_field(ctx, ids.data(), int(N));
}

}  // namespace

void TableModel::getQuotePeroidRealTime(uint block_id, int field, uint mode, uint page_size) {
    if (mode_ == -1)
        mode_ = 0;
    QuoteCtx* ctx = renewContext();
    quote_ctx_set_page(ctx, 0, int(page_size));
    quote_ctx_set_type(ctx, kTypeSeries);
    quote_ctx_set_peroid(ctx, kPeriodSnapshot);
    quote_ctx_set_code(ctx, nullptr, 0);
    quote_ctx_set_block(ctx, block_id, 0);
    quote_ctx_set_option(ctx, kOptionBlockRanking);
    setSort(ctx, field, mode);
    setFields(ctx, kFullFields);
    listen(ctx);
}

void TableModel::getBlockIndex(const QString& acode, int market, int field, uint mode) {
    if (mode_ != 3)
        initHeader(3);
    QuoteCtx* ctx = renewContext();
    // Every block of the security on one page: a page left from an earlier list would cut it.
    quote_ctx_set_page(ctx, 0, 0);
    quote_ctx_set_type(ctx, kTypeSeries);
    quote_ctx_set_peroid(ctx, kPeriodSnapshot);
    quote_ctx_set_block(ctx, 0, 0);
    quote_ctx_set_option(ctx, kOptionBlocksOfSecurity);
    setSort(ctx, field, mode);
    const QuoteSecurityKey key = quoteSecurityKey(acode, unsigned(market));
    quote_ctx_set_code(ctx, &key, 1);
    setFields(ctx, kBlockFields);
    listen(ctx);
}

void TableModel::subscribeCodes(const QJsonArray& codes, int headerMode, int field, uint mode,
                                uint page_size, uint page_index, bool shortList) {
    std::vector<QuoteSecurityKey> keys;
    keys.reserve(size_t(codes.size()));
    for (const QJsonValue& v : codes) {
        const QJsonObject entry = v.toObject();
        const QString code = entry.value("code").toString();
        if (code.isEmpty())
            continue;
        keys.push_back(quoteSecurityKey(code, entry.value("market_id").toString().toUInt()));
    }
    if (mode_ != headerMode)
        initHeader(headerMode);
    QuoteCtx* ctx = renewContext();
    if (keys.empty()) {
        clear();
        return;
    }
    quote_ctx_set_page(ctx, int(page_index), int(page_size));
    quote_ctx_set_type(ctx, kTypeSeries);
    quote_ctx_set_peroid(ctx, kPeriodSnapshot);
    quote_ctx_set_block(ctx, 0, 0);
    quote_ctx_set_option(ctx, kOptionCodeList);
    setSort(ctx, field, mode);
    quote_ctx_set_code(ctx, keys.data(), int(keys.size()));
    if (shortList)
        setFields(ctx, kShortFields);
    else
        setFields(ctx, kFullFields);
    listen(ctx);
}

bool TableModel::requestGroup(const QJsonObject& document, int index, int field, uint mode,
                              uint page_size, uint page_index) {
    const QJsonArray groups = document.value("result").toArray();
    if (index < 0 || index >= groups.size())
        return false;
    subscribeCodes(groups.at(index).toObject().value("codes").toArray(), 1, field, mode, page_size,
                   page_index, false);
    return true;
}

void TableModel::getGroupStockRealTime(int index, int field, uint mode, uint page_size) {
    requestGroup(service::cloudGroupDocument(), index, field, mode, page_size, 0);
}

void TableModel::getStockPoolRealTime(int index, int field, uint mode, uint page_size) {
    requestGroup(QStockPoolService().getJson(), index, field, mode, page_size, 0);
}

void TableModel::getMyStockRealTime(int index, int field, uint mode, uint page_size,
                                    uint page_index) {
    requestGroup(QMyStockService().getJson(), index, field, mode, page_size, page_index);
}

void TableModel::getMyStockRealTime2(int index, int field, uint mode, uint page_size,
                                     uint page_index) {
    const QJsonArray groups = QMyStockService().getJson().value("result").toArray();
    if (index < 0 || index >= groups.size())
        return;
    // The short list always shows the first group; `index` only has to name a group.
    subscribeCodes(groups.at(0).toObject().value("codes").toArray(), 2, field, mode, page_size,
                   page_index, true);
}

void TableModel::pageUp() {
    quote_ctx_page_up(ctx_.get());
}

void TableModel::pageDown() {
    quote_ctx_page_down(ctx_.get());
}

void TableModel::cancel() {
    quote_ctx_cancel(ctx_.get());
    // A page already on its way when the list was cancelled must not fill it again.
    cancelled_ = true;
}

void TableModel::update() {
    cancelled_ = false;
    quote_ctx_update(ctx_.get());
}

QuoteCtx* TableModel::renewContext() {
    // A new list takes a new context: pages of the previous list still on their way carry
    // the old one and are dropped, however late they come.
    quote_ctx_cancel(ctx_.get());
    ctx_ = createQuoteContext();
    return ctx_.get();
}

void TableModel::listen(QuoteCtx* ctx) {
    cancelled_ = false;
    quote_ctx_subscribe(ctx);
}

QString TableModel::getCtx() const {
    return QString::fromUtf8(quote_ctx_dump(ctx_.get()));
}

bool TableModel::resubscribe(const QString& str) {
    const QByteArray text = str.toUtf8();
    QuoteCtx* parsed = quote_ctx_parse(text.constData(), text.size());
    if (!parsed)
        return false;
    quote_ctx_cancel(ctx_.get());
    ctx_ = QuoteContext(parsed, [](QuoteCtx* c) { quote_ctx_release(c); });
    listen(parsed);
    return true;
}
