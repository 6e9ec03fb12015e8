// The requests of the chart data model: one context per request, set up and subscribed.
#include "quote/mq_model.h"

#include "quote/quote_proxy.h"

#include <array>
#include <climits>
#include <cstring>

namespace {

// Request types and periods of the quote engine.
constexpr int kTypeSeries = 0;
constexpr int kTypeDividend = 1;
constexpr int kTypeAlert = 3;
constexpr int kPeriodSnapshot = 30;
constexpr int kPeriodTicks = 31;
constexpr int kPeriodMinute = 32;
constexpr uint kPeriodDay = 33;
constexpr uint kPeriodWeek = 39;
constexpr uint kPeriodMonth = 40;

// Snapshot fields the quote view shows: 0 to 46, then the further values it reads.
std::array<uint16_t, 56> snapshotFields() {
    std::array<uint16_t, 56> ids{};
    for (uint16_t i = 0; i <= 46; ++i)
        ids[i] = i;
    const uint16_t more[] = {49, 306, 350, 351, 1001, 1002, 1003, 1015, 1016};
    std::memcpy(ids.data() + 47, more, sizeof more);
    return ids;
}

void setCode(QuoteCtx* ctx, const QString& code, uint market) {
    const QuoteSecurityKey key = quoteSecurityKey(code, market);
    quote_ctx_set_code(ctx, &key, 1);
}

}  // namespace

MQModel::MQModel(QObject* parent) : QObject(parent) {
    // The proxy emits on the engine thread; each reply stays valid while the engine thread
    // waits for these slots to return.
    QuoteProxy* proxy = QuoteProxy::instance();
    const auto blocking = Qt::BlockingQueuedConnection;
    connect(proxy, &QuoteProxy::quoteReplayTypeMinute, this, &MQModel::onQuoteReplayTypeMinute,
            blocking);
    connect(proxy, &QuoteProxy::quoteReplayTypeKLine, this, &MQModel::onQuoteReplayTypeKLine,
            blocking);
    connect(proxy, &QuoteProxy::quoteReplayTypeDividend, this, &MQModel::onQuoteReplayTypeDividend,
            blocking);
    connect(proxy, &QuoteProxy::quoteReplayTypePrice, this, &MQModel::onQuoteReplayTypePrice,
            blocking);
    connect(proxy, &QuoteProxy::quoteDetail, this, &MQModel::onQuoteReplayTypeDetail, blocking);
    connect(proxy, &QuoteProxy::quoteStockTip, this, &MQModel::onQuoteReplayTypeStockTip, blocking);
}

MQModel::~MQModel() = default;

QString MQModel::code() const {
    return QString::fromUtf8(info_.code, int(qstrnlen(info_.code, sizeof info_.code)));
}

int MQModel::market() const {
    return info_.market;
}

int MQModel::type() const {
    // Until a snapshot names the security, views treat it as a stock.
    return info_.market == 0 ? 2 : info_.type;
}

int MQModel::kLineRows(uint pageSize, uint cycle) {
    const bool longCycle = cycle == kPeriodDay || cycle == kPeriodWeek || cycle == kPeriodMonth;
    if (pageSize == 2048 && longCycle)
        return 9999;
    return int(qMin<uint>(pageSize, uint(INT_MAX)));
}

// ---- Series lists ----------------------------------------------------------------------

bool MQModel::canPlace(const std::vector<QuoteContext>& list, int index) {
    // A negative index has no place in the list; one past the end appends.
    return index >= 0 && size_t(index) <= list.size();
}

bool MQModel::placeSeries(std::vector<QuoteContext>& list, int index, const QuoteContext& ctx) {
    if (!canPlace(list, index))
        return false;
    if (size_t(index) == list.size())
        list.push_back(ctx);
    else
        list[size_t(index)] = ctx;  // the replaced context is released by its handle
    return true;
}

void MQModel::cancelFrom(std::vector<QuoteContext>& list, int index) {
    const size_t from = size_t(qMax(index, 0));
    for (size_t i = from; i < list.size(); ++i)
        quote_ctx_cancel(list[i].get());
    if (from < list.size())
        list.erase(list.begin() + std::ptrdiff_t(from), list.end());
}

void MQModel::keepOnly(std::vector<QuoteContext>& list, int index) {
    if (index < 0 || size_t(index) >= list.size())
        return;
    // The kept context keeps its user data, so its replies still name its old index.
    QuoteContext kept = list[size_t(index)];
    list.clear();
    list.push_back(kept);
}

// ---- Minute lines ----------------------------------------------------------------------

void MQModel::requestMinute(const QString& code, uint market, int sIndex, bool history, uint time) {
    if (!canPlace(minutes_, sIndex))
        return;
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_page(ctx.get(), -1, 0);
    quote_ctx_set_type(ctx.get(), kTypeSeries);
    if (history)
        quote_ctx_set_time(ctx.get(), int64_t(time), 0, 0, 0);
    quote_ctx_set_peroid(ctx.get(), kPeriodMinute);
    setCode(ctx.get(), code, market);
    quote_ctx_set_user_data(ctx.get(), sIndex);
    placeSeries(minutes_, sIndex, ctx);
    quote_ctx_subscribe(ctx.get());
}

