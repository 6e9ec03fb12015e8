#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Price colours, market number formatting, machine identifiers, text width and the updater
// launch for the views. Stateless apart from the cached machine identifiers.
class HUtil : public QObject {
    Q_OBJECT
public:
    explicit HUtil(QObject* parent = nullptr);

    Q_INVOKABLE QVariant getPriceColor(float close, float pclose) const;
    Q_INVOKABLE QVariant getWindColor(const QString& tag) const;
    Q_INVOKABLE QVariant formatPrice(float price, uint fixed) const;
    Q_INVOKABLE QVariant formatRate(float price, uint fixed, float cur_close) const;
    Q_INVOKABLE QVariant formatVol(float vol) const;
    Q_INVOKABLE QVariant formatFixed(float f, uint fixed) const;
    Q_INVOKABLE QVariant mac() const;
    Q_INVOKABLE QVariant getCpuId() const;
    Q_INVOKABLE QVariant getDiskNum() const;
    Q_INVOKABLE QVariant updateExe() const;
    Q_INVOKABLE QVariant stringWidth(const QString& str, const QString& name, int size,
                                     int weight) const;

    static constexpr const char* kRiseColor = "#FF3D3D";
    static constexpr const char* kFlatColor = "#FFFFFF";
    static constexpr const char* kFallColor = "#0FC351";
};
