// The process-wide formula registry: descriptions in registration order, the built-in groups,
// and the user's parameter values in "index.param".
#ifndef VQ_FORMULA_FORMULA_SERVICE_H
#define VQ_FORMULA_FORMULA_SERVICE_H

#include "formula/formula.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace formula {

class FormulaService {
public:
    struct Group {
        QString name;
        QString code;
        QStringList formulas;  // display names, in order
    };

    // The one registry of the process. Separate instances are for tests and tools.
    static FormulaService& instance();
    FormulaService() = default;
    FormulaService(const FormulaService&) = delete;
    FormulaService& operator=(const FormulaService&) = delete;

    std::shared_ptr<BasicFormulaFactory> find(const QString& name) const;
    std::vector<std::shared_ptr<BasicFormulaFactory>> list(int mask) const;
    std::shared_ptr<Group> findGroup(const QString& name) const;
    const std::vector<std::shared_ptr<Group>>& groups() const { return groups_; }
    const std::vector<std::shared_ptr<BasicFormulaFactory>>& formulas() const { return formulas_; }

    void add(std::shared_ptr<BasicFormulaFactory> formula);
    void addGroup(std::shared_ptr<Group> group);

    // "index.param": a "0"/"1" first line (1 once every formula line is written), then one line
    // per formula: code, a tab, each current value followed by a tab.
    bool loadParams(const QString& path);
    bool saveParams(const QString& path) const;

private:
    std::vector<std::shared_ptr<BasicFormulaFactory>> formulas_;
    std::vector<std::shared_ptr<Group>> groups_;
};

// Start-up registration, in this order: the standard indicators, then the groups and the
// strategy formulas.
void registerStandardFormulas(FormulaService& service);
void registerStrategyFormulas(FormulaService& service);
void registerBuiltinFormulas(FormulaService& service);

}  // namespace formula

#endif
