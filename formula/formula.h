// Formula descriptions, per-chart formula instances and the process-wide registry.
#ifndef VQ_FORMULA_FORMULA_H
#define VQ_FORMULA_FORMULA_H

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace formula {

// Kind bits of a formula: where it is shown.
enum FormulaKind {
    KindMainOverlay = 1,  // drawn over the price bars
    KindMainReplace = 2,  // takes the place of the price bars
    KindSub = 4,          // sub-chart (pane) indicator
    KindSubCandles = 8,   // sub-chart indicator with candles of its own
    KindBase = 64         // a chart's base series ("KLINE", "MLINE", ...); never listed
};
// Listing masks of the views.
enum FormulaMask { MaskMain = 3, MaskSub = 60, MaskAll = 63 };

struct FormulaParam {
    QString name;
    float value = 0;
    float min = 0;
    float max = 0;
};

// One formula shown on one chart: owns its VM context.
class Formula {
public:
    using Release = void (*)(int ctx);
    Formula(int kind, const QString& name, Release release, int ctx);
    ~Formula();
    Formula(const Formula&) = delete;
    Formula& operator=(const Formula&) = delete;

    // title = name "(" values separated by "," ")", each value in the default float form.
    void updateTitle();
    // Stores every parameter as the static argument of its name.
    void applyParams();

    int kind;
    QString title;
    QString name;
    std::vector<FormulaParam> params;
    Release release;
    int ctx;
};

// Description of a formula the user can show.
class BasicFormulaFactory {
public:
    virtual ~BasicFormulaFactory();
    virtual std::shared_ptr<Formula> create(int vm) = 0;

    int kind;
    QString code;       // key in "index.param"
    QString name;       // display name and lookup key
    QString paramText;  // hint lines joined by CR LF, "{}" where the value goes
    std::vector<FormulaParam> params;
    std::vector<FormulaParam> defaultParams;  // copy taken at construction

protected:
    BasicFormulaFactory(int kind, const QString& code, const QString& name,
                        const QString& paramText, const std::vector<FormulaParam>& params);
};

// A built-in formula: `build` creates a context on the VM and pushes the program into it.
class LocalFormula : public BasicFormulaFactory {
public:
    using Build = int (*)(int vm);
    LocalFormula(int kind, const QString& code, const QString& name, const QString& paramText,
                 const std::vector<FormulaParam>& params, Build build);
    std::shared_ptr<Formula> create(int vm) override;

    Build build;
};

// Text of a float in the default stream form (six significant digits, no trailing zeros).
QString floatText(float v);

}  // namespace formula

#endif
