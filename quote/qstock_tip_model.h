#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QString>
#include <QVector>

#include "libquote/quote.h"

// The alert list of the market monitor, fed by the alert replies of one MQModel. The quote
// service answers a subscription with the newest alerts and then pushes the new ones, each
// push repeating the alerts it had already sent within the second of its first new one; the
// merge drops the held alerts from that second on before appending, so none shows twice.
// The list keeps at most `capacity` alerts (the oldest go first), so a busy market never
// grows it without bound whatever the view manages to paint.
class QStockTipModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int selectIndex READ selectIndex WRITE setSelectIndex NOTIFY selectIndexChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int capacity READ capacity WRITE setCapacity NOTIFY capacityChanged)
public:
    enum Role {
        TimeRole = 1,
        CodeRole,
        MarketRole,
        NameRole,
        TipRole,
        ValueRole,
        TextColorRole,
    };

    struct Item {
        quint32 time = 0;  // seconds since 1970
        QString code;
        int market = 0;
        QString name;
        QString tip;
        QString val;
        QString textColor;
    };

    static constexpr int kDefaultCapacity = 2000;

    explicit QStockTipModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int selectIndex() const { return selectIndex_; }
    void setSelectIndex(int selectIndex);
    int count() const { return int(items_.size()); }
    int capacity() const { return capacity_; }
    void setCapacity(int capacity);
    const Item& item(int row) const { return items_[row]; }

    Q_INVOKABLE void bindDataSignal(QObject* obj);
    Q_INVOKABLE void clearData();
    Q_INVOKABLE int getRole(const QString& name) const;
    Q_INVOKABLE QVariant getItem(int index, int role) const;

    // The text colour of an alert kind.
    static QString kindColor(int kind);

signals:
    void selectIndexChanged(int selectIndex);
    void countChanged();
    void capacityChanged();
    void dataUpdated(int n);

public slots:
    void onUpdateStockTip(QuoteReply* rpl);

private:
    // Removes rows [from, count) or [0, n) and keeps the selection on the same alert.
    void removeTail(int from);
    void removeHead(int n);

    QVector<Item> items_;
    int selectIndex_ = -1;
    int capacity_ = kDefaultCapacity;
    QPointer<QObject> source_;
};
