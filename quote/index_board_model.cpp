#include "quote/index_board_model.h"

#include "quote/quote_proxy.h"

namespace {

QString fixedText(const char* text, int size) {
    return QString::fromUtf8(text, int(qstrnlen(text, size)));
}

// Name, code, market, close, change, change rate, previous close, turnover and the
// fields the engine needs to rank by change rate.
const uint16_t kMarketFields[] = {0, 1, 2, 3, 4, 8, 11, 34, 35};

}  // namespace

IndexBoard::IndexBoard(QObject* parent) : QObject(parent) {}

void IndexBoard::setSnapshot(const QuoteRealTimeMarket& snapshot) {
    snapshot_ = snapshot;
    snapshot_.membership = nullptr;  // points into the reply, which is gone after dispatch
    emit dataChanged();
}

QString IndexBoard::name() const {
    return fixedText(snapshot_.info.name, sizeof snapshot_.info.name);
}

QString IndexBoard::code() const {
    return fixedText(snapshot_.info.code, sizeof snapshot_.info.code);
}

IndexBoardModel::IndexBoardModel(QObject* parent) : QObject(parent), ctx_(createQuoteContext()) {
    presets_[0] = quoteSecurityKey(QStringLiteral("1A0001"), 1);
    presets_[1] = quoteSecurityKey(QStringLiteral("399001"), 2);
    presets_[2] = quoteSecurityKey(QStringLiteral("399006"), 2);
    presets_[3] = quoteSecurityKey(QStringLiteral("399005"), 2);
    presets_[4] = quoteSecurityKey(QStringLiteral("1A0004"), 1);
    connect(QuoteProxy::instance(), &QuoteProxy::quotePeroidRealTime, this,
            &IndexBoardModel::onQuotePeroidRealTime, Qt::BlockingQueuedConnection);
}

// The context goes with its last owner, which also ends the subscription.
IndexBoardModel::~IndexBoardModel() = default;

QQmlListProperty<IndexBoard> IndexBoardModel::indexBoard() {
    return QQmlListProperty<IndexBoard>(this, &boards_);
}

void IndexBoardModel::ensureBoards(int count) {
    if (!boards_.isEmpty()) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        boards_.append(new IndexBoard(this));
    }
    emit indexBoardChanged();
}

void IndexBoardModel::setMarketFields() {
    quote_ctx_set_market_field(ctx_.get(), kMarketFields,
                               int(sizeof kMarketFields / sizeof kMarketFields[0]));
}

void IndexBoardModel::getIndexData() {
    ensureBoards(5);
    quote_ctx_set_type(ctx_.get(), 0);
    quote_ctx_set_peroid(ctx_.get(), 30);
    quote_ctx_set_code(ctx_.get(), presets_, 5);
    setMarketFields();
    quote_ctx_subscribe(ctx_.get());
}

void IndexBoardModel::getConceptData(int sort, int mode, int show_size) {
    sort_ = sort;
    mode_ = mode;
    showSize_ = qMax(0, show_size);
    ensureBoards(showSize_);
    quote_ctx_set_page(ctx_.get(), 0, pageSize_);
    quote_ctx_set_type(ctx_.get(), 0);
    quote_ctx_set_peroid(ctx_.get(), 30);
    quote_ctx_set_option(ctx_.get(), 4);
    quote_ctx_set_sort(ctx_.get(), 34, uint8_t(sort_));
    quote_ctx_set_category(ctx_.get(), 1016);
    setMarketFields();
    quote_ctx_subscribe(ctx_.get());
}

void IndexBoardModel::cancel() {
    quote_ctx_cancel(ctx_.get());
}

void IndexBoardModel::onQuotePeroidRealTime(QuoteReply* rpl) {
    if (!rpl || rpl->ctx != ctx_.get() || !rpl->payload) {
        return;
    }
    const auto* snapshots = static_cast<const QuoteRealTimeMarket*>(rpl->payload);
    const int count = int(rpl->count);
    if (mode_ == 0) {
        for (int i = 0; i < count && i < boards_.size(); ++i) {
            boards_[i]->setSnapshot(snapshots[i]);
        }
    } else {
        // The reply is ranked by change rate: the first half of the tiles take the head of
        // the ranking, the second half its tail, skipping what lies between.
        const int half = showSize_ / 2;
        int board = 0;
        for (int i = 0; i < half && i < count && board < boards_.size(); ++i) {
            boards_[board++]->setSnapshot(snapshots[i]);
        }
        for (int i = qMax(half, count - half); i < count && board < boards_.size(); ++i) {
            boards_[board++]->setSnapshot(snapshots[i]);
        }
    }
    emit dataChanged();
}
