#include "table/qpage_model_sorter.h"

QPageModelSorter::QPageModelSorter(QObject* parent) : QSortFilterProxyModel(parent) {
    // Counts follow every change of the window or the source, for views bound to them.
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(this, sig, this, &QPageModelSorter::announceCounts);
    connect(this, &QAbstractItemModel::modelReset, this, &QPageModelSorter::announceCounts);
}

int QPageModelSorter::srcCount() const {
    return sourceModel() ? sourceModel()->rowCount() : rowCount();
}

void QPageModelSorter::setSelectIndex(int i) {
    if (i == selectIndex_)
        return;
    selectIndex_ = i;
    emit selectIndexChanged(i);
}

void QPageModelSorter::updateShow() {
    beginResetModel();
    invalidateFilter();
    endResetModel();
}

void QPageModelSorter::setSourceModel(QAbstractItemModel* source) {
    if (sourceModel())
        disconnect(sourceModel(), nullptr, this, nullptr);
    QSortFilterProxyModel::setSourceModel(source);
    if (source) {
        // A source row outside the window changes srcCount without touching the proxy.
        connect(source, &QAbstractItemModel::rowsInserted, this, &QPageModelSorter::announceCounts);
        connect(source, &QAbstractItemModel::rowsRemoved, this, &QPageModelSorter::announceCounts);
        connect(source, &QAbstractItemModel::modelReset, this, &QPageModelSorter::announceCounts);
    }
    announceCounts();
}

bool QPageModelSorter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return sourceRow >= startIndex_ && sourceRow < startIndex_ + pageSize_;
}

void QPageModelSorter::announceCounts() {
    emit countChanged(count());
    emit srcCountChanged(srcCount());
}
