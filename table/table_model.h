#pragma once

#include "libquote/quote.h"
#include "quote/quote_context.h"
#include "table/table_item_data.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <vector>

// The table behind every ranked or listed quote view: a block ranking, a watchlist or
// stock-pool group, or the blocks one security belongs to. It keeps one quote-engine list
// subscription; the engine sorts and pages, and each page it sends is laid over the rows
// held. A push only touches the cells whose text or colour changed (dataChanged per row
// span, rows inserted or removed at the end), so views keep their delegates and their
// selection; a cell whose value moved for the same security carries a flash colour until
// the next page that leaves it unchanged.
class TableModel : public QAbstractTableModel {
    Q_OBJECT
    Q_PROPERTY(QStringList fixedRow READ fixedRow NOTIFY fixedRowChanged)
    Q_PROPERTY(QStringList fixedHead READ fixedHead NOTIFY fixedRowChanged)
public:
    enum Role { TextRole = 0, ColorRole = 1, FlashColorRole = 2, IsRunRole = 3, AlignRole = 4 };

    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QStringList fixedRow() const;
    QStringList fixedHead() const;

    Q_INVOKABLE void initHeader(int mode_type);
    Q_INVOKABLE void setFixedColumn(uint n);
    Q_INVOKABLE uint fixedColumnCount() const { return fixedColumns_; }
    void setHeadersData(std::vector<TableItemData>& data);
    Q_INVOKABLE void setHeadersData(int column, const QString& text, const QString& color);
    Q_INVOKABLE QString getHeaderData(int column) const;
    Q_INVOKABLE QString getHeaderData(int column, int fixed) const;
    Q_INVOKABLE QString getHeaderColor(int column) const;
    Q_INVOKABLE QString getHeaderColor(int column, int fixed) const;
    Q_INVOKABLE int getSortField(int column) const;
    Q_INVOKABLE QJsonObject getCodeInfo(int row) const;
    Q_INVOKABLE double getBlockId(const QString& acode, int market) const;
    Q_INVOKABLE QString getRowColumnData(int row, int column) const;
    Q_INVOKABLE QString getTextColor(int row, int column) const;
    Q_INVOKABLE QString getTextAnimationColor(int row, int column) const;
    Q_INVOKABLE int headerMode() const { return mode_; }

    // List requests. Each cancels the running subscription and subscribes the reconfigured
    // context; a negative `field` asks for the engine's own order.
    Q_INVOKABLE void getQuotePeroidRealTime(uint block_id, int field, uint mode, uint page_size);
    Q_INVOKABLE void getGroupStockRealTime(int index, int field, uint mode, uint page_size);
    Q_INVOKABLE void getStockPoolRealTime(int index, int field, uint mode, uint page_size);
    Q_INVOKABLE void getMyStockRealTime(int index, int field, uint mode, uint page_size,
                                        uint page_index = 0);
    Q_INVOKABLE void getMyStockRealTime2(int index, int field, uint mode, uint page_size,
                                         uint page_index = 0);
    Q_INVOKABLE void getBlockIndex(const QString& acode, int market, int field, uint mode);
    // The securities of a group document {"result": [{"codes": [{"code", "market_id"}]}]}:
    // group `index`, requested as a code list in header mode 1. False (nothing changed, the
    // subscription running on) when the document has no such group.
    bool requestGroup(const QJsonObject& document, int index, int field, uint mode, uint page_size,
                      uint page_index);

    Q_INVOKABLE void pageUp();
    Q_INVOKABLE void pageDown();
    Q_INVOKABLE void cancel();
    Q_INVOKABLE void update();
    Q_INVOKABLE QString getCtx() const;
    // Replaces the context by one rebuilt from `str` and subscribes it. A text that is not a
    // context leaves the running subscription alone and answers false.
    Q_INVOKABLE bool resubscribe(const QString& str);
    Q_INVOKABLE void clear();

    const QuoteContext& context() const { return ctx_; }

signals:
    void textChange(int row, int column, QString sColor);
    void fixedRowChanged();
    void dataChange();

public slots:
    void onQuotePeroidRealTime(QuoteReply* rpl);

private:
    // Subscribes the codes of a group as a list in `headerMode`, or clears the table when
    // the group is empty.
    void subscribeCodes(const QJsonArray& codes, int headerMode, int field, uint mode,
                        uint page_size, uint page_index, bool shortList);
    // Cancels the running list and puts a fresh context in its place.
    QuoteCtx* renewContext();
    // Subscribes the reconfigured context; its pages are taken again after a cancel.
    void listen(QuoteCtx* ctx);
    const TableItemData* cellAt(int row, int column) const;
    // Lays row `r` (its new cells and values) over the held one; returns whether any cell
    // changed and the changed column span.
    bool mergeRow(size_t r, bool sameSecurity, std::vector<TableItemData>& cells,
                  std::vector<double>& values, int& first, int& last);

    std::vector<TableItemData> header_;
    std::vector<std::vector<TableItemData>> rows_;
    std::vector<std::vector<double>> values_;  // the number each cell shows, for flashes
    std::vector<QuoteCodeInfo> codes_;
    QHash<QString, qint64> blockIds_;
    uint fixedColumns_ = 2;
    QuoteContext ctx_;
    bool cancelled_ = false;
    int mode_ = 0;
    // Scratch rows of a reply, kept to spare allocations on every push.
    std::vector<TableItemData> scratchCells_;
    std::vector<double> scratchValues_;
};
