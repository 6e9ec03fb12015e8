#include "quote/price_model.h"

#include "quote/mq_model.h"

#include <cstring>

namespace {

QString fixedText(const char* s, size_t n) {
    return QString::fromUtf8(s, int(qstrnlen(s, uint(n))));
}

}  // namespace

PriceModel::PriceModel(QObject* parent) : QObject(parent) {}

void PriceModel::bindDataSignal(QObject* obj) {
    // Both live on the GUI thread; the snapshot is copied before the signal returns.
    if (auto* model = qobject_cast<MQModel*>(obj))
        connect(model, &MQModel::updatePrice, this, &PriceModel::onUpdatePrice,
                Qt::DirectConnection);
}

void PriceModel::onUpdatePrice(QuoteRealTimeMarket& rt) {
    const QuoteCodeInfo identity = rt_.info;
    std::memcpy(&rt_, &rt, sizeof rt_);
    // The pointer at the end belongs to the reply; nothing here reads it afterwards.
    rt_.membership = nullptr;
    if (rt_.info.code[0] == 0)
        rt_.info = identity;
    emit dataChanged();
}

QString PriceModel::name() const {
    return fixedText(rt_.info.name, sizeof rt_.info.name);
}

QString PriceModel::code() const {
    return fixedText(rt_.info.code, sizeof rt_.info.code);
}

QString PriceModel::market_name() const {
    if (rt_.info.market == 1)
        return QStringLiteral("沪");
    if (rt_.info.market == 2)
        return QStringLiteral("深");
    return QString();
}

bool PriceModel::margin_trading() const {
    if (rt_.info.code[0] == 0)
        return false;
    char code[sizeof rt_.info.code + 1] = {};
    std::memcpy(code, rt_.info.code, sizeof rt_.info.code);
    return quote_margin_is(code, uint8_t(rt_.info.market)) == 1;
}

QVariantList PriceModel::buy_tag() const {
    return {QStringLiteral("买一"), QStringLiteral("买二"), QStringLiteral("买三"),
            QStringLiteral("买四"), QStringLiteral("买五")};
}

QVariantList PriceModel::sell_tag() const {
    return {QStringLiteral("卖五"), QStringLiteral("卖四"), QStringLiteral("卖三"),
            QStringLiteral("卖二"), QStringLiteral("卖一")};
}

QVariantList PriceModel::buy_price() const {
    QVariantList out;
    for (float p : rt_.bid_price)
        out << p;
    return out;
}

QVariantList PriceModel::sell_price() const {
    QVariantList out;
    for (int i = 4; i >= 0; --i)
        out << rt_.ask_price[i];
    return out;
}

QVariantList PriceModel::buy_vol() const {
    QVariantList out;
    for (int64_t v : rt_.bid_vol)
        out << qint64(v);
    return out;
}

QVariantList PriceModel::sell_vol() const {
    QVariantList out;
    for (int i = 4; i >= 0; --i)
        out << qint64(rt_.ask_vol[i]);
    return out;
}
