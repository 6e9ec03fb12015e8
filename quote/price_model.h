#pragma once

#include "libquote/quote.h"

#include <QObject>
#include <QString>
#include <QVariantList>

// The latest snapshot of one security, published field by field for the quote panel. It is
// fed by an MQModel (bindDataSignal) and never talks to the quote engine itself.
class PriceModel : public QObject {
    Q_OBJECT
#define VQ_PRICE_PROPERTY(type, name) Q_PROPERTY(type name READ name NOTIFY dataChanged)
    VQ_PRICE_PROPERTY(QString, name)
    VQ_PRICE_PROPERTY(QString, code)
    VQ_PRICE_PROPERTY(int, market)
    VQ_PRICE_PROPERTY(int, decimal)
    VQ_PRICE_PROPERTY(QString, market_name)
    VQ_PRICE_PROPERTY(bool, margin_trading)
    VQ_PRICE_PROPERTY(QString, trade_tag)
    VQ_PRICE_PROPERTY(QString, trade_date)
    VQ_PRICE_PROPERTY(QString, trade_time)
    VQ_PRICE_PROPERTY(QVariantList, buy_tag)
    VQ_PRICE_PROPERTY(QVariantList, sell_tag)
    VQ_PRICE_PROPERTY(QVariantList, buy_price)
    VQ_PRICE_PROPERTY(QVariantList, sell_price)
    VQ_PRICE_PROPERTY(QVariantList, buy_vol)
    VQ_PRICE_PROPERTY(QVariantList, sell_vol)
    VQ_PRICE_PROPERTY(double, timestamp)
    VQ_PRICE_PROPERTY(float, pre_close)
    VQ_PRICE_PROPERTY(float, open)
    VQ_PRICE_PROPERTY(float, high)
    VQ_PRICE_PROPERTY(float, low)
    VQ_PRICE_PROPERTY(float, close)
    VQ_PRICE_PROPERTY(double, vol)
    VQ_PRICE_PROPERTY(double, cur_vol)
    VQ_PRICE_PROPERTY(double, sum)
    VQ_PRICE_PROPERTY(double, red_vol)
    VQ_PRICE_PROPERTY(double, green_vol)
    VQ_PRICE_PROPERTY(float, vol_rate)
    VQ_PRICE_PROPERTY(float, swap)
    VQ_PRICE_PROPERTY(float, amplitude)
    VQ_PRICE_PROPERTY(float, rf_value)
    VQ_PRICE_PROPERTY(float, rf_rate)
    VQ_PRICE_PROPERTY(float, committee)
    VQ_PRICE_PROPERTY(double, committee_diff)
    VQ_PRICE_PROPERTY(float, avg_price)
    VQ_PRICE_PROPERTY(double, d5_avg_vol)
    VQ_PRICE_PROPERTY(float, speed)
    VQ_PRICE_PROPERTY(float, rise_limit)
    VQ_PRICE_PROPERTY(float, fall_limit)
    VQ_PRICE_PROPERTY(float, pe)
    VQ_PRICE_PROPERTY(double, eps)
    VQ_PRICE_PROPERTY(double, float_shares)
    VQ_PRICE_PROPERTY(double, total_shares)
    VQ_PRICE_PROPERTY(double, float_shares_sum)
    VQ_PRICE_PROPERTY(double, total_shares_sum)
    VQ_PRICE_PROPERTY(double, ps_net_asset)
    VQ_PRICE_PROPERTY(int, rise_count)
    VQ_PRICE_PROPERTY(int, flat_count)
    VQ_PRICE_PROPERTY(int, fall_count)
    VQ_PRICE_PROPERTY(int, all_count)
    VQ_PRICE_PROPERTY(double, block_id)
    VQ_PRICE_PROPERTY(float, settle_price)
    VQ_PRICE_PROPERTY(float, pre_settle_price)
    VQ_PRICE_PROPERTY(double, open_interest)
    VQ_PRICE_PROPERTY(double, pre_open_interest)
    VQ_PRICE_PROPERTY(double, total_buy)
    VQ_PRICE_PROPERTY(double, total_sell)
    VQ_PRICE_PROPERTY(float, m5_rf_rate)
#undef VQ_PRICE_PROPERTY
public:
    explicit PriceModel(QObject* parent = nullptr);

