#include "service/qstockpool_service.h"

#include <QJsonDocument>

#include "bridge/hfileio.h"
#include "service/group_document.h"

namespace {

QJsonObject& document() {
    static QJsonObject doc;
    return doc;
}

}  // namespace

QStockPoolService::QStockPoolService(QObject* parent) : QObject(parent) {
    QString text = HFileIO().readFileDefaultPath(QStringLiteral("StockPool.json"));
    if (text.isEmpty()) {
        text = defaultPoolText();
    }
    fromJson(text);
}

QString QStockPoolService::defaultPoolText() {
    return QStringLiteral("{\"code\":\"0000\",\"msg\":\"success\",\"result\":[]}");
}

void QStockPoolService::fromJson(const QString& json_str) {
    service::parseObject(json_str, &document());
}

QJsonObject QStockPoolService::getJson() const {
    return document();
}

QJsonArray QStockPoolService::getGroups() const {
    return document().value(QStringLiteral("result")).toArray();
}

QVariant QStockPoolService::getGroupCodes(const QString& group_id) const {
    const QJsonArray groups = getGroups();
    const int index = service::findGroupById(groups, group_id);
    if (index < 0) {
        return QVariant();
    }
    return groups.at(index).toObject().value(QStringLiteral("codes")).toArray();
}
