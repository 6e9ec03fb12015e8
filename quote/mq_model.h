#pragma once

#include "libquote/quote.h"
#include "quote/quote_context.h"

#include <QObject>
#include <QString>

#include <vector>

// The data of one security for a quote view: minute lines and K-lines of the main security
// (series 0) and of overlaid ones (series 1 and up), the snapshot, the tick list, alerts and
// dividends. Each request takes a quote-engine context of its own and subscribes; replies
// are matched to those contexts and passed on as typed signals. Nothing is kept here: the
// pointers a signal carries are valid only while it is emitted, so receivers copy.
//
// What the series signals carry, and how a receiver keeps its window across them:
//
// updateKLine(k, index) — `index` is the user data of the context, i.e. the series index the
// request was made with (after cancelOtherKLine a kept series still reports its old index).
// Points are in ascending time. A block is one of
//   - a whole series: the newest rows asked for. It answers a request, a change of the
//     ex-rights mode (then it covers every row loaded so far) and the re-subscription after
//     a lost connection (then it may cover only the first page);
//   - a live push: the last bar sent before (changed or not) followed by the bars that have
//     begun since, so its first bar has the time of the receiver's last one;
//   - older rows after loadMoreKLine: bars that all end before the oldest bar held; empty
//     once the history is exhausted.
// One rule serves all three: a block whose last bar is older than the first bar held goes
// in front; otherwise every held bar from the block's first time on is replaced by the block
// (a push therefore replaces the last bar and appends, and a whole series replaces
// everything, or only the newer part after a reconnect). The visible window stays where the
// user put it unless it was anchored at the newest bar.
//
// updateMinute(minute, index) — `minute->append` 0: the block is the whole day (a request, a
// new trading day, a reconnect) and replaces the series; otherwise it continues the series:
// its first point is the last point sent before (it may have changed) and every held point
// from that time on is replaced by the block.
//
// updateDividend(div) follows every series-0 K-line request and getDividendData; cancelling
// the last K-line series or the dividend request emits an all-zero (empty) block.
class MQModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString code READ code NOTIFY codeInfoChanged)
    Q_PROPERTY(int market READ market NOTIFY codeInfoChanged)
    Q_PROPERTY(int type READ type NOTIFY codeInfoChanged)
    // Decimal places of the security's prices (0 before the first snapshot), so a chart bound
    // to the model prints prices as the snapshot does.
    Q_PROPERTY(int decimal READ decimal NOTIFY codeInfoChanged)
public:
    // Ex-rights modes of the main K-line series.
    enum DividendOption { DividendNone = 1, DividendForward = 2, DividendBackward = 4 };

    explicit MQModel(QObject* parent = nullptr);
    ~MQModel() override;

    QString code() const;
    int market() const;
    int type() const;
    int decimal() const { return info_.decimal; }

    Q_INVOKABLE void getMinuteData(const QString& code, uint market, int sIndex);
    Q_INVOKABLE void getHMinuteData(const QString& code, uint market, int sIndex, uint time);
    Q_INVOKABLE void cancelMinute(int sIndex);
    Q_INVOKABLE void cancelOtherMinute(int saveIndex = 0);

    Q_INVOKABLE void getKLineData(const QString& code, uint market, uint page_size, uint cycle,
                                  int sIndex);
    Q_INVOKABLE void cancelKLine(int sIndex);
    Q_INVOKABLE void cancelOtherKLine(int saveIndex = 0);
    Q_INVOKABLE void loadMoreKLine(uint page_size);

    Q_INVOKABLE void getPriceData(const QString& code, uint market);
    Q_INVOKABLE void cancelPrice();
    Q_INVOKABLE void getDetailData(const QString& acode, uint market, int sIndex, uint page_size);
    Q_INVOKABLE void cancelDetail();
    Q_INVOKABLE void getStockTipData(const QString& acode, uint market, uint page_size);
    Q_INVOKABLE void getStockTipData(uint block, uint page_size);
    Q_INVOKABLE void cancelStockTip();
    Q_INVOKABLE void getDividendData(const QString& acode, uint market);
    Q_INVOKABLE void cancelDividend();
    Q_INVOKABLE void setDividendCmd(const QString& cmd);

    // The rows a K-line request of `cycle` asks for: 2048 day, week or month bars stand for
    // "the whole history" and are sent as 9999.
    static int kLineRows(uint pageSize, uint cycle);

signals:
    void codeInfoChanged();
    void updateMinute(QuoteMinPoints* minute, int index);
    void updateKLine(QuoteKPoints* k, int index);
    void updateDividend(QuoteDividendPoints* div);
    void updatePrice(QuoteRealTimeMarket& rt);
    void updateDetail(QuoteDetailPoints& dp);
    void updateStockTip(QuoteReply* rpl);

public slots:
    void onQuoteReplayTypeMinute(QuoteReply* rpl);
    void onQuoteReplayTypeKLine(QuoteReply* rpl);
    void onQuoteReplayTypeDividend(QuoteReply* rpl);
    void onQuoteReplayTypePrice(QuoteReply* rpl);
    void onQuoteReplayTypeDetail(QuoteReply* rpl);
    void onQuoteReplayTypeStockTip(QuoteReply* rpl);

private:
    // Puts `ctx` at position `index` of a series list; false (nothing stored) when the index
    // is past the end or negative.
    static bool placeSeries(std::vector<QuoteContext>& list, int index, const QuoteContext& ctx);
    static void cancelFrom(std::vector<QuoteContext>& list, int index);
    static void keepOnly(std::vector<QuoteContext>& list, int index);
    static bool canPlace(const std::vector<QuoteContext>& list, int index);
    void requestMinute(const QString& code, uint market, int sIndex, bool history, uint time);
    void requestDividend(const QString& code, uint market);
    void applyDividendOption();
    void emitEmptyDividend();

    QuoteCodeInfo info_{};
    QuoteContext price_;
    QuoteContext detail_;
    QuoteContext stockTip_;
    QuoteContext dividend_;
    std::vector<QuoteContext> kLines_;
    std::vector<QuoteContext> minutes_;
    int dividendOption_ = DividendNone;
};
