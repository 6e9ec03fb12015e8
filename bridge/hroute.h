#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// Splits a view URL ("app://qml/MQView.qml?code=600000&market=1") into its parts.
class HRoute : public QObject {
    Q_OBJECT
public:
    explicit HRoute(QObject* parent = nullptr);

    Q_INVOKABLE QJsonObject getRoute(const QString& url) const;
};
