#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariant>

// The user's watchlist groups, shared by every instance for the life of the process.
class QMyStockService : public QObject {
    Q_OBJECT
public:
    explicit QMyStockService(QObject* parent = nullptr);

    Q_INVOKABLE void fromJson(const QString& json_str);
    Q_INVOKABLE QJsonObject getJson() const;
    Q_INVOKABLE bool isExist(const QString& code, int market) const;
    Q_INVOKABLE void addStock(int group_index, const QString& code, int market);
    Q_INVOKABLE void removeStock(const QString& code, int market);
    Q_INVOKABLE QVariant renameGroup(int group_index, const QString& name);
    Q_INVOKABLE QVariant getGroup(const QString& code, int market) const;
    Q_INVOKABLE int getGroupIndex(const QString& group_id) const;

signals:
    void updateMyStock();
};