    // Takes the snapshots `obj` (an MQModel) emits through updatePrice.
    Q_INVOKABLE void bindDataSignal(QObject* obj);

    QString name() const;
    QString code() const;
    int market() const {
        return rt_.info.market;
    }
    int decimal() const {
        return rt_.info.decimal;
    }
    QString market_name() const;
    bool margin_trading() const;
    QString trade_tag() const {
        return QString();
    }
    QString trade_date() const {
        return QString();
    }
    QString trade_time() const {
        return QString();
    }
    QVariantList buy_tag() const;
    QVariantList sell_tag() const;
    QVariantList buy_price() const;
    QVariantList sell_price() const;
    QVariantList buy_vol() const;
    QVariantList sell_vol() const;
    double timestamp() const {
        return double(rt_.timestamp);
    }
    float pre_close() const {
        return rt_.pre_close;
    }
    float open() const {
        return rt_.open;
    }
    float high() const {
        return rt_.high;
    }
    float low() const {
        return rt_.low;
    }
    float close() const {
        return rt_.close;
    }
    double vol() const {
        return double(rt_.vol);
    }
    double cur_vol() const {
        return double(rt_.cur_vol);
    }
    double sum() const {
        return rt_.sum;
    }
    double red_vol() const {
        return double(rt_.red_vol);
    }
    double green_vol() const {
        return double(rt_.green_vol);
    }
    float vol_rate() const {
        return rt_.vol_rate;
    }
    float swap() const {
        return rt_.swap;
    }
    float amplitude() const {
        return rt_.amplitude;
    }
    float rf_value() const {
        return rt_.rf_value;
    }
    float rf_rate() const {
        return rt_.rf_rate;
    }
    float committee() const {
        return rt_.committee;
    }
    double committee_diff() const {
        return double(rt_.committee_diff);
    }
    float avg_price() const {
        return rt_.avg_price;
    }
    double d5_avg_vol() const {
        return double(rt_.d5_avg_vol);
    }
    float speed() const {
        return rt_.speed;
    }
    float rise_limit() const {
        return rt_.rise_limit;
    }
    float fall_limit() const {
        return rt_.fall_limit;
    }
    float pe() const {
        return rt_.pe;
    }
    double eps() const {
        return rt_.eps;
    }
    double float_shares() const {
        return double(rt_.float_shares);
    }
    double total_shares() const {
        return double(rt_.total_shares);
    }
    double float_shares_sum() const {
        return double(float(rt_.float_shares) * rt_.close);
    }
    double total_shares_sum() const {
        return double(float(rt_.total_shares) * rt_.close);
    }
    double ps_net_asset() const {
        return rt_.ps_net_asset;
    }
    int rise_count() const {
        return rt_.rise_count;
    }
    int flat_count() const {
        return rt_.flat_count;
    }
    int fall_count() const {
        return rt_.fall_count;
    }
    int all_count() const {
        return rt_.all_count;
    }
    double block_id() const {
        return double(rt_.block_id);
    }
    float settle_price() const {
        return rt_.settle_price;
    }
    float pre_settle_price() const {
        return rt_.pre_settle_price;
    }
    double open_interest() const {
        return double(rt_.open_interest);
    }
    double pre_open_interest() const {
        return double(rt_.pre_open_interest);
    }
    double total_buy() const {
        return double(rt_.total_buy);
    }
    double total_sell() const {
        return double(rt_.total_sell);
    }
    float m5_rf_rate() const {
        return rt_.m5_rf_rate;
    }

signals:
    void dataChanged();

public slots:
    void onUpdatePrice(QuoteRealTimeMarket& rt);

private:
    QuoteRealTimeMarket rt_{};
};
