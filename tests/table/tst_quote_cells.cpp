// The painted cells of a quote table: which changes start a flash, what a shape change does
// to running flashes, the row colours, the grid lines and the scroll offset as painted, and
// texts kept inside their cells whatever their alignment and length.
#include <QAbstractTableModel>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <vector>

#include "table/qquote_cells.h"
#include "table/table_model.h"

namespace {

const QColor kBackground(0x22, 0x27, 0x2E);
const QColor kRow(0x19, 0x1B, 0x1F);
const QColor kSelected(0x22, 0x30, 0x4C);
const QColor kFlash(0xFF, 0x00, 0x00);

struct Cell {
    QString text;
    QString color = QStringLiteral("#FFFFFFFF");
    QString flash = QStringLiteral("#00000000");
    bool running = false;
    int align = 2;
};

// A table of cells speaking the quote table's roles.
class CellModel : public QAbstractTableModel {
public:
    CellModel(int rows, int columns)
        : rows_(rows), columns_(columns), cells_(size_t(rows * columns)) {}

    int rowCount(const QModelIndex& = QModelIndex()) const override { return rows_; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return columns_; }
    QVariant data(const QModelIndex& i, int role) const override {
        const Cell& c = cells_[size_t(i.row() * columns_ + i.column())];
        switch (role) {
            case TableModel::TextRole:
                return c.text;
            case TableModel::ColorRole:
                return c.color;
            case TableModel::FlashColorRole:
                return c.flash;
            case TableModel::IsRunRole:
                return c.running;
            case TableModel::AlignRole:
                return c.align;
            default:
                return QVariant();
        }
    }
    void set(int row, int column, const Cell& cell) {
        cells_[size_t(row * columns_ + column)] = cell;
        emit dataChanged(index(row, column), index(row, column));
    }
    void dropLastRow() {
        beginRemoveRows(QModelIndex(), rows_ - 1, rows_ - 1);
        --rows_;
        cells_.resize(size_t(rows_ * columns_));
        endRemoveRows();
    }

private:
    int rows_;
    int columns_;
    std::vector<Cell> cells_;
};

struct Fixture {
    CellModel model;
    QQuoteCells cells;

