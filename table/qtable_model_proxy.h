#pragma once

#include <QSortFilterProxyModel>

// A range of columns of a quote table, so that a view can show a fixed left part and a
// scrolling right part of the same rows. The range is set before the source is given; the
// setters only store.
class QTableModelProxy : public QSortFilterProxyModel {
    Q_OBJECT
    Q_PROPERTY(int startColumn READ startColumn WRITE setStartColumn NOTIFY startColumnChanged)
    Q_PROPERTY(int endColumn READ endColumn WRITE setEndColumn NOTIFY endColumnChanged)
    Q_PROPERTY(int style READ style WRITE setStyle NOTIFY styleChanged)
public:
    explicit QTableModelProxy(QObject* parent = nullptr);

    int startColumn() const { return startColumn_; }
    int endColumn() const { return endColumn_; }
    int style() const { return style_; }
    void setStartColumn(int c) { startColumn_ = c; }
    void setEndColumn(int c) { endColumn_ = c; }
    void setStyle(int s) { style_ = s; }

    // Applies a changed range to a proxy that already has its source.
    Q_INVOKABLE void updateColumns() { invalidateFilter(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

signals:
    void startColumnChanged(int startIndex);
    void endColumnChanged(int pageSize);
    void styleChanged(int style);

protected:
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex& sourceParent) const override;
    bool filterAcceptsRow(int, const QModelIndex&) const override { return true; }

private:
    int startColumn_ = 0;
    int endColumn_ = 0;
    int style_ = 0;
};
