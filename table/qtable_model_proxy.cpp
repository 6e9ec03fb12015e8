#include "table/qtable_model_proxy.h"

QTableModelProxy::QTableModelProxy(QObject* parent) : QSortFilterProxyModel(parent) {}

int QTableModelProxy::rowCount(const QModelIndex& parent) const {
    // Style 1 lays a table on its side: one row per source column.
    if (style_ == 1 && sourceModel() && !parent.isValid())
        return sourceModel()->columnCount();
    return QSortFilterProxyModel::rowCount(parent);
}

bool QTableModelProxy::filterAcceptsColumn(int sourceColumn, const QModelIndex&) const {
    return sourceColumn >= startColumn_ && sourceColumn <= endColumn_;
}
