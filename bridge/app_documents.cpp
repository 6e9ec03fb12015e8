#include "bridge/app_documents.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

#include "bridge/machine_id.h"

namespace bridge {

namespace {

// Function-local statics: created on first use (thread-safe in C++11), alive until exit.
QJsonObject& loginStore() {
    static QJsonObject doc;
    return doc;
}

QJsonObject& serverAddressStore() {
    static QJsonObject doc;
    return doc;
}

}  // namespace

QJsonObject baseInfo() {
    QJsonObject info;
    info.insert("appName", QString::fromLatin1(kAppName));
    info.insert("appVer", QString::fromLatin1(kAppVersion));
    info.insert("pcID", processorId());
    return info;
}

QJsonObject loginDocument() {
    return loginStore();
}
void setLoginDocument(const QJsonObject& json) {
    loginStore() = json;
}

QJsonObject serverAddressDocument() {
    return serverAddressStore();
}
void setServerAddressDocument(const QJsonObject& json) {
    serverAddressStore() = json;
}

QVariant lookupPath(const QJsonObject& doc, const QString& path) {
    const QStringList parts = path.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    QJsonObject current = doc;
    for (int i = 0; i + 1 < parts.size() && !current.isEmpty(); ++i) {
        current = current.value(parts.at(i)).toObject();
    }
    if (current.isEmpty()) {
        return QVariant();
    }
    const QJsonValue last = current.value(parts.last());
    if (last.isObject()) {
        return QVariant(last.toObject());
    }
    if (last.isArray()) {
        return QVariant(last.toArray());
    }
    return QVariant::fromValue(last);
}

QString variantText(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        return QString();
    }
    if (value.userType() == qMetaTypeId<QJsonValue>()) {
        const QJsonValue json = value.value<QJsonValue>();
        if (json.isString()) {
            return json.toString();
        }
        if (json.isDouble()) {
            return QString::number(json.toDouble(), 'g', 16);
        }
        if (json.isBool()) {
            return json.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        }
        return QString();
    }
    return value.toString();
}

}  // namespace bridge
