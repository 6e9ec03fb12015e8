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
    // Defined in qbase_service_formula.cpp.
    // flag 0: main-chart formulas, 1: sub-chart formulas, other: all; [{"name"}] in registry order.
    Q_INVOKABLE QVariant getFormulaNames(int flag, bool all = false) const;
    // [{"name","value","min","max"}] of the current / default parameters; invalid if unknown.
    Q_INVOKABLE QVariant getFormula(const QString& name) const;
    Q_INVOKABLE QVariant getFormulaDefault(const QString& name) const;
    // Takes json["args"][i]["value"], rounded to four significant digits, then saves every
    // formula's parameters to "index.param" in the data folder.
    Q_INVOKABLE void setFormulaParam(const QString& name, const QJsonObject& json);
    // The built-in groups as {"name"} objects, then every own group object as stored.
    Q_INVOKABLE QVariant getFormulaGroupNames() const;
    // Member names of the built-in group; only when it has none, of every own group so named.
    Q_INVOKABLE QVariant getFormulaGroup(const QString& name) const;
    // The rounding setFormulaParam applies; false when the value has no float form.
    static bool roundFormulaValue(double value, float* rounded);
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
