#include "table/qquote_cells.h"

#include "table/table_model.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kTextMargin = 6;  // between a cell's edges and its text
constexpr int kFadeStepMs = 33;

}  // namespace

QQuoteCells::QQuoteCells(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setOpaquePainting(true);
    clock_.start();
    fadeTimer_.setInterval(kFadeStepMs);
    connect(&fadeTimer_, &QTimer::timeout, this, &QQuoteCells::tick);
    connect(this, &QQuickItem::widthChanged, this, [this] { update(); });
    connect(this, &QQuickItem::heightChanged, this, [this] { update(); });
    connect(this, &QQuoteCells::colorsChanged, this, [this] { update(); });
}

void QQuoteCells::setModel(QAbstractItemModel* model) {
    if (model_ == model)
        return;
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model) {
        // Any change of shape drops what the cells held, flashes included.
        auto reshape = [this] { forceLayout(); };
        connect(model, &QAbstractItemModel::modelReset, this, reshape);
        connect(model, &QAbstractItemModel::layoutChanged, this, reshape);
        connect(model, &QAbstractItemModel::rowsInserted, this, reshape);
        connect(model, &QAbstractItemModel::rowsRemoved, this, reshape);
        connect(model, &QAbstractItemModel::rowsMoved, this, reshape);
        connect(model, &QAbstractItemModel::columnsInserted, this, reshape);
        connect(model, &QAbstractItemModel::columnsRemoved, this, reshape);
        connect(model, &QAbstractItemModel::dataChanged, this, &QQuoteCells::onDataChanged);
    }
    forceLayout();
    emit modelChanged();
}

void QQuoteCells::setColumnWidths(const QVariantList& widths) {
    widthList_ = widths;
    forceLayout();
    emit layoutChanged();
}

void QQuoteCells::setFirstColumn(int column) {
    if (firstColumn_ == column)
        return;
    firstColumn_ = column;
    forceLayout();
    emit layoutChanged();
}

void QQuoteCells::setColumnWidth(int width) {
    if (columnWidth_ == width)
        return;
    columnWidth_ = width;
    forceLayout();
    emit layoutChanged();
}

void QQuoteCells::setRowHeight(int height) {
    height = qMax(1, height);
    if (rowHeight_ == height)
        return;
    rowHeight_ = height;
    emit layoutChanged();
    emit contentSizeChanged();
    update();
}

void QQuoteCells::setSpacing(int spacing) {
    spacing = qMax(0, spacing);
    if (spacing_ == spacing)
        return;
    spacing_ = spacing;
    forceLayout();
    emit layoutChanged();
}

void QQuoteCells::setContentX(qreal x) {
    if (qFuzzyCompare(contentX_ + 1, x + 1))
        return;
    contentX_ = x;
    emit contentXChanged();
    update();
}

void QQuoteCells::setContentY(qreal y) {
    if (qFuzzyCompare(contentY_ + 1, y + 1))
        return;
    contentY_ = y;
    emit contentYChanged();
    update();
}

qreal QQuoteCells::contentWidth() const {
    return lefts_.empty() ? 0 : lefts_.back() + widths_.back();
}

qreal QQuoteCells::contentHeight() const {
    return rows_ > 0 ? qreal(rows_) * (rowHeight_ + spacing_) - spacing_ : 0;
}

void QQuoteCells::setSelectedRow(int row) {
    if (selectedRow_ == row)
        return;
    selectedRow_ = row;
    emit selectedRowChanged();
    update();
}

void QQuoteCells::setHoveredRow(int row) {
    if (hoveredRow_ == row)
        return;
    hoveredRow_ = row;
    emit hoveredRowChanged();
    update();
}

void QQuoteCells::setFont(const QFont& font) {
    font_ = font;
    for (Cell& c : cells_)
        c.laidOut = false;
    emit layoutChanged();
    update();
}

int QQuoteCells::widthOf(int column) const {
    const int c = firstColumn_ + column;
    return c >= 0 && c < widthList_.size() ? widthList_[c].toInt() : columnWidth_;
}

void QQuoteCells::forceLayout() {
    rows_ = model_ ? model_->rowCount() : 0;
    columns_ = model_ ? model_->columnCount() : 0;
    widths_.assign(size_t(columns_), 0);
    lefts_.assign(size_t(columns_), 0);
    qreal x = 0;
    for (int c = 0; c < columns_; ++c) {
        widths_[size_t(c)] = widthOf(c);
        lefts_[size_t(c)] = x;
        x += widths_[size_t(c)] + spacing_;
    }
    cells_.assign(size_t(rows_) * size_t(columns_), Cell());
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c)
            refresh(r, c, false);
    fadeTimer_.stop();
    emit contentSizeChanged();
    update();
}

QQuoteCells::Cell* QQuoteCells::cellAt(int row, int column) {
    if (row < 0 || column < 0 || row >= rows_ || column >= columns_)
        return nullptr;
    return &cells_[size_t(row) * size_t(columns_) + size_t(column)];
}

const QQuoteCells::Cell* QQuoteCells::cellAt(int row, int column) const {
    return const_cast<QQuoteCells*>(this)->cellAt(row, column);
}

QRectF QQuoteCells::cellRect(int row, int column) const {
    return QRectF(lefts_[size_t(column)] - contentX_, row * (rowHeight_ + spacing_) - contentY_,
                  widths_[size_t(column)], rowHeight_);
}

