#pragma once

#include "libquote/quote.h"

#include <QAbstractListModel>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <vector>

// The day's ticks of one security, fed by an MQModel (bindDataSignal). A block of ticks names
// the position of its first tick within the day's list; the block replaces everything held
// from that position on, so a push that repeats the last tick replaces it and a push of new
// ticks appends them, whatever their times. Views clear it (clearData) when they move to
// another security, since a block does not name its security.
class QDetailedModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { TimeRole = 1, PriceRole, VolRole, WindRole, PreCloseRole };

    explicit QDetailedModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void bindDataSignal(QObject* obj);
    Q_INVOKABLE void clearData();
    Q_INVOKABLE QVariant getItem(int index, int role) const;
    Q_INVOKABLE QJsonObject getItemJson(int index) const;
    Q_INVOKABLE QJsonArray getJson(int sIndex, int eIndex) const;
    Q_INVOKABLE QJsonArray getJson(int sIndex) const { return getJson(sIndex, -1); }
    Q_INVOKABLE QJsonArray getJson() const { return getJson(0, -1); }
    Q_INVOKABLE bool isPreMinute(int index) const;
    Q_INVOKABLE int getDecimal() const;
    float preClose() const { return header_.pre_close; }

signals:
    void dataUpdated(int n);

public slots:
    void onUpdateDetail(QuoteDetailPoints& dp);

private:
    struct Tick {
        uint32_t time;
        float price;
        double vol;
        int32_t count;
        QString wind;
    };
    QVariant roleValue(const Tick& t, int role) const;

    QuoteDetailPoints header_{};
    std::vector<Tick> ticks_;
    uint32_t base_ = 0;  // the day's number of ticks_[0]
};
