#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariant>

// The views' window on the process-wide documents (who this client is, the current login,
// the server address table) and on formula configuration. Instances carry no state: every one
// reads and writes the same documents and files.
class QBaseService : public QObject {
    Q_OBJECT
public:
    explicit QBaseService(QObject* parent = nullptr);

    Q_INVOKABLE QVariant getBaseInfo() const;
    Q_INVOKABLE QVariant getBaseInfoValue(const QString& path) const;
    Q_INVOKABLE QVariant getLoginValue(const QString& path) const;
    Q_INVOKABLE void setLoginInfo(const QJsonObject& json);
    Q_INVOKABLE QVariant getServerAddressValue(const QString& path) const;
    Q_INVOKABLE void setServerAddress(const QJsonObject& json);

    // ---- Formula listing and parameters (over the formula registry) ----
    // getFormulaNames, getFormula, getFormulaDefault, setFormulaParam, getFormulaGroupNames
    // and getFormulaGroup are declared here by the formula engine and defined in
    // qbase_service_formula.cpp.
    // ---- end of formula operations ----

    // The user's own formula groups, kept in "formula_group_own.json" in the data folder.
    Q_INVOKABLE QVariant getLoadLocalFormulaGroup() const;
    Q_INVOKABLE void addLocalFormulaGroup(const QJsonObject& json);
    Q_INVOKABLE void editLocalFormulaGroup(const QString& old_name, const QString& name);
    Q_INVOKABLE void removeLocalFormulaGroup(const QString& old_name);

    // Own groups as stored: a missing, empty, unparsable or non-array file reads as empty.
    static QJsonArray readOwnGroups();
    static bool writeOwnGroups(const QJsonArray& groups);
    static QString ownGroupsFilePath();
    // Index of the first own group called `name`, or -1.
    static int findOwnGroup(const QJsonArray& groups, const QString& name);
};
