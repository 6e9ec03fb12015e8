#include "formula/formula.h"

#include "libformula/fml.h"

#include <QByteArray>

namespace formula {

QString floatText(float v) {
    return QString::number(double(v), 'g', 6);
}

Formula::Formula(int kind, const QString& name, Release release, int ctx)
    : kind(kind), name(name), release(release), ctx(ctx) {}

Formula::~Formula() {
    if (ctx != 0 && release) {
        release(ctx);
    }
}

void Formula::updateTitle() {
    QString t = name + "(";
    for (size_t i = 0; i < params.size(); ++i) {
        if (i > 0) {
            t += ",";
        }
        t += floatText(params[i].value);
    }
    title = t + ")";
}

void Formula::applyParams() {
    if (ctx == 0) {
        return;
    }
    for (const FormulaParam& p : params) {
        QByteArray key = p.name.toUtf8();
        fml_arg h = fml_get_static_argument(ctx, key.constData());
        if (h == 0) {
            continue;
        }
        fml_argument_literal(h, 1);
        if (float* slot = fml_argument_data(h, 1)) {
            *slot = p.value;
        }
    }
}

BasicFormulaFactory::BasicFormulaFactory(int kind, const QString& code, const QString& name,
                                         const QString& paramText,
                                         const std::vector<FormulaParam>& params)
    : kind(kind),
      code(code),
      name(name),
      paramText(paramText),
      params(params),
      defaultParams(params) {}

BasicFormulaFactory::~BasicFormulaFactory() = default;

LocalFormula::LocalFormula(int kind, const QString& code, const QString& name,
                           const QString& paramText, const std::vector<FormulaParam>& params,
                           Build build)
    : BasicFormulaFactory(kind, code, name, paramText, params), build(build) {}

std::shared_ptr<Formula> LocalFormula::create(int vm) {
    int ctx = build ? build(vm) : 0;
    auto f = std::make_shared<Formula>(kind, name, &fml_ctx_release, ctx);
    f->params = params;
    f->updateTitle();
    f->applyParams();
    return f;
}

}  // namespace formula