    Fixture(int rows, int columns) : model(rows, columns) {
        cells.setColumnWidths({60, 80, 100});
        cells.setColumnWidth(70);
        cells.setRowHeight(20);
        cells.setSpacing(1);
        cells.setProperty("background", kBackground);
        cells.setProperty("rowColor", kRow);
        cells.setProperty("selectedColor", kSelected);
        QFont font;
        font.setPixelSize(13);
        cells.setFont(font);
        cells.setModel(&model);
        cells.setSize(QSizeF(300, 100));
    }
    QImage paint() {
        QImage image(300, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter p(&image);
        cells.paint(&p);
        return image;
    }
};

// The leftmost and rightmost columns in `rect` holding a pixel of `ink`; (-1, -1) for none.
QPair<int, int> inkSpan(const QImage& image, const QRect& rect, QColor ink) {
    int first = -1, last = -1;
    for (int x = rect.left(); x <= rect.right(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            // Antialiased glyph edges mix the ink with the row: count clearly inked pixels.
            if (qAbs(c.red() - ink.red()) < 80 && c.green() > 150) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    return {first, last};
}

}  // namespace

class TestQuoteCells : public QObject {
    Q_OBJECT
private slots:
    void flashStarts_data() {
        QTest::addColumn<bool>("wasRunning");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("flashes");
        QTest::newRow("new value, flash asked") << false << "10.02" << true << true;
        QTest::newRow("new value, no flash asked") << false << "10.02" << false << false;
        QTest::newRow("same value, flash newly asked") << false << "10.01" << true << true;
        QTest::newRow("same value, flash still asked") << true << "10.01" << true << false;
        QTest::newRow("new value, flash still asked") << true << "10.02" << true << true;
        QTest::newRow("nothing changed") << false << "10.01" << false << false;
    }
    void flashStarts() {
        QFETCH(bool, wasRunning);
        QFETCH(QString, newText);
        QFETCH(bool, running);
        QFETCH(bool, flashes);
        Fixture f(2, 3);
        f.model.set(1, 2, {"10.01", "#FFFFFFFF", kFlash.name(QColor::HexArgb), wasRunning, 2});
        f.cells.forceLayout();  // the page as first shown: nothing flashes
        QVERIFY(!f.cells.flashing(1, 2));
        f.model.set(1, 2, {newText, "#FFFFFFFF", kFlash.name(QColor::HexArgb), running, 2});
        QCOMPARE(f.cells.flashing(1, 2), flashes);
        QVERIFY(!f.cells.flashing(0, 2));
        QVERIFY(!f.cells.flashing(1, 1));
    }

    void shapeChangeStopsFlashes() {
        Fixture f(3, 3);
        f.model.set(0, 0, {"1", "#FFFFFFFF", kFlash.name(QColor::HexArgb), true, 2});
        QVERIFY(f.cells.flashing(0, 0));
        f.model.dropLastRow();
        QVERIFY(!f.cells.flashing(0, 0));
        QCOMPARE(f.cells.contentHeight(), 2 * 21.0 - 1);
        // An index past the rows held is no cell.
        QVERIFY(!f.cells.flashing(2, 0));
        QVERIFY(!f.cells.flashing(-1, 0));
    }

    void contentWidthFromColumnRange_data() {
        QTest::addColumn<int>("firstColumn");
        QTest::addColumn<int>("columns");
        QTest::addColumn<qreal>("width");
        QTest::newRow("listed widths") << 0 << 3 << qreal(60 + 80 + 100 + 2);
        QTest::newRow("range past the list") << 2 << 3 << qreal(100 + 70 + 70 + 2);
        QTest::newRow("one column") << 1 << 1 << qreal(80);
        QTest::newRow("no columns") << 0 << 0 << qreal(0);
    }
    void contentWidthFromColumnRange() {
        QFETCH(int, firstColumn);
        QFETCH(int, columns);
        QFETCH(qreal, width);
        Fixture f(2, columns);
        f.cells.setFirstColumn(firstColumn);
        QCOMPARE(f.cells.contentWidth(), width);
    }

    void paintedColours_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<qreal>("contentX");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("plain row") << -1 << 0.0 << QPoint(2, 5) << kRow;
        QTest::newRow("selected row") << 0 << 0.0 << QPoint(2, 5) << kSelected;
        QTest::newRow("other row than the selected") << 1 << 0.0 << QPoint(2, 5) << kRow;
        QTest::newRow("line between columns") << -1 << 0.0 << QPoint(60, 5) << kBackground;
        QTest::newRow("line between rows") << -1 << 0.0 << QPoint(2, 20) << kBackground;
        QTest::newRow("below the last row") << -1 << 0.0 << QPoint(2, 60) << kBackground;
        QTest::newRow("scrolled: the line moves left")
            << -1 << 10.0 << QPoint(50, 5) << kBackground;
        QTest::newRow("scrolled: the old line is a cell") << -1 << 10.0 << QPoint(60, 5) << kRow;
    }
    void paintedColours() {
        QFETCH(int, selected);
        QFETCH(qreal, contentX);
        QFETCH(QPoint, at);
        QFETCH(QColor, expected);
        Fixture f(2, 3);
        f.cells.setSelectedRow(selected);
        f.cells.setContentX(contentX);
        QCOMPARE(f.paint().pixelColor(at), expected);
    }

    void flashPaintedBehindText() {
        Fixture f(2, 3);
        f.model.set(0, 1, {"", "#FFFFFFFF", kFlash.name(QColor::HexArgb), true, 2});
        const QColor c = f.paint().pixelColor(70, 10);
        // The flash has only begun to fade: nearly its full colour over the row.
        QVERIFY2(c.red() > 200 && c.green() < 40, qPrintable(c.name()));
        QCOMPARE(f.paint().pixelColor(70, 30), kRow);
    }

    void textsStayInTheirCells_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("minLeft");
        QTest::addColumn<int>("maxRight");
        // Column 1 spans 61..140; texts keep 6 pixels from its edges.
        QTest::newRow("right aligned") << "12.34" << 2 << 95 << 134;
        QTest::newRow("left aligned") << "12.34" << 1 << 67 << 110;
        QTest::newRow("centred") << "12.34" << 4 << 75 << 125;
        QTest::newRow("too long, elided") << "123456789012345678901234567890" << 2 << 67 << 134;
        QTest::newRow("too long, left aligned")
            << "123456789012345678901234567890" << 1 << 67 << 134;
    }
    void textsStayInTheirCells() {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(int, minLeft);
        QFETCH(int, maxRight);
        Fixture f(2, 3);
        f.model.set(0, 1, {text, "#FF00FF00", "#00000000", false, align});
        const QImage image = f.paint();
        const auto span = inkSpan(image, QRect(55, 0, 100, 20), QColor(0, 255, 0));
        QVERIFY2(span.first >= minLeft && span.second <= maxRight && span.first < span.second,
                 qPrintable(QStringLiteral("%1..%2").arg(span.first).arg(span.second)));
    }
};

QTEST_MAIN(TestQuoteCells)
#include "tst_quote_cells.moc"
