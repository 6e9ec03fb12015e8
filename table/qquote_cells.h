#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QStaticText>
#include <QTimer>
#include <QVariantList>

#include <vector>

// The cells of a column range of a quote table, painted as one item: the row backgrounds
// (selected and hovered rows in their colours), a flash behind a value that moved, fading
// out, and each cell's text in its colour and alignment, elided to its column. One item
// instead of a delegate per cell keeps a page change to a repaint: the scene holds a single
// node whatever the page shows, and a text is laid out only when it changes.
//
// The model speaks the quote table's roles (TableModel::Role): text, colour, flash colour,
// whether the flash runs, alignment (1 left, 2 right, else centred). The rows are
// `rowHeight` high with `spacing` between rows and columns, where the background shows.
class QQuoteCells : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(QAbstractItemModel* model READ model WRITE setModel NOTIFY modelChanged)
    // Widths by model column, counted from `firstColumn` of the whole table; columns past the
    // list are `columnWidth` wide.
    Q_PROPERTY(
        QVariantList columnWidths READ columnWidths WRITE setColumnWidths NOTIFY layoutChanged)
    Q_PROPERTY(int firstColumn READ firstColumn WRITE setFirstColumn NOTIFY layoutChanged)
    Q_PROPERTY(int columnWidth READ columnWidth WRITE setColumnWidth NOTIFY layoutChanged)
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight NOTIFY layoutChanged)
    Q_PROPERTY(int spacing READ spacing WRITE setSpacing NOTIFY layoutChanged)
    Q_PROPERTY(qreal contentX READ contentX WRITE setContentX NOTIFY contentXChanged)
    Q_PROPERTY(qreal contentY READ contentY WRITE setContentY NOTIFY contentYChanged)
    Q_PROPERTY(qreal contentWidth READ contentWidth NOTIFY contentSizeChanged)
    Q_PROPERTY(qreal contentHeight READ contentHeight NOTIFY contentSizeChanged)
    Q_PROPERTY(int selectedRow READ selectedRow WRITE setSelectedRow NOTIFY selectedRowChanged)
    Q_PROPERTY(int hoveredRow READ hoveredRow WRITE setHoveredRow NOTIFY hoveredRowChanged)
    Q_PROPERTY(QColor background MEMBER background_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor rowColor MEMBER rowColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor selectedColor MEMBER selectedColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor hoverColor MEMBER hoverColor_ NOTIFY colorsChanged)
    Q_PROPERTY(int flashMs MEMBER flashMs_ NOTIFY colorsChanged)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY layoutChanged)

public:
    explicit QQuoteCells(QQuickItem* parent = nullptr);

    QAbstractItemModel* model() const { return model_; }
    void setModel(QAbstractItemModel* model);
    QVariantList columnWidths() const { return widthList_; }
    void setColumnWidths(const QVariantList& widths);
    int firstColumn() const { return firstColumn_; }
    void setFirstColumn(int column);
    int columnWidth() const { return columnWidth_; }
    void setColumnWidth(int width);
    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);
    int spacing() const { return spacing_; }
    void setSpacing(int spacing);
    qreal contentX() const { return contentX_; }
    void setContentX(qreal x);
    qreal contentY() const { return contentY_; }
    void setContentY(qreal y);
    qreal contentWidth() const;
    qreal contentHeight() const;
    int selectedRow() const { return selectedRow_; }
    void setSelectedRow(int row);
    int hoveredRow() const { return hoveredRow_; }
    void setHoveredRow(int row);
    QFont font() const { return font_; }
    void setFont(const QFont& font);

    // Takes the model's shape and the widths anew, as after a change of its column range.
    Q_INVOKABLE void forceLayout();
    // Whether the cell shows a flash now.
    Q_INVOKABLE bool flashing(int row, int column) const;

    void paint(QPainter* painter) override;

signals:
    void modelChanged();
    void layoutChanged();
    void contentXChanged();
    void contentYChanged();
    void contentSizeChanged();
    void selectedRowChanged();
    void hoveredRowChanged();
    void colorsChanged();

private:
    struct Cell {
        QString text;
        QString colorName;
        QColor color;
        int align = 0;
        bool running = false;
        bool laidOut = false;  // `label` shows `text` elided to the column
        QStaticText label;
        qreal labelWidth = 0;
        QColor flash;
        qint64 flashStart = -1;  // on `clock_`; -1 when not flashing
    };

    void rebuild();
    void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    Cell* cellAt(int row, int column);
    const Cell* cellAt(int row, int column) const;
    // Reads the cell's roles; starts its flash where its text or its running flag changed
    // while the flash runs.
    void refresh(int row, int column, bool mayFlash);
    void layOut(Cell& cell, qreal width);
    // The flash colour at `now`: from the flash colour to transparent over `flashMs`.
    QColor fadeColor(const Cell& cell, qint64 now) const;
    QRectF cellRect(int row, int column) const;
    int widthOf(int column) const;
    void tick();

    QPointer<QAbstractItemModel> model_;
    QVariantList widthList_;
    std::vector<int> widths_;  // by column of the model
    std::vector<qreal> lefts_;
    int firstColumn_ = 0;
    int columnWidth_ = 85;
    int rowHeight_ = 26;
    int spacing_ = 1;
    qreal contentX_ = 0;
    qreal contentY_ = 0;
    int selectedRow_ = -1;
    int hoveredRow_ = -1;
    QColor background_{0x22, 0x27, 0x2E};
    QColor rowColor_{0x19, 0x1B, 0x1F};
    QColor selectedColor_{0x22, 0x30, 0x4C};
    QColor hoverColor_{0x2F, 0x2F, 0x2F, 0x80};
    int flashMs_ = 1000;
    QFont font_;
    int rows_ = 0;
    int columns_ = 0;
    std::vector<Cell> cells_;  // row-major, rows_ × columns_
    QElapsedTimer clock_;
    QTimer fadeTimer_;
};
