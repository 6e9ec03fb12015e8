#include "quote/detailed_model.h"

#include "quote/mq_model.h"

QDetailedModel::QDetailedModel(QObject* parent) : QAbstractListModel(parent) {}

int QDetailedModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(ticks_.size());
}

QVariant QDetailedModel::roleValue(const Tick& t, int role) const {
    switch (role) {
        case TimeRole:
            return t.time;
        case PriceRole:
            return t.price;
        case VolRole:
            return t.vol;
        case WindRole:
            return t.wind;
        case PreCloseRole:
            return header_.pre_close;
        default:
            return QVariant();
    }
}

QVariant QDetailedModel::data(const QModelIndex& index, int role) const {
    return getItem(index.row(), role);
}

QHash<int, QByteArray> QDetailedModel::roleNames() const {
    return {{TimeRole, "time"},
            {PriceRole, "price"},
            {VolRole, "vol"},
            {WindRole, "wind"},
            {PreCloseRole, "pre_close"}};
}

void QDetailedModel::bindDataSignal(QObject* obj) {
    if (auto* model = qobject_cast<MQModel*>(obj))
        connect(model, &MQModel::updateDetail, this, &QDetailedModel::onUpdateDetail,
                Qt::DirectConnection);
}

void QDetailedModel::clearData() {
    beginResetModel();
    ticks_.clear();
    base_ = 0;
    endResetModel();
}

QVariant QDetailedModel::getItem(int index, int role) const {
    if (index < 0 || size_t(index) >= ticks_.size())
        return QVariant();
    return roleValue(ticks_[size_t(index)], role);
}

QJsonObject QDetailedModel::getItemJson(int index) const {
    if (index < 0 || size_t(index) >= ticks_.size())
        return QJsonObject();
    const Tick& t = ticks_[size_t(index)];
    return {{"time", double(t.time)},
            {"price", double(t.price)},
            {"vol", t.vol},
            {"wind", t.wind},
            {"pre_close", double(header_.pre_close)}};
}

QJsonArray QDetailedModel::getJson(int sIndex, int eIndex) const {
    QJsonArray out;
    const int n = int(ticks_.size());
    const int end = eIndex < 0 ? n : qMin(eIndex, n);
    for (int i = qMax(0, sIndex); i < end; ++i)
        out.append(getItemJson(i));
    return out;
}

bool QDetailedModel::isPreMinute(int index) const {
    if (index <= 0 || size_t(index) >= ticks_.size())
        return false;
    return ticks_[size_t(index)].time / 60 == ticks_[size_t(index) - 1].time / 60;
}

int QDetailedModel::getDecimal() const {
    return header_.decimal == 0 ? 2 : header_.decimal;
}

void QDetailedModel::onUpdateDetail(QuoteDetailPoints& dp) {
    header_ = dp;
    header_.points = nullptr;  // the reply's; never read after this call
    // The block replaces the ticks from its own position on. Matching by time instead would
    // drop a genuine trade done in the same second as the last one held. `base_` is the
    // day's number of the first tick held: the first block may start anywhere in the day. A
    // block that starts before the ticks held or leaves a gap after them does not continue
    // them (another day, another security): it starts the list over.
    const uint32_t first = dp.first_no;
    if (ticks_.empty() || first < base_ || first - base_ > ticks_.size()) {
        if (!ticks_.empty()) {
            beginResetModel();
            ticks_.clear();
            endResetModel();
        }
        base_ = first;
    } else if (first - base_ < ticks_.size()) {
        const int from = int(first - base_);
        beginRemoveRows(QModelIndex(), from, int(ticks_.size()) - 1);
        ticks_.resize(size_t(from));
        endRemoveRows();
    }
    const int n = int(ticks_.size());
    if (dp.count > 0 && dp.points) {
        beginInsertRows(QModelIndex(), n, n + int(dp.count) - 1);
        ticks_.reserve(ticks_.size() + dp.count);
        for (uint32_t i = 0; i < dp.count; ++i) {
            const QuoteDetailPoint& p = dp.points[i];
            ticks_.push_back({uint32_t(p.time), p.price, double(p.volume), p.count,
                              p.direction ? QString(QLatin1Char(p.direction)) : QString()});
        }
        endInsertRows();
    }
    emit dataUpdated(n);
}
