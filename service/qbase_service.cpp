#include "service/qbase_service.h"

#include <QFile>
#include <QJsonDocument>

#include "bridge/app_documents.h"
#include "bridge/data_folder.h"

QBaseService::QBaseService(QObject* parent) : QObject(parent) {}

QVariant QBaseService::getBaseInfo() const {
    return bridge::baseInfo();
}

QVariant QBaseService::getBaseInfoValue(const QString& path) const {
    return bridge::lookupPath(bridge::baseInfo(), path);
}

QVariant QBaseService::getLoginValue(const QString& path) const {
    return bridge::lookupPath(bridge::loginDocument(), path);
}

void QBaseService::setLoginInfo(const QJsonObject& json) {
    bridge::setLoginDocument(json);
}

QVariant QBaseService::getServerAddressValue(const QString& path) const {
    return bridge::lookupPath(bridge::serverAddressDocument(), path);
}

void QBaseService::setServerAddress(const QJsonObject& json) {
    bridge::setServerAddressDocument(json);
}

QString QBaseService::ownGroupsFilePath() {
    return bridge::dataFolder() + QStringLiteral("/formula_group_own.json");
}

QJsonArray QBaseService::readOwnGroups() {
    QFile file(ownGroupsFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QJsonArray();
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    return doc.isArray() ? doc.array() : QJsonArray();
}

bool QBaseService::writeOwnGroups(const QJsonArray& groups) {
    return bridge::writeFileAtomically(ownGroupsFilePath(),
                                       QJsonDocument(groups).toJson(QJsonDocument::Indented));
}

int QBaseService::findOwnGroup(const QJsonArray& groups, const QString& name) {
    for (int i = 0; i < groups.size(); ++i) {
        if (groups.at(i).toObject().value(QStringLiteral("name")).toString() == name) {
            return i;
        }
    }
    return -1;
}

QVariant QBaseService::getLoadLocalFormulaGroup() const {
    return readOwnGroups();
}

void QBaseService::addLocalFormulaGroup(const QJsonObject& json) {
    QJsonArray groups = readOwnGroups();
    groups.append(json);
    writeOwnGroups(groups);
}

void QBaseService::editLocalFormulaGroup(const QString& old_name, const QString& name) {
    QJsonArray groups = readOwnGroups();
    const int index = findOwnGroup(groups, old_name);
    if (index < 0) {
        return;
    }
    QJsonObject group = groups.at(index).toObject();
    group.insert(QStringLiteral("name"), name);
    groups.replace(index, group);
    writeOwnGroups(groups);
}

void QBaseService::removeLocalFormulaGroup(const QString& old_name) {
    QJsonArray groups = readOwnGroups();
    const int index = findOwnGroup(groups, old_name);
    if (index < 0) {
        return;
    }
    groups.removeAt(index);
    writeOwnGroups(groups);
}
