#pragma once

#include <QList>
#include <QObject>
#include <QQmlListProperty>
#include <QString>

#include <memory>

#include "libquote/quote.h"
#include "quote/quote_context.h"

// One tile of an index or a concept block: the snapshot fields a tile shows.
class IndexBoard : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY dataChanged)
    Q_PROPERTY(QString code READ code NOTIFY dataChanged)
    Q_PROPERTY(int market READ market NOTIFY dataChanged)
    Q_PROPERTY(float close READ close NOTIFY dataChanged)
    Q_PROPERTY(float rf_value READ rfValue NOTIFY dataChanged)
    Q_PROPERTY(float rf_rate READ rfRate NOTIFY dataChanged)
    Q_PROPERTY(float pre_close READ preClose NOTIFY dataChanged)
    Q_PROPERTY(float sum READ sum NOTIFY dataChanged)
public:
    explicit IndexBoard(QObject* parent = nullptr);

    // Copies the snapshot (the reply is valid only while it is dispatched).
    void setSnapshot(const QuoteRealTimeMarket& snapshot);

    QString name() const;
    QString code() const;
    int market() const { return snapshot_.info.market; }
    float close() const { return snapshot_.close; }
    float rfValue() const { return snapshot_.rf_value; }
    float rfRate() const { return snapshot_.rf_rate; }
    float preClose() const { return snapshot_.pre_close; }
    float sum() const { return float(snapshot_.sum); }

signals:
    void dataChanged();

private:
    QuoteRealTimeMarket snapshot_{};
};

// Live snapshots of the five main indices (mode 0), or of the strongest and weakest concept
// blocks (mode 1), as a list of tiles.
class IndexBoardModel : public QObject {
    Q_OBJECT
    // The list itself changes only when the tiles are created; each tile reports its own data,
    // so views keep their tile items while prices move.
    Q_PROPERTY(QQmlListProperty<IndexBoard> indexBoard READ indexBoard NOTIFY indexBoardChanged)
public:
    explicit IndexBoardModel(QObject* parent = nullptr);
    ~IndexBoardModel() override;

    QQmlListProperty<IndexBoard> indexBoard();
    int boardCount() const { return boards_.size(); }
    IndexBoard* board(int index) const { return boards_.value(index); }
    int mode() const { return mode_; }
    // The context whose replies fill the tiles.
    QuoteCtx* context() const { return ctx_.get(); }

    Q_INVOKABLE void getIndexData();
    Q_INVOKABLE void getConceptData(int sort, int mode = 1, int show_size = 20);
    Q_INVOKABLE void cancel();

signals:
    void dataChanged();
    void indexBoardChanged();

public slots:
    void onQuotePeroidRealTime(QuoteReply* rpl);

private:
    void ensureBoards(int count);
    void setMarketFields();

    QList<IndexBoard*> boards_;
    QuoteContext ctx_;
    QuoteSecurityKey presets_[5]{};
    int mode_ = 0;
    int sort_ = 0;
    int pageSize_ = 200;
    int showSize_ = 20;
};
