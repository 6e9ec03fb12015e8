#include "quote/qstock_tip_model.h"

#include <QMetaMethod>

namespace {

QString fixedText(const char* text, size_t size) {
    return QString::fromUtf8(text, int(qstrnlen(text, size)));
}

}  // namespace

QStockTipModel::QStockTipModel(QObject* parent) : QAbstractListModel(parent) {}

int QStockTipModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant QStockTipModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    return getItem(index.row(), role);
}

QHash<int, QByteArray> QStockTipModel::roleNames() const {
    return {{TimeRole, "time"},           {CodeRole, "code"}, {MarketRole, "market"},
            {NameRole, "name"},           {TipRole, "tip"},   {ValueRole, "val"},
            {TextColorRole, "text_color"}};
}

void QStockTipModel::setSelectIndex(int selectIndex) {
    if (selectIndex < -1 || selectIndex >= count())
        selectIndex = -1;
    if (selectIndex == selectIndex_)
        return;
    selectIndex_ = selectIndex;
    emit selectIndexChanged(selectIndex_);
}

void QStockTipModel::setCapacity(int capacity) {
    capacity = qMax(1, capacity);
    if (capacity == capacity_)
        return;
    capacity_ = capacity;
    if (count() > capacity_) {
        removeHead(count() - capacity_);
        emit countChanged();
    }
    emit capacityChanged();
}

void QStockTipModel::bindDataSignal(QObject* obj) {
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = obj;
    if (!obj)
        return;
    // Any object with the alert signal of MQModel will do.
    const int signal = obj->metaObject()->indexOfSignal("updateStockTip(QuoteReply*)");
    if (signal < 0) {
        source_ = nullptr;
        return;
    }
    const int slot = metaObject()->indexOfSlot("onUpdateStockTip(QuoteReply*)");
    connect(obj, obj->metaObject()->method(signal), this, metaObject()->method(slot));
}

void QStockTipModel::clearData() {
    beginResetModel();
    items_.clear();
    endResetModel();
    setSelectIndex(-1);
    emit countChanged();
}

int QStockTipModel::getRole(const QString& name) const {
    const QByteArray key = name.toUtf8();
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        if (it.value() == key)
            return it.key();
    return -1;
}

QVariant QStockTipModel::getItem(int index, int role) const {
    if (index < 0 || index >= count())
        return {};
    const Item& it = items_[index];
    switch (role) {
        case TimeRole:
            return it.time;
        case CodeRole:
            return it.code;
        case MarketRole:
            return it.market;
        case NameRole:
            return it.name;
        case TipRole:
            return it.tip;
        case ValueRole:
            return it.val;
        case TextColorRole:
            return it.textColor;
        default:
            return {};
    }
}

QString QStockTipModel::kindColor(int kind) {
    switch (kind) {
        case 1:
            return QStringLiteral("#FF3D3D");
        case 2:
            return QStringLiteral("#0FC351");
        case 3:
            return QStringLiteral("#006AFF");
        case 4:
            return QStringLiteral("#008080");
        default:
            return QStringLiteral("#ffffff");
    }
}

void QStockTipModel::removeTail(int from) {
    if (from >= count())
        return;
    beginRemoveRows(QModelIndex(), from, count() - 1);
    items_.resize(from);
    endRemoveRows();
    // A repeated alert comes back at the row it left, so the selection may stay; it is
    // dropped only should the list end up shorter (checked after the append).
}

void QStockTipModel::removeHead(int n) {
    if (n <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, n - 1);
    items_.erase(items_.begin(), items_.begin() + n);
    endRemoveRows();
    if (selectIndex_ >= 0) {
        selectIndex_ = selectIndex_ >= n ? selectIndex_ - n : -1;
        emit selectIndexChanged(selectIndex_);
    }
}

void QStockTipModel::onUpdateStockTip(QuoteReply* rpl) {
    const auto* tips = rpl ? static_cast<const QuoteStockTip*>(rpl->payload) : nullptr;
    const int n = tips ? int(qMin<quint32>(rpl->count, INT_MAX)) : 0;
    if (n <= 0)
        return;

    // The reply repeats what was sent within the second of its first alert. The held list is
    // in the order alerts fired, so every held alert from that second on is dropped; an
    // alert held from a later second (a reply after a reconnect starts over) goes as well,
    // since the reply carries the list from its first alert on.
    const quint32 first = quint32(tips[0].time);
    int keep = count();
    while (keep > 0 && items_[keep - 1].time >= first)
        --keep;
    removeTail(keep);

    // Only the newest `capacity` of a long reply can stay; older held alerts make room.
    const int skip = qMax(0, n - capacity_);
    const int adding = n - skip;
    removeHead(qMax(0, count() + adding - capacity_));

    const int at = count();
    beginInsertRows(QModelIndex(), at, at + adding - 1);
    items_.reserve(at + adding);
    for (int i = skip; i < n; ++i) {
        const QuoteStockTip& t = tips[i];
        Item it;
        it.time = quint32(t.time);
        it.code = fixedText(t.code, sizeof t.code);
        it.market = t.market;
        it.name = fixedText(t.name, sizeof t.name);
        it.tip = t.tip ? QString::fromUtf8(t.tip) : QString();
        it.val = fixedText(t.value, sizeof t.value);
        it.textColor = kindColor(t.kind);
        items_.push_back(std::move(it));
    }
    endInsertRows();
    if (selectIndex_ >= count())
        setSelectIndex(-1);
    emit countChanged();
    emit dataUpdated(at);
}