void QQuoteCells::refresh(int row, int column, bool mayFlash) {
    Cell* cell = cellAt(row, column);
    if (!cell)
        return;
    const QModelIndex i = model_->index(row, column);
    const QString text = i.data(TableModel::TextRole).toString();
    const bool running = i.data(TableModel::IsRunRole).toBool();
    const bool textMoved = text != cell->text;
    if (mayFlash && running && (textMoved || !cell->running)) {
        cell->flash = QColor(i.data(TableModel::FlashColorRole).toString());
        cell->flashStart = clock_.elapsed();
        if (!fadeTimer_.isActive())
            fadeTimer_.start();
    }
    cell->running = running;
    if (textMoved) {
        cell->text = text;
        cell->laidOut = false;
    }
    const QString colorName = i.data(TableModel::ColorRole).toString();
    if (colorName != cell->colorName) {
        cell->colorName = colorName;
        cell->color = QColor(colorName);
        if (!cell->color.isValid())
            cell->color = Qt::white;
    }
    cell->align = i.data(TableModel::AlignRole).toInt();
}

void QQuoteCells::onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    if (!model_ || model_->rowCount() != rows_ || model_->columnCount() != columns_) {
        forceLayout();
        return;
    }
    const int lastRow = qMin(bottomRight.row(), rows_ - 1);
    const int lastColumn = qMin(bottomRight.column(), columns_ - 1);
    for (int r = qMax(0, topLeft.row()); r <= lastRow; ++r)
        for (int c = qMax(0, topLeft.column()); c <= lastColumn; ++c)
            refresh(r, c, true);
    // Always the whole item: a painted node made anew (a new size, a new window) keeps nothing
    // of what was painted before, so a repaint of only the changed cells could leave the
    // rest of the table empty.
    update();
}

void QQuoteCells::layOut(Cell& cell, qreal width) {
    // Shaping is most of the cost of a new text: a text that fits is shaped once.
    const qreal room = qMax<qreal>(0, width - 2 * kTextMargin);
    cell.label.setTextFormat(Qt::PlainText);
    cell.label.setText(cell.text);
    cell.label.prepare(QTransform(), font_);
    if (cell.label.size().width() > room) {
        cell.label.setText(QFontMetricsF(font_).elidedText(cell.text, Qt::ElideRight, room));
        cell.label.prepare(QTransform(), font_);
    }
    cell.labelWidth = cell.label.size().width();
    cell.laidOut = true;
}

QColor QQuoteCells::fadeColor(const Cell& cell, qint64 now) const {
    const qreal t = flashMs_ > 0 ? qreal(now - cell.flashStart) / flashMs_ : 1;
    if (cell.flashStart < 0 || t >= 1)
        return QColor(Qt::transparent);
    // Each channel straight to transparent black, as a colour animation to "transparent".
    const qreal k = 1 - qMax<qreal>(0, t);
    return QColor::fromRgbF(cell.flash.redF() * k, cell.flash.greenF() * k, cell.flash.blueF() * k,
                            cell.flash.alphaF() * k);
}

bool QQuoteCells::flashing(int row, int column) const {
    const Cell* cell = cellAt(row, column);
    return cell && fadeColor(*cell, clock_.elapsed()).alpha() > 0;
}

void QQuoteCells::tick() {
    const qint64 now = clock_.elapsed();
    bool fading = false;
    for (Cell& cell : cells_) {
        if (cell.flashStart >= 0 && now - cell.flashStart >= flashMs_)
            cell.flashStart = -1;
        fading = fading || cell.flashStart >= 0;
    }
    if (!fading)
        fadeTimer_.stop();
    update();
}

void QQuoteCells::paint(QPainter* p) {
    const QRectF area(0, 0, width(), height());
    const QRectF clip = p->hasClipping() ? p->clipBoundingRect() : area;
    p->fillRect(clip, background_);
    if (rows_ == 0 || columns_ == 0)
        return;
    p->setFont(font_);
    const QFontMetricsF metrics(font_);
    const qreal textTop = std::round((rowHeight_ - metrics.height()) / 2);
    const qint64 now = clock_.elapsed();
    const int pitch = rowHeight_ + spacing_;
    const int firstRow = qMax(0, int((contentY_ + clip.top()) / pitch));
    const int lastRow = qMin(rows_ - 1, int((contentY_ + clip.bottom()) / pitch));
    for (int r = firstRow; r <= lastRow; ++r) {
        const QColor& back = r == selectedRow_  ? selectedColor_
                             : r == hoveredRow_ ? hoverColor_
                                                : rowColor_;
        for (int c = 0; c < columns_; ++c) {
            const QRectF rect = cellRect(r, c);
            if (rect.right() < clip.left() || rect.left() > clip.right())
                continue;
            Cell& cell = cells_[size_t(r) * size_t(columns_) + size_t(c)];
            // The hover colour is translucent over the row colour's place: the table's
            // background shows through it.
            p->fillRect(rect, back);
            const QColor glow = fadeColor(cell, now);
            if (glow.alpha() > 0)
                p->fillRect(rect, glow);
            if (cell.text.isEmpty())
                continue;
            if (!cell.laidOut)
                layOut(cell, rect.width());
            const qreal room = rect.width() - 2 * kTextMargin;
            qreal x = rect.left() + kTextMargin;
            if (cell.align == 2)
                x += room - cell.labelWidth;
            else if (cell.align != 1)
                x += (room - cell.labelWidth) / 2;
            p->setPen(cell.color);
            p->drawStaticText(QPointF(std::round(x), rect.top() + textTop), cell.label);
        }
    }
}
