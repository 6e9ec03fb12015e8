#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Time formatting and parsing with Qt date-time patterns, in local time.
class HDatetime : public QObject {
    Q_OBJECT
public:
    explicit HDatetime(QObject* parent = nullptr);

    Q_INVOKABLE QVariant formatV(const QString& format, uint timestamp) const;
    Q_INVOKABLE QVariant fromStringV(const QString& str, const QString& fstr) const;
};
