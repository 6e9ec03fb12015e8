#include "service/qvover_ivevo_service.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <cstring>

#include <string>
#include <vector>

#include "bridge/hfileio.h"
#include "service/cloud_group_document.h"
#include "service/group_document.h"
#include "service/qstockpool_service.h"
#include "service/qvover_ivevo_dll.h"
#include "service/screening_callback.h"

namespace {

QJsonObject& document() {
    return service::cloudGroupDocument();
}

QJsonArray groups() {
    return document().value(QStringLiteral("result")).toArray();
}

}  // namespace

QVoverIvevoService::QVoverIvevoService(QObject* parent) : QObject(parent) {
    load();
    QVoverIvevoDll* dll = QVoverIvevoDll::instance();
    connect(dll, &QVoverIvevoDll::dataChange, this, &QVoverIvevoService::onDataChange);
    connect(dll, &QVoverIvevoDll::syncActionCmd, this, &QVoverIvevoService::onSyncActionCmd);
}

QString QVoverIvevoService::fileName() {
    return QStringLiteral("VoverIvevo.json");
}

void QVoverIvevoService::load() {
    const QString path = QDir(HFileIO().getDefaultPath()).filePath(fileName());
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    QString text = QString::fromUtf8(bytes);
    QJsonObject parsed;
    if (!bytes.trimmed().isEmpty() && !service::parseObject(text, &parsed)) {
        // A damaged file must not cost the user the groups in it for good: keep it aside
        // (the next save replaces the original) and start from the empty document.
        const QString aside = path + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::copy(path, aside);
        qWarning("%s is not a JSON object; kept as %s", qPrintable(path), qPrintable(aside));
        text.clear();
    }
    if (text.trimmed().isEmpty()) {
        text = QStockPoolService::defaultPoolText();
    }
    fromJson(text);
}

void QVoverIvevoService::save() {
    const QString text =
        QString::fromUtf8(QJsonDocument(document()).toJson(QJsonDocument::Indented));
    if (!HFileIO().writedFileDefaultPath(fileName(), text)) {
        qWarning("screening groups could not be saved to %s", qPrintable(fileName()));
    }
    fromJson(text);
}

void QVoverIvevoService::fromJson(const QString& json_str) {
    service::parseObject(json_str, &document());
}

QJsonObject QVoverIvevoService::getJson() const {
    return document();
}

QJsonArray QVoverIvevoService::getGroups() const {
    return groups();
}

QVariant QVoverIvevoService::getGroupCodes(const QString& group_id) const {
    const QJsonArray all = groups();
    const int index = service::findGroupById(all, group_id);
    if (index < 0) {
        return QVariant();
    }
    return all.at(index).toObject().value(QStringLiteral("codes")).toArray();
}

void QVoverIvevoService::addGroup(const QString& id, const QString& name, const QVariant& codes) {
    QJsonArray all = groups();
    all.insert(0,
               QJsonObject{{QStringLiteral("group_id"), id},
                           {QStringLiteral("group_name"), name},
                           {QStringLiteral("codes"), QJsonArray::fromVariantList(codes.toList())}});
    document().insert(QStringLiteral("result"), all);
    save();
}

void QVoverIvevoService::removeGroup(const QString& group_id) {
    QJsonArray all = groups();
    const int index = service::findGroupById(all, group_id);
    if (index < 0) {
        return;
    }
    all.removeAt(index);
    document().insert(QStringLiteral("result"), all);
    save();
}

void QVoverIvevoService::editGroup(const QString& group_id, const QString& name) {
    QJsonArray all = groups();
    const int index = service::findGroupById(all, group_id);
    if (index < 0) {
        return;
    }
    QJsonObject group = all.at(index).toObject();
    group.insert(QStringLiteral("group_name"), name);
    all.replace(index, group);
    document().insert(QStringLiteral("result"), all);
    save();
}

void QVoverIvevoService::showVoverIvevo(const QString& appName, const QString& host,
                                        const QString& user, const QString& auth, int option) {
    QVoverIvevoDll::instance()->show(appName, host, user, auth, option);
}

QString QVoverIvevoService::libraryError() const {
    return QVoverIvevoDll::instance()->errorString();
}

int QVoverIvevoService::voverIvevoResponse(const QJsonObject& jObj) {
    const int type = jObj.value(QStringLiteral("type")).toInt();
    const QJsonArray data = jObj.value(QStringLiteral("data")).toArray();
    ScreeningMessage msg{type, int32_t(data.size()), nullptr};
    std::vector<ScreeningResultItem> results;
    std::vector<ScreeningActionItem> actions;
    // Storage the items point into; it outlives the callback.
    std::vector<std::u16string> names;
    std::vector<QByteArray> texts;
    names.reserve(size_t(data.size()));
    texts.reserve(size_t(data.size()) * 2);
    auto keep = [&texts](const QString& s) {
        texts.push_back(s.toUtf8());
        return texts.back().constData();
    };
    if (type == SCREENING_RESULT) {
        for (const QJsonValue& v : data) {
            const QJsonObject e = v.toObject();
            ScreeningResultItem item{};
            const QByteArray code = e.value(QStringLiteral("stock_code")).toString().toUtf8();
            std::memcpy(item.code, code.constData(), size_t(qMin(code.size(), 6)));
            const QJsonValue market = e.value(QStringLiteral("exchange_type"));
            item.market = market.isDouble() ? market.toInt() : market.toString().toInt();
            results.push_back(item);
        }
        msg.items = results.data();
    } else if (type == SCREENING_ACTIONS) {
        for (const QJsonValue& v : data) {
            const QJsonObject e = v.toObject();
            names.push_back(e.value(QStringLiteral("name")).toString().toStdU16String());
            ScreeningActionItem item{};
            item.name = reinterpret_cast<const uint16_t*>(names.back().c_str());
            item.id = keep(e.value(QStringLiteral("id")).toString());
            item.text = keep(e.value(QStringLiteral("args")).toString());
            item.number = e.value(QStringLiteral("peroid")).toInt();
            item.kind = e.value(QStringLiteral("type")).toInt();
            actions.push_back(item);
        }
        msg.items = actions.data();
    } else if (type == SCREENING_QUERY) {
        for (const QJsonValue& v : data) {
            for (const QJsonValue& k : v.toObject().value(QStringLiteral("items")).toArray()) {
                ScreeningActionItem item{};
                item.id = keep(k.toObject().value(QStringLiteral("key")).toString());
                actions.push_back(item);
            }
        }
        msg.count = int32_t(actions.size());
        msg.items = actions.data();
    }
    return screeningCallback(&msg);
}

void QVoverIvevoService::onDataChange() {
    emit updateVoverIvevo();
}

void QVoverIvevoService::onSyncActionCmd(QString str) {
    emit updateActionCmd(str);
}
