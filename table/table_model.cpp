#include "table/table_model.h"

#include "quote/quote_proxy.h"
#include "table/cell_format.h"
#include "table/table_columns.h"
#include "table/table_row.h"

#include <QJsonObject>

namespace {

const QString kHeaderColor = QStringLiteral("#93979D");
const QString kNoColor = QStringLiteral("#00000000");
const QString kDefaultTextColor = QStringLiteral("#FFFFFFFF");

QString fixedText(const char* s, size_t n) {
    return QString::fromUtf8(s, int(qstrnlen(s, uint(n))));
}

QString keyOf(const QString& code, int market) {
    return code + QLatin1Char('_') + QString::number(market);
}

bool sameSecurity(const QuoteCodeInfo& a, const QuoteCodeInfo& b) {
    return a.market == b.market && qstrncmp(a.code, b.code, sizeof a.code) == 0;
}

}  // namespace

TableModel::TableModel(QObject* parent) : QAbstractTableModel(parent), ctx_(createQuoteContext()) {
    // The proxy emits on the engine thread, which waits while this slot copies the page.
    connect(QuoteProxy::instance(), &QuoteProxy::quotePeroidRealTime, this,
            &TableModel::onQuotePeroidRealTime, Qt::BlockingQueuedConnection);
}

TableModel::~TableModel() {
    if (ctx_)
        quote_ctx_cancel(ctx_.get());
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(header_.size());
}

const TableItemData* TableModel::cellAt(int row, int column) const {
    if (row < 0 || column < 0 || size_t(row) >= rows_.size())
        return nullptr;
    const std::vector<TableItemData>& cells = rows_[size_t(row)];
    return size_t(column) < cells.size() ? &cells[size_t(column)] : nullptr;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    const TableItemData* c = cellAt(index.row(), index.column());
    if (!c)
        return role == IsRunRole ? QVariant(false) : QVariant();
    switch (role) {
        case TextRole:
            return c->text;
        case ColorRole:
            return c->color;
        case FlashColorRole:
            return c->acolor;
        case IsRunRole:
            return c->acolor != kNoColor;
        case AlignRole:
            return c->align;
        default:
            return QVariant();
    }
}

QHash<int, QByteArray> TableModel::roleNames() const {
    return {{TextRole, "text_"},
            {ColorRole, "color_"},
            {FlashColorRole, "acolor_"},
            {IsRunRole, "isrun_"},
            {AlignRole, "align_"}};
}

QStringList TableModel::fixedRow() const {
    QStringList out;
    out.reserve(int(codes_.size()));
    for (const QuoteCodeInfo& c : codes_)
        out << fixedText(c.code, sizeof c.code);
    return out;
}

QStringList TableModel::fixedHead() const {
    QStringList out;
    for (size_t i = 0; i < header_.size() && i < fixedColumns_; ++i)
        out << header_[i].text;
    return out;
}

void TableModel::initHeader(int mode_type) {
    const auto& columns = tablecolumns::columnsOf(mode_type);
    std::vector<TableItemData> header;
    header.reserve(columns.size());
    for (const tablecolumns::Column& c : columns)
        header.push_back({c.title, kHeaderColor, kNoColor, 4});
    // Rows built for another column set would show under the wrong titles; they are dropped
    // and the next page fills the table again.
    const bool sameColumns =
        mode_type == mode_ || (mode_type <= 1 && mode_ <= 1 && mode_type >= 0 && mode_ >= 0);
    mode_ = mode_type;
    beginResetModel();
    header_ = std::move(header);
    if (!sameColumns) {
        rows_.clear();
        values_.clear();
        codes_.clear();
        blockIds_.clear();
    }
    endResetModel();
    emit fixedRowChanged();
}

void TableModel::setFixedColumn(uint n) {
    beginResetModel();
    fixedColumns_ = n;
    endResetModel();
    emit fixedRowChanged();
}

void TableModel::setHeadersData(std::vector<TableItemData>& data) {
    if (header_.empty())
        return;
    beginResetModel();
    header_ = data;
    endResetModel();
    emit fixedRowChanged();
}

void TableModel::setHeadersData(int column, const QString& text, const QString& color) {
    if (column < 0 || size_t(column) >= header_.size())
        return;
    header_[size_t(column)].text = text;
    header_[size_t(column)].color = color;
    emit headerDataChanged(Qt::Horizontal, column, column);
    emit fixedRowChanged();
}

QString TableModel::getHeaderData(int column) const {
    return column >= 0 && size_t(column) < header_.size() ? header_[size_t(column)].text
                                                          : QString();
}

QString TableModel::getHeaderData(int column, int fixed) const {
    return getHeaderData(column + fixed);
}

QString TableModel::getHeaderColor(int column) const {
    return column >= 0 && size_t(column) < header_.size() ? header_[size_t(column)].color
                                                          : kNoColor;
}

QString TableModel::getHeaderColor(int column, int fixed) const {
    return getHeaderColor(column + fixed);
}

