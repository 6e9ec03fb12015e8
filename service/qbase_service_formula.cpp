// Formula listing, parameters and groups of QBaseService, over the process-wide formula
// registry.
#include "bridge/data_folder.h"
#include "formula/formula_service.h"
#include "service/qbase_service.h"

#include <cmath>

using formula::FormulaService;

namespace {

QJsonArray paramArray(const std::vector<formula::FormulaParam>& params) {
    QJsonArray out;
    for (const formula::FormulaParam& p : params) {
        out.append(QJsonObject{{"name", p.name},
                               {"value", double(p.value)},
                               {"min", double(p.min)},
                               {"max", double(p.max)}});
    }
    return out;
}

}  // namespace

QVariant QBaseService::getFormulaNames(int flag, bool) const {
    int mask = flag == 0 ? formula::MaskMain : (flag == 1 ? formula::MaskSub : formula::MaskAll);
    QJsonArray out;
    for (const auto& f : FormulaService::instance().list(mask)) {
        out.append(QJsonObject{{"name", f->name}});
    }
    return QVariant(out);
}

QVariant QBaseService::getFormula(const QString& name) const {
    auto f = FormulaService::instance().find(name);
    return f ? QVariant(paramArray(f->params)) : QVariant();
}

QVariant QBaseService::getFormulaDefault(const QString& name) const {
    auto f = FormulaService::instance().find(name);
    return f ? QVariant(paramArray(f->defaultParams)) : QVariant();
}

bool QBaseService::roundFormulaValue(double value, float* rounded) {
    QString text = QString::number(value, 'g', 4);
    if (text.indexOf('.') > 0 && text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    bool ok = false;
    float v = text.toFloat(&ok);
    // A value beyond the float range (or not a number at all) leaves the parameter as it was.
    if (!ok || !std::isfinite(v)) {
        return false;
    }
    *rounded = v;
    return true;
}

void QBaseService::setFormulaParam(const QString& name, const QJsonObject& json) {
    FormulaService& registry = FormulaService::instance();
    auto f = registry.find(name);
    if (!f) {
        return;
    }
    const QJsonArray args = json.value("args").toArray();
    for (int i = 0; i < args.size() && size_t(i) < f->params.size(); ++i) {
        float v;
        if (roundFormulaValue(args.at(i).toObject().value("value").toDouble(), &v)) {
            f->params[size_t(i)].value = v;
        }
    }
    registry.saveParams(bridge::dataFolder() + QStringLiteral("/index.param"));
}

QVariant QBaseService::getFormulaGroupNames() const {
    QJsonArray out;
    for (const auto& g : FormulaService::instance().groups()) {
        out.append(QJsonObject{{"name", g->name}});
    }
    for (const QJsonValue& own : readOwnGroups()) {
        out.append(own);
    }
    return QVariant(out);
}

QVariant QBaseService::getFormulaGroup(const QString& name) const {
    QJsonArray out;
    if (auto g = FormulaService::instance().findGroup(name)) {
        for (const QString& m : g->formulas) {
            out.append(m);
        }
    }
    if (out.isEmpty()) {
        for (const QJsonValue& own : readOwnGroups()) {
            QJsonObject o = own.toObject();
            if (o.value("name").toString() != name) {
                continue;
            }
            for (const QJsonValue& m : o.value("formulas").toArray()) {
                out.append(m.isString() ? m.toString() : m.toVariant().toString());
            }
        }
    }
    return QVariant(out);
}
