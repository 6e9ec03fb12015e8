#include "table/qstock_tip_view.h"

#include "quote/qstock_tip_model.h"

#include <QDateTime>
#include <QPainter>

namespace {

constexpr int kPad = 6;
const QColor kNameColor(0x00, 0xF4, 0xFF);
const QColor kHeaderColor(0x93, 0x97, 0x9D);
const QColor kSelected(34, 50, 79);
const QColor kGrid(42, 47, 54);

}  // namespace

QStockTipView::QStockTipView(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(false);
    connect(this, &QQuickItem::heightChanged, this, [this] {
        if (!follow_)
            setFirstRow(firstRow_);
        update();
    });
}

void QStockTipView::setModel(QStockTipModel* model) {
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model) {
        connect(model, &QStockTipModel::dataUpdated, this, &QStockTipView::onDataUpdated);
        connect(model, &QStockTipModel::selectIndexChanged, this,
                &QStockTipView::onSelectIndexChanged);
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            firstRow_ = 0;
            setFollow(true);
            emit firstRowChanged();
            update();
        });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) { onRowsRemoved(first, last); });
    }
    update();
}

void QStockTipView::setStyle(int style) {
    style_ = style;
    update();
}

void QStockTipView::setRowHeight(int rowHeight) {
    rowHeight_ = qMax(8, rowHeight);
    update();
}

int QStockTipView::rowCount() const {
    return model_ ? model_->count() : 0;
}

int QStockTipView::visibleRows() const {
    return qMax(0, int(height()) / rowHeight_ - 1);
}

int QStockTipView::lastFirstRow() const {
    return qMax(0, rowCount() - visibleRows());
}

int QStockTipView::firstRow() const {
    return follow_ ? lastFirstRow() : qBound(0, firstRow_, lastFirstRow());
}

void QStockTipView::setFirstRow(int row) {
    row = qBound(0, row, lastFirstRow());
    const bool atEnd = row >= lastFirstRow();
    if (row == firstRow_ && atEnd == follow_)
        return;
    firstRow_ = row;
    setFollow(atEnd);
    emit firstRowChanged();
    update();
}

void QStockTipView::setFollow(bool follow) {
    if (follow == follow_)
        return;
    follow_ = follow;
    emit followChanged();
    emit firstRowChanged();
    update();
}

void QStockTipView::scrollBy(int rows) {
    setFirstRow(firstRow() + rows);
}

int QStockTipView::rowAt(qreal y) const {
    if (y < rowHeight_ || y >= height())
        return -1;
    // A part row at the bottom is not painted, so it holds no alert either.
    const int line = int((y - rowHeight_) / rowHeight_);
    if (line >= visibleRows())
        return -1;
    const int row = firstRow() + line;
    return row < rowCount() ? row : -1;
}

void QStockTipView::onRowsRemoved(int first, int last) {
    // Alerts trimmed from the front move what the user scrolled to up with them.
    if (!follow_ && first == 0) {
        firstRow_ = qMax(0, firstRow_ - (last - first + 1));
        emit firstRowChanged();
    }
    update();
}

void QStockTipView::onDataUpdated(int) {
    if (follow_)
        emit firstRowChanged();
    update();
}

void QStockTipView::onSelectIndexChanged(int) {
    update();
}

void QStockTipView::paint(QPainter* p) {
    const qreal w = width();
    p->fillRect(QRectF(0, 0, w, height()), style_ == 0 ? QColor(25, 27, 31) : QColor(42, 47, 54));
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(qBound(11, rowHeight_ * 13 / 25, 16));
    p->setFont(font);

    // Time, name, kind and value: 18%, 30%, 28% and 24% of the width.
    const qreal xTime = kPad, wTime = w * 0.18;
    const qreal xName = xTime + wTime, wName = w * 0.30;
    const qreal xTip = xName + wName, wTip = w * 0.28;
    const qreal xVal = xTip + wTip, wVal = w - xVal - kPad;
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;

    p->setPen(kHeaderColor);
    p->drawText(QRectF(xTime, 0, wTime, rowHeight_), Qt::AlignLeft | flags, QStringLiteral("时间"));
    p->drawText(QRectF(xName, 0, wName, rowHeight_), Qt::AlignLeft | flags, QStringLiteral("名称"));
    p->drawText(QRectF(xTip, 0, wTip, rowHeight_), Qt::AlignLeft | flags, QStringLiteral("类型"));
    p->setPen(style_ == 0 ? kGrid : QColor(60, 66, 75));
    p->drawLine(QPointF(0, rowHeight_ - 0.5), QPointF(w, rowHeight_ - 0.5));

    if (!model_)
        return;
    const int first = firstRow();
    const int last = qMin(rowCount(), first + visibleRows());
    const int selected = model_->selectIndex();
    const QFontMetrics metrics(font);
    for (int r = first; r < last; ++r) {
        const QStockTipModel::Item& it = model_->item(r);
        const qreal y = rowHeight_ * (1 + r - first);
        if (r == selected)
            p->fillRect(QRectF(0, y, w, rowHeight_), kSelected);
        p->setPen(Qt::white);
        p->drawText(QRectF(xTime, y, wTime, rowHeight_), Qt::AlignLeft | flags,
                    QDateTime::fromSecsSinceEpoch(it.time).toString(QStringLiteral("HH:mm")));
        p->setPen(kNameColor);
        p->drawText(QRectF(xName, y, wName, rowHeight_), Qt::AlignLeft | flags,
                    metrics.elidedText(it.name, Qt::ElideRight, int(wName)));
        const QColor color(it.textColor);
        p->setPen(color.isValid() ? color : QColor(Qt::white));
        p->drawText(QRectF(xTip, y, wTip, rowHeight_), Qt::AlignLeft | flags,
                    metrics.elidedText(it.tip, Qt::ElideRight, int(wTip)));
        p->drawText(QRectF(xVal, y, wVal, rowHeight_), Qt::AlignRight | flags, it.val);
    }
}
