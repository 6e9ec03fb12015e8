#include "table/qflow_list_view.h"

#include "quote/detailed_model.h"
#include "table/cell_format.h"
#include "table/qpage_model_sorter.h"

#include <QDateTime>
#include <QPainter>

namespace {

constexpr int kColumnWidth = 240;  // widest a flowing column gets
constexpr int kPad = 6;

}  // namespace

QFlowListView::QFlowListView(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void QFlowListView::setModel(QPageModelSorter* model) {
    if (sorter_)
        disconnect(sorter_, nullptr, this, nullptr);
    sorter_ = model;
    if (model) {
        auto repaint = [this] { update(); };
        connect(model, &QAbstractItemModel::modelReset, this, repaint);
        connect(model, &QAbstractItemModel::rowsInserted, this, repaint);
        connect(model, &QAbstractItemModel::rowsRemoved, this, repaint);
        connect(model, &QAbstractItemModel::dataChanged, this, repaint);
        connect(model, &QPageModelSorter::selectIndexChanged, this, repaint);
    }
    update();
}

void QFlowListView::setStyle(int style) {
    style_ = style;
    update();
}

void QFlowListView::setRowHeight(int rowHeight) {
    rowHeight_ = qMax(8, rowHeight);
    update();
}

void QFlowListView::paint(QPainter* p) {
    const QRectF area(0, 0, width(), height());
    p->fillRect(area, style_ == 0 ? QColor(25, 27, 31) : QColor(42, 47, 54));
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(qMax(10, rowHeight_ / 2));
    p->setFont(font);

    const int rows = sorter_ ? sorter_->rowCount() : 0;
    const int perColumn = qMax(1, int(height()) / rowHeight_ - 1);
    const int columns = style_ == 0 ? qMax(1, (rows + perColumn - 1) / perColumn) : 1;
    const qreal colWidth = style_ == 0 ? qMin<qreal>(width() / columns, kColumnWidth) : width();
    // Time, price, volume and direction share a column: 26%, 30%, 34% and 10%.
    const qreal wTime = colWidth * 0.26, wPrice = colWidth * 0.30, wVol = colWidth * 0.34;

    auto header = [&](qreal x) {
        p->setPen(Qt::white);
        const QRectF r(x + kPad, 0, colWidth - 2 * kPad, rowHeight_);
        p->drawText(QRectF(r.x(), 0, wTime, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                    QStringLiteral("时间"));
        p->drawText(QRectF(r.x() + wTime, 0, wPrice, rowHeight_), Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("价格"));
        p->drawText(QRectF(r.x() + wTime + wPrice, 0, wVol, rowHeight_),
                    Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("成交量"));
    };
    header(0);
    if (!sorter_ || rows == 0)
        return;

    const auto* ticks = qobject_cast<const QDetailedModel*>(sorter_->sourceModel());
    const int decimals = ticks ? ticks->getDecimal() : 2;
    const double preClose = sorter_->index(0, 0).data(5).toDouble();
    QString previousTime;
    qreal x = 0, y = rowHeight_;
    for (int r = 0; r < rows; ++r) {
        if (style_ == 0 && y + rowHeight_ > height() && r > 0) {
            x += colWidth;
            y = rowHeight_;
            header(x);
        }
        const QModelIndex i = sorter_->index(r, 0);
        const QString time =
            QDateTime::fromSecsSinceEpoch(i.data(1).toLongLong()).toString(QStringLiteral("HH:mm"));
        const double price = i.data(2).toDouble();
        const double vol = i.data(3).toDouble();
        const QString wind = i.data(4).toString();
        if (r == sorter_->selectIndex())
            p->fillRect(QRectF(x, y, colWidth, rowHeight_), QColor(34, 50, 79));
        const qreal left = x + kPad;
        if (style_ == 0 || time != previousTime) {
            p->setPen(QColor(0xAE, 0xB4, 0xC2));
            p->drawText(QRectF(left, y, wTime, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter, time);
        }
        previousTime = time;
        p->setPen(QColor(cellformat::riseColor(price, preClose)));
        p->drawText(QRectF(left + wTime, y, wPrice, rowHeight_), Qt::AlignRight | Qt::AlignVCenter,
                    QString::number(price, 'f', decimals));
        p->setPen(QColor(255, 128, 0));
        p->drawText(QRectF(left + wTime + wPrice, y, wVol, rowHeight_),
                    Qt::AlignRight | Qt::AlignVCenter, cellformat::amount(vol));
        p->setPen(wind == QLatin1String("B")   ? QColor(cellformat::kRise)
                  : wind == QLatin1String("S") ? QColor(cellformat::kFall)
                                               : QColor(cellformat::kFlat));
        p->drawText(QRectF(left + wTime + wPrice + wVol, y,
                           colWidth - 2 * kPad - wTime - wPrice - wVol, rowHeight_),
                    Qt::AlignCenter, wind);
        y += rowHeight_;
    }
}
