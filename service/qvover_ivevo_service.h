#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariant>

// The cloud screening groups: every screening run that found securities, newest first, in
// "VoverIvevo.json" in the data folder. All instances share one document, reloaded from the
// file when an instance is created and after every save. Also the views' way to the
// screening library (showVoverIvevo) and to the screening callback (voverIvevoResponse).
class QVoverIvevoService : public QObject {
    Q_OBJECT
public:
    explicit QVoverIvevoService(QObject* parent = nullptr);

    Q_INVOKABLE void fromJson(const QString& json_str);
    Q_INVOKABLE QJsonObject getJson() const;
    Q_INVOKABLE QJsonArray getGroups() const;
    Q_INVOKABLE QVariant getGroupCodes(const QString& group_id) const;
    Q_INVOKABLE void addGroup(const QString& id, const QString& name, const QVariant& codes);
    Q_INVOKABLE void removeGroup(const QString& group_id);
    Q_INVOKABLE void editGroup(const QString& group_id, const QString& name);

    Q_INVOKABLE void showVoverIvevo(const QString& appName, const QString& host,
                                    const QString& user, const QString& auth, int option);
    // Why the screening library cannot be opened; empty when it can.
    Q_INVOKABLE QString libraryError() const;
    Q_INVOKABLE int voverIvevoResponse(const QJsonObject& jObj);

    static QString fileName();  // "VoverIvevo.json"

signals:
    void updateVoverIvevo();
    void updateActionCmd(QString str);

public slots:
    void onDataChange();
    void onSyncActionCmd(QString str);

private:
    void load();
    void save();
};
