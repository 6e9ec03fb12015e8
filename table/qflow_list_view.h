#pragma once

#include <QPointer>
#include <QQuickPaintedItem>

class QPageModelSorter;

// The latest ticks as a compact list: time, price, volume and direction per row, flowing
// into further columns to the right when style 0 runs out of height.
class QFlowListView : public QQuickPaintedItem {
    Q_OBJECT
public:
    explicit QFlowListView(QQuickItem* parent = nullptr);

    Q_INVOKABLE void setModel(QPageModelSorter* model);
    Q_INVOKABLE void setStyle(int style);
    Q_INVOKABLE void setRowHeight(int rowHeight);

    void paint(QPainter* painter) override;

private:
    QPointer<QPageModelSorter> sorter_;
    int style_ = 0;
    int rowHeight_ = 25;
};