void MQModel::getMinuteData(const QString& code, uint market, int sIndex) {
    requestMinute(code, market, sIndex, false, 0);
}

void MQModel::getHMinuteData(const QString& code, uint market, int sIndex, uint time) {
    requestMinute(code, market, sIndex, true, time);
}

void MQModel::cancelMinute(int sIndex) {
    cancelFrom(minutes_, sIndex);
}

void MQModel::cancelOtherMinute(int saveIndex) {
    keepOnly(minutes_, saveIndex);
}

// ---- K-lines and dividends -------------------------------------------------------------

void MQModel::getKLineData(const QString& code, uint market, uint page_size, uint cycle,
                           int sIndex) {
    if (!canPlace(kLines_, sIndex))
        return;
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_page(ctx.get(), 0, kLineRows(page_size, cycle));
    quote_ctx_set_type(ctx.get(), kTypeSeries);
    quote_ctx_set_peroid(ctx.get(), int(cycle));
    setCode(ctx.get(), code, market);
    quote_ctx_set_user_data(ctx.get(), sIndex);
    placeSeries(kLines_, sIndex, ctx);
    quote_ctx_subscribe(ctx.get());
    // The dividends belong to the main security: an overlay's own would put its ex-dates
    // under the main security's bars.
    if (sIndex == 0)
        requestDividend(code, market);
}

void MQModel::cancelKLine(int sIndex) {
    cancelFrom(kLines_, sIndex);
    if (kLines_.empty()) {
        dividend_.reset();
        emitEmptyDividend();
    }
}

void MQModel::cancelOtherKLine(int saveIndex) {
    keepOnly(kLines_, saveIndex);
}

void MQModel::loadMoreKLine(uint page_size) {
    const int rows = int(qMin<uint>(page_size, uint(INT_MAX)));
    for (const QuoteContext& ctx : kLines_)
        quote_ctx_load_more(ctx.get(), rows);
}

void MQModel::requestDividend(const QString& code, uint market) {
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_type(ctx.get(), kTypeDividend);
    setCode(ctx.get(), code, market);
    dividend_ = ctx;
    quote_ctx_subscribe(ctx.get());
}

void MQModel::getDividendData(const QString& acode, uint market) {
    requestDividend(acode, market);
}

void MQModel::cancelDividend() {
    dividend_.reset();
    emitEmptyDividend();
}

void MQModel::emitEmptyDividend() {
    QuoteDividendPoints none;
    std::memset(&none, 0, sizeof none);
    emit updateDividend(&none);
}

void MQModel::setDividendCmd(const QString& cmd) {
    if (cmd == QLatin1String("fd"))
        dividendOption_ = DividendForward;
    else if (cmd == QLatin1String("bd"))
        dividendOption_ = DividendBackward;
    else
        dividendOption_ = DividendNone;
    applyDividendOption();
}

void MQModel::applyDividendOption() {
    if (kLines_.empty())
        return;
    quote_ctx_set_option(kLines_.front().get(), dividendOption_);
    quote_ctx_update(kLines_.front().get());
}

// ---- Snapshot, ticks and alerts --------------------------------------------------------

void MQModel::getPriceData(const QString& code, uint market) {
    static const std::array<uint16_t, 56> fields = snapshotFields();
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_type(ctx.get(), kTypeSeries);
    quote_ctx_set_peroid(ctx.get(), kPeriodSnapshot);
    setCode(ctx.get(), code, market);
    quote_ctx_set_market_field(ctx.get(), fields.data(), int(fields.size()));
    price_ = ctx;
    quote_ctx_subscribe(ctx.get());
}

void MQModel::cancelPrice() {
    price_.reset();
}

void MQModel::getDetailData(const QString& acode, uint market, int sIndex, uint page_size) {
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_type(ctx.get(), kTypeSeries);
    quote_ctx_set_peroid(ctx.get(), kPeriodTicks);
    setCode(ctx.get(), acode, market);
    quote_ctx_set_page(ctx.get(), sIndex, int(qMin<uint>(page_size, uint(INT_MAX))));
    detail_ = ctx;
    quote_ctx_subscribe(ctx.get());
}

void MQModel::cancelDetail() {
    detail_.reset();
}

void MQModel::getStockTipData(const QString& acode, uint market, uint page_size) {
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_type(ctx.get(), kTypeAlert);
    setCode(ctx.get(), acode, market);
    quote_ctx_set_page(ctx.get(), 0, int(qMin<uint>(page_size, uint(INT_MAX))));
    stockTip_ = ctx;
    quote_ctx_subscribe(ctx.get());
}

void MQModel::getStockTipData(uint block, uint page_size) {
    QuoteContext ctx = createQuoteContext();
    quote_ctx_set_type(ctx.get(), kTypeAlert);
    quote_ctx_set_block(ctx.get(), block, 0);
    quote_ctx_set_page(ctx.get(), 0, int(qMin<uint>(page_size, uint(INT_MAX))));
    stockTip_ = ctx;
    quote_ctx_subscribe(ctx.get());
}

void MQModel::cancelStockTip() {
    stockTip_.reset();
}
