#include "server/screening/condition_set.h"

#include "formula/builtins.h"

#include <QJsonArray>

#include <cstring>

namespace vq::screening {

bool Condition::holds(float v) const {
    if (v == FMLInvalidValue) {
        return false;
    }
    switch (compare) {
        case Compare::True:
            return v != 0;
        case Compare::Greater:
            return v > value;
        case Compare::Less:
            return v < value;
        case Compare::GreaterEqual:
            return v >= value;
        case Compare::LessEqual:
            return v <= value;
        case Compare::Equal:
            return v == value;
        case Compare::NotEqual:
            return v != value;
    }
    return false;
}

namespace {

constexpr int kMaxConditions = 16;
constexpr int kMaxText = 16384;

bool fail(RequestError* e, int condition, std::string message) {
    e->condition = condition;
    e->message = std::move(message);
    return false;
}

bool compareOf(const QString& op, Compare* out) {
    static const std::pair<const char*, Compare> kOps[] = {
        {"", Compare::True},           {">", Compare::Greater},    {"<", Compare::Less},
        {">=", Compare::GreaterEqual}, {"<=", Compare::LessEqual}, {"=", Compare::Equal},
        {"==", Compare::Equal},        {"<>", Compare::NotEqual},  {"!=", Compare::NotEqual}};
    for (const auto& [text, c] : kOps) {
        if (op == QLatin1String(text)) {
            *out = c;
            return true;
        }
    }
    return false;
}

// The built-in formula with this code or display name; -1 when there is none.
long builtinIndex(const QString& name) {
    const QByteArray key = name.toUtf8();
    for (size_t i = 0; i < formula::builtinCount(); ++i) {
        const formula::BuiltinFormula& b = formula::builtin(i);
        if (key == b.code || key == b.name) {
            return long(i);
        }
    }
    return -1;
}

bool parseCondition(const QJsonObject& c, int at, Condition* out, RequestError* error) {
    const QString name = c.value(QLatin1String("formula")).toString();
    const QString text = c.value(QLatin1String("text")).toString();
    const QJsonObject params = c.value(QLatin1String("params")).toObject();
    if (name.isEmpty() == text.isEmpty()) {
        return fail(error, at, "a condition names either a built-in formula or its own text");
    }
    if (name.isEmpty()) {
        if (text.size() > kMaxText) {
            return fail(error, at, "formula text too long");
        }
        formula::Compiler compiler;
        formula::CompileError ce;
        if (!compiler.compile(text.toStdString(), &out->program, &ce)) {
            error->line = ce.line;
            error->column = ce.column;
            return fail(error, at, ce.text());
        }
    } else {
        const long i = builtinIndex(name);
        if (i < 0 || !formula::builtinProgram(size_t(i), &out->program)) {
            return fail(error, at, "no built-in formula " + name.toStdString());
        }
        const formula::BuiltinFormula& b = formula::builtin(size_t(i));
        for (const formula::BuiltinParam& p : b.params) {
            if (!p.name) {
                break;
            }
            float v = p.value;
            const QJsonValue given = params.value(QString::fromUtf8(p.name));
            if (given.isDouble()) {
                v = float(given.toDouble());
                if (v < p.min || v > p.max) {
                    return fail(error, at,
                                std::string("parameter ") + p.name + " out of its range");
                }
            }
            out->statics.emplace_back(p.name, v);
        }
        for (const formula::BuiltinStatic& s : b.statics) {
            if (!s.name) {
                break;
            }
            out->statics.emplace_back(s.name, s.value);
        }
    }
    out->output = c.value(QLatin1String("output")).toString().toStdString();
    if (!compareOf(c.value(QLatin1String("op")).toString(), &out->compare)) {
        return fail(error, at, "unknown comparison");
    }
    const QJsonValue v = c.value(QLatin1String("value"));
    if (out->compare != Compare::True && !v.isDouble()) {
        return fail(error, at, "a comparison needs a number");
    }
    out->value = float(v.toDouble());
    return true;
}

}  // namespace

bool parseScreenRequest(const QJsonObject& body, ScreenRequest* out, RequestError* error) {
    const QJsonArray conditions = body.value(QLatin1String("conditions")).toArray();
    if (conditions.isEmpty()) {
        return fail(error, -1, "no condition");
    }
    if (conditions.size() > kMaxConditions) {
        return fail(error, -1, "too many conditions");
    }
    for (int i = 0; i < conditions.size(); ++i) {
        Condition c;
        if (!parseCondition(conditions.at(i).toObject(), i, &c, error)) {
            return false;
        }
        out->conditions.push_back(std::move(c));
    }
    const QString logic = body.value(QLatin1String("logic")).toString(QStringLiteral("and"));
    if (logic != QLatin1String("and") && logic != QLatin1String("or")) {
        return fail(error, -1, "logic is \"and\" or \"or\"");
    }
    out->any = logic == QLatin1String("or");
    const int cycle = body.value(QLatin1String("cycle")).toInt(int(market::Cycle::Day));
    if (!market::isValidCycle(cycle)) {
        return fail(error, -1, "unknown cycle");
    }
    out->cycle = market::Cycle(cycle);
    const int adjust = body.value(QLatin1String("adjust")).toInt(int(market::Adjust::Forward));
    if (adjust != 1 && adjust != 2 && adjust != 4) {
        return fail(error, -1, "unknown adjustment");
    }
    out->adjust = market::Adjust(adjust);
    out->block = int64_t(body.value(QLatin1String("block")).toDouble(1110));
    out->bars = body.value(QLatin1String("bars")).toInt(500);
    if (out->bars < 1 || out->bars > 5000) {
        return fail(error, -1, "bars out of range 1 … 5000");
    }
    return true;
}

}  // namespace vq::screening
