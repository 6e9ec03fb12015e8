#include "service/group_document.h"

#include <QJsonDocument>

namespace service {

QString groupIdText(const QJsonObject& group) {
    return group.value(QStringLiteral("group_id")).toString();
}

int entryMarket(const QJsonObject& entry) {
    return entry.value(QStringLiteral("market_id")).toString().toInt();
}

bool entryMatches(const QJsonObject& entry, const QString& code, int market) {
    return entry.value(QStringLiteral("code")).toString() == code && entryMarket(entry) == market;
}

int findGroupById(const QJsonArray& groups, const QString& groupId) {
    for (int i = 0; i < groups.size(); ++i) {
        if (groupIdText(groups.at(i).toObject()) == groupId) {
            return i;
        }
    }
    return -1;
}

EntryPosition findEntry(const QJsonArray& groups, const QString& code, int market) {
    for (int g = 0; g < groups.size(); ++g) {
        const QJsonArray codes = groups.at(g).toObject().value(QStringLiteral("codes")).toArray();
        for (int e = 0; e < codes.size(); ++e) {
            if (entryMatches(codes.at(e).toObject(), code, market)) {
                return {g, e};
            }
        }
    }
    return {};
}

bool parseObject(const QString& text, QJsonObject* out) {
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject()) {
        return false;
    }
    *out = doc.object();
    return true;
}

}  // namespace service
