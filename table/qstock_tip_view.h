#pragma once

#include <QPointer>
#include <QQuickPaintedItem>

class QStockTipModel;

// The painted alert list: a header row and one row per alert (time, name, kind text in the
// alert's colour, value). Only the rows in sight are painted, and repaints requested while
// alerts pour in collapse into the next frame, so the list costs the same however fast the
// market fires. The newest alerts stay in sight unless the user scrolled back; scrolling to
// the end follows them again.
class QStockTipView : public QQuickPaintedItem {
    Q_OBJECT
    // First model row painted under the header.
    Q_PROPERTY(int firstRow READ firstRow WRITE setFirstRow NOTIFY firstRowChanged)
    // True while the newest alerts are kept in sight.
    Q_PROPERTY(bool follow READ follow WRITE setFollow NOTIFY followChanged)
public:
    explicit QStockTipView(QQuickItem* parent = nullptr);

    Q_INVOKABLE void setModel(QStockTipModel* model);
    Q_INVOKABLE void setStyle(int style);
    Q_INVOKABLE void setRowHeight(int rowHeight);
    Q_INVOKABLE int getRowHeight() const { return rowHeight_; }
    // The model row painted at `y` (item coordinates), −1 on the header or below the last.
    Q_INVOKABLE int rowAt(qreal y) const;
    // Rows that fit under the header.
    Q_INVOKABLE int visibleRows() const;
    // Moves the painted rows by `rows` (negative: towards older alerts).
    Q_INVOKABLE void scrollBy(int rows);

    int firstRow() const;
    void setFirstRow(int row);
    bool follow() const { return follow_; }
    void setFollow(bool follow);

    void paint(QPainter* painter) override;

signals:
    void firstRowChanged();
    void followChanged();

public slots:
    void onDataUpdated(int sIndex);
    void onSelectIndexChanged(int sIndex);

private:
    int rowCount() const;
    int lastFirstRow() const;
    void onRowsRemoved(int first, int last);

    QPointer<QStockTipModel> model_;
    int style_ = 1;
    int rowHeight_ = 25;
    int firstRow_ = 0;  // used while not following
    bool follow_ = true;
};
