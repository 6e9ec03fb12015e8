#pragma once

#include <QSortFilterProxyModel>

// A window of rows of a source model: rows startIndex up to startIndex + pageSize. The
// setters only store; updateShow applies them.
class QPageModelSorter : public QSortFilterProxyModel {
    Q_OBJECT
    Q_PROPERTY(int startIndex READ startIndex WRITE setStartIndex NOTIFY startIndexChanged)
    Q_PROPERTY(int pageSize READ pageSize WRITE setPageSize NOTIFY pageSizeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int selectIndex READ selectIndex WRITE setSelectIndex NOTIFY selectIndexChanged)
    Q_PROPERTY(int srcCount READ srcCount NOTIFY srcCountChanged)
public:
    explicit QPageModelSorter(QObject* parent = nullptr);

    int startIndex() const { return startIndex_; }
    int pageSize() const { return pageSize_; }
    int count() const { return rowCount(); }
    int selectIndex() const { return selectIndex_; }
    int srcCount() const;
    void setStartIndex(int i) { startIndex_ = i; }
    void setPageSize(int n) { pageSize_ = n; }
    void setSelectIndex(int i);

    Q_INVOKABLE void updateShow();
    void setSourceModel(QAbstractItemModel* source) override;

signals:
    void startIndexChanged(int startIndex);
    void pageSizeChanged(int pageSize);
    void countChanged(int count);
    void srcCountChanged(int count);
    void selectIndexChanged(int selectIndex);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void announceCounts();

    int startIndex_ = 0;
    int pageSize_ = 0;
    int selectIndex_ = -1;
};
