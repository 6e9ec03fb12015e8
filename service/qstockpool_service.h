#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariant>

// The read-only stock pool, loaded from "StockPool.json" in the data folder each time an
// instance is created; all instances share the one document.
class QStockPoolService : public QObject {
    Q_OBJECT
public:
    explicit QStockPoolService(QObject* parent = nullptr);

    Q_INVOKABLE void fromJson(const QString& json_str);
    Q_INVOKABLE QJsonObject getJson() const;
    Q_INVOKABLE QJsonArray getGroups() const;
    Q_INVOKABLE QVariant getGroupCodes(const QString& group_id) const;

    // The text used when the pool file is missing or empty.
    static QString defaultPoolText();
};
