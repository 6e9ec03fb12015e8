#include "service/qmystock_service.h"

#include <QJsonArray>

#include "service/group_document.h"

namespace {

QJsonObject& document() {
    static QJsonObject doc;
    return doc;
}

QJsonArray groups() {
    return document().value(QStringLiteral("result")).toArray();
}

void storeGroups(const QJsonArray& result) {
    document().insert(QStringLiteral("result"), result);
}

// Applies `edit` to the "codes" of group `index` and writes the group, "result" and the
// document back (JSON values are copies, so each level has to be stored again).
template <typename Edit>
void editCodes(QJsonArray result, int index, Edit edit) {
    QJsonObject group = result.at(index).toObject();
    QJsonArray codes = group.value(QStringLiteral("codes")).toArray();
    edit(codes);
    group.insert(QStringLiteral("codes"), codes);
    result.replace(index, group);
    storeGroups(result);
}

}  // namespace

QMyStockService::QMyStockService(QObject* parent) : QObject(parent) {}

void QMyStockService::fromJson(const QString& json_str) {
    service::parseObject(json_str, &document());
}

QJsonObject QMyStockService::getJson() const {
    return document();
}

bool QMyStockService::isExist(const QString& code, int market) const {
    return service::findEntry(groups(), code, market).group >= 0;
}

void QMyStockService::addStock(int group_index, const QString& code, int market) {
    QJsonArray result = groups();
    if (group_index < 0 || group_index >= result.size() || isExist(code, market)) {
        return;
    }
    QJsonObject entry;
    entry.insert(QStringLiteral("code"), code);
    entry.insert(QStringLiteral("market_id"), QString::number(market));
    editCodes(result, group_index, [&entry](QJsonArray& codes) { codes.insert(0, entry); });
    emit updateMyStock();
}

void QMyStockService::removeStock(const QString& code, int market) {
    QJsonArray result = groups();
    const service::EntryPosition at = service::findEntry(result, code, market);
    if (at.group < 0) {
        return;
    }
    editCodes(result, at.group, [&at](QJsonArray& codes) { codes.removeAt(at.entry); });
    emit updateMyStock();
}

QVariant QMyStockService::renameGroup(int group_index, const QString& name) {
    QJsonArray result = groups();
    if (group_index < 0 || group_index >= result.size()) {
        return QVariant();
    }
    QJsonObject group = result.at(group_index).toObject();
    group.insert(QStringLiteral("group_name"), name);
    result.replace(group_index, group);
    storeGroups(result);
    return QVariant::fromValue(group.value(QStringLiteral("group_id")));
}

QVariant QMyStockService::getGroup(const QString& code, int market) const {
    const QJsonArray result = groups();
    const service::EntryPosition at = service::findEntry(result, code, market);
    if (at.group < 0) {
        return QVariant();
    }
    return result.at(at.group).toObject();
}

int QMyStockService::getGroupIndex(const QString& group_id) const {
    return service::findGroupById(groups(), group_id);
}