int TableModel::getSortField(int column) const {
    const auto& columns = tablecolumns::columnsOf(mode_);
    if (column < 0 || size_t(column) >= columns.size())
        return -1;
    return columns[size_t(column)].sortField;
}

QJsonObject TableModel::getCodeInfo(int row) const {
    if (row < 0 || size_t(row) >= codes_.size())
        return QJsonObject();
    const QuoteCodeInfo& c = codes_[size_t(row)];
    const QString code = fixedText(c.code, sizeof c.code);
    return {{"code", code},
            {"name", fixedText(c.name, sizeof c.name)},
            {"pinyin", fixedText(c.pinyin, sizeof c.pinyin)},
            {"market", c.market},
            {"decimal", c.decimal},
            {"type", c.type},
            {"block_id", double(blockIds_.value(keyOf(code, c.market)))}};
}

double TableModel::getBlockId(const QString& acode, int market) const {
    const QuoteSecurityKey key = quoteSecurityKey(acode, unsigned(market));
    return double(quote_block_index_block_id1(&key));
}

QString TableModel::getRowColumnData(int row, int column) const {
    const TableItemData* c = cellAt(row, column);
    return c ? c->text : QString();
}

QString TableModel::getTextColor(int row, int column) const {
    const TableItemData* c = cellAt(row, column);
    return c ? c->color : kDefaultTextColor;
}

QString TableModel::getTextAnimationColor(int row, int column) const {
    const TableItemData* c = cellAt(row, column);
    return c ? c->acolor : kNoColor;
}

void TableModel::clear() {
    beginResetModel();
    rows_.clear();
    values_.clear();
    codes_.clear();
    blockIds_.clear();
    endResetModel();
    emit fixedRowChanged();
    emit dataChange();
}

bool TableModel::mergeRow(size_t r, bool same, std::vector<TableItemData>& cells,
                          std::vector<double>& values, int& first, int& last) {
    std::vector<TableItemData>& held = rows_[r];
    std::vector<double>& heldValues = values_[r];
    first = -1;
    last = -1;
    if (held.size() != cells.size()) {
        held.swap(cells);
        heldValues.swap(values);
        first = 0;
        last = int(held.size()) - 1;
        return !held.empty();
    }
    for (size_t c = 0; c < cells.size(); ++c) {
        TableItemData& cell = cells[c];
        TableItemData& old = held[c];
        const bool moved = same && cell.text != old.text && cell.align == 2;
        if (moved)
            cell.acolor = tablerow::flashColor(heldValues[c], values[c]);
        if (cell != old) {
            old.text.swap(cell.text);
            old.color.swap(cell.color);
            old.acolor.swap(cell.acolor);
            old.align = cell.align;
            if (first < 0)
                first = int(c);
            last = int(c);
        }
        heldValues[c] = values[c];
    }
    return first >= 0;
}

void TableModel::onQuotePeroidRealTime(QuoteReply* rpl) {
    if (!rpl || !ctx_ || rpl->ctx != ctx_.get() || cancelled_)
        return;
    const auto* quotes = static_cast<const QuoteRealTimeMarket*>(rpl->payload);
    const size_t count = quotes ? rpl->count : 0;
    const size_t held = rows_.size();
    const int firstNo = quote_ctx_get_page_first_no(ctx_.get()) + 1;
    const auto& columns = tablecolumns::columnsOf(mode_);

    bool codesChanged = count != held;
    if (count > 0)
        blockIds_.clear();
    codes_.resize(std::max(count, held));
    const QVector<int> roles{TextRole, ColorRole, FlashColorRole, IsRunRole, AlignRole};

    // Rows present before and after: merged in place.
    for (size_t i = 0; i < count; ++i) {
        const QuoteRealTimeMarket& q = quotes[i];
        const QString code = fixedText(q.info.code, sizeof q.info.code);
        blockIds_.insert(keyOf(code, q.info.market), q.block_id);
        if (i >= held)
            continue;
        const bool same = sameSecurity(codes_[i], q.info);
        if (!same) {
            codesChanged = true;
            codes_[i] = q.info;
        }
        tablerow::build(q, columns, mode_, firstNo + int(i), scratchCells_, scratchValues_);
        int first = -1, last = -1;
        if (mergeRow(i, same, scratchCells_, scratchValues_, first, last))
            emit dataChanged(index(int(i), first), index(int(i), last), roles);
    }
    // New rows at the end.
    if (count > held) {
        beginInsertRows(QModelIndex(), int(held), int(count) - 1);
        rows_.resize(count);
        values_.resize(count);
        for (size_t i = held; i < count; ++i) {
            codes_[i] = quotes[i].info;
            tablerow::build(quotes[i], columns, mode_, firstNo + int(i), rows_[i], values_[i]);
        }
        endInsertRows();
    } else if (count < held) {
        beginRemoveRows(QModelIndex(), int(count), int(held) - 1);
        rows_.resize(count);
        values_.resize(count);
        codes_.resize(count);
        endRemoveRows();
    }
    if (codesChanged)
        emit fixedRowChanged();
    emit dataChange();
}
