// Formulas on the chart's VM: adding, replacing and removing them, the evaluation pass, and the
// data names and native function the VM asks the chart for.
#include "chart/chart_children.h"
#include "chart/qchart.h"
#include "formula/formula.h"
#include "formula/formula_service.h"

#include <QJSValue>
#include <QJsonArray>
#include <QQmlListReference>

#include <cstdio>
#include <cstring>

namespace {

bool sameCtx(const std::shared_ptr<formula::Formula>& f, int ctx) {
    return f && f->ctx == ctx;
}

}  // namespace

std::shared_ptr<formula::Formula> QChart::formulaOf(const CTXData& d) const {
    for (const auto& f : formulas_) {
        if (sameCtx(f, d.ctx)) {
            return f;
        }
    }
    return nullptr;
}

QVariant QChart::getFormulas() const {
    QJsonArray names;
    if (!layers_.empty()) {
        for (const CTXData& d : *layers_[0]) {
            names.append(d.name);
        }
    }
    return QVariant(names);
}

void QChart::appendFormula(uint index, QString name, QString scales, QString crosshair,
                           uint make_color) {
    std::shared_ptr<formula::BasicFormulaFactory> factory = registry_->find(name);
    if (!factory) {
        return;
    }
    std::shared_ptr<formula::Formula> inst = factory->create(vm_);
    if (!inst) {
        return;
    }
    // The overlay colour travels as a static argument whose float slot holds the colour bits.
    formula::FormulaParam color;
    color.name = QStringLiteral("_color");
    std::memcpy(&color.value, &make_color, sizeof(float));
    std::vector<formula::FormulaParam> params = inst->params;
    params.push_back(color);
    inst->params = params;
    inst->updateTitle();
    inst->applyParams();

    if (index >= layers_.size()) {
        layers_.push_back(std::make_unique<CTXLayer>());
        index = uint(layers_.size() - 1);
    }
    CTXData d;
    d.ctx = inst->ctx;
    layoutGeometry(d);
    d.scales = scales;
    d.crosshair = crosshair;
    d.name = name;
    d.drawMain = inst->kind != formula::KindMainReplace;
    d.owner = this;
    layers_[index]->push_back(d);
    formulas_.push_back(inst);
    bindLayer(int(index));
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

bool QChart::removeFormula(int vIndex, int aIndex) {
    if (vIndex < 0) {
        vIndex += int(layers_.size());
    }
    if (vIndex < 0) {
        return false;
    }
    if (aIndex < 0) {
        aIndex += vIndex < int(layers_.size()) ? int(layers_[size_t(vIndex)]->size()) : 0;
    }
    if (aIndex < 0) {
        return false;
    }
    if (vIndex < int(layers_.size()) && aIndex < int(layers_[size_t(vIndex)]->size())) {
        CTXLayer& layer = *layers_[size_t(vIndex)];
        const int ctx = layer[size_t(aIndex)].ctx;
        layer.erase(layer.begin() + aIndex);
        for (auto it = formulas_.begin(); it != formulas_.end(); ++it) {
            if (sameCtx(*it, ctx)) {
                formulas_.erase(it);
                break;
            }
        }
        if (layer.empty()) {
            if (vIndex < int(series_.size())) {
                eraseSeries(vIndex);
                emit syncUpdateKData();
            }
            const std::vector<chart::LayerView*> views = layerViews();
            if (size_t(vIndex) < views.size() && views[size_t(vIndex)]) {
                views[size_t(vIndex)]->setLayer(nullptr);
            }
            destroyLayerItem(vIndex);
            layers_.erase(layers_.begin() + vIndex);
            for (int i = vIndex; i < int(layers_.size()); ++i) {
                bindLayer(i);
            }
        }
    }
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
    return true;
}

void QChart::eraseSeries(int index) {
    outputsStale_ = true;
    series_.erase(series_.begin() + index);
    if (index < int(securities_.size())) {
        securities_.erase(securities_.begin() + index);
    }
    if (index < int(explicitSecurity_.size())) {
        explicitSecurity_.erase(explicitSecurity_.begin() + index);
    }
    if (index == 0) {
        // The first overlay becomes the chart's own security, with its own bars.
        if (!rawOverlays_.empty()) {
            *series_[0] = std::move(*rawOverlays_[0]);
            rawOverlays_.erase(rawOverlays_.begin());
        }
    } else if (size_t(index - 1) < rawOverlays_.size()) {
        rawOverlays_.erase(rawOverlays_.begin() + (index - 1));
    }
    realignOverlays(1);
}

void QChart::destroyLayerItem(int index) {
    QQmlListReference list(this, "subFChart");
    QObject* item = nullptr;
    if (list.isValid() && list.canAt() && index < list.count()) {
        item = list.at(index);
    } else {
        QVariant v = property("subFChart");
        if (v.userType() == qMetaTypeId<QJSValue>()) {
            v = v.value<QJSValue>().toVariant();
        }
        const QVariantList items = v.toList();
        if (index < items.size()) {
            item = items[index].value<QObject*>();
        }
    }
    if (!item || metaObject()->indexOfMethod("destroyFChart(QVariant)") < 0) {
        return;
    }
    QMetaObject::invokeMethod(this, "destroyFChart", Q_ARG(QVariant, item->objectName()));
}

void QChart::clearFormula(bool bSaveFirst) {
    if (!(bSaveFirst && layers_.size() == 1)) {
        // Each call removes one formula, so the formula count bounds the loop.
        size_t guard = formulas_.size() + layers_.size() + 1;
        while (guard-- > 0) {
            if (bSaveFirst && layers_.size() <= 1) {
                break;
            }
            if (!removeFormula(-1, -1)) {
                break;
            }
        }
    }
    if (layers_.empty()) {
        for (chart::LayerView* v : layerViews()) {
            if (v) {
                v->setLayer(nullptr);
            }
        }
        const auto children = childItems();
        for (QQuickItem* child : children) {
            if (dynamic_cast<chart::LayerView*>(child)) {
                child->setParentItem(nullptr);
            }
        }
        clearIS();
    }
}

void QChart::clearFormula(QString name) {
    if (layers_.empty()) {
        return;
    }
    const CTXLayer& layer = *layers_[0];
    for (size_t i = 0; i < layer.size(); ++i) {
        if (layer[i].name == name) {
            removeFormula(0, int(i));
            return;
        }
    }
}

void QChart::clearFormulaOther(QString name) {
    if (layers_.empty()) {
        return;
    }
    const CTXLayer& layer = *layers_[0];
    for (size_t i = 0; i < layer.size(); ++i) {
        const QString& n = layer[i].name;
        if (n != name && n != QLatin1String("MLINE") && n != QLatin1String("KLINE")) {
            removeFormula(0, int(i));
            return;
        }
    }
}

bool QChart::replaceInstance(CTXData& d, const QString& nName) {
    std::shared_ptr<formula::BasicFormulaFactory> factory = registry_->find(nName);
    if (!factory) {
        return false;
    }
    std::shared_ptr<formula::Formula> inst = factory->create(vm_);
    if (!inst) {
        return false;
    }
    bool placed = false;
    for (auto& f : formulas_) {
        if (sameCtx(f, d.ctx)) {
            f = inst;
            placed = true;
            break;
        }
    }
    if (!placed) {
        formulas_.push_back(inst);
    }
    outputsStale_ = true;
    d.ctx = inst->ctx;
    d.name = nName;
    d.drawMain = inst->kind != formula::KindMainReplace;
    return true;
}

void QChart::replaceFormula(QString oName, QString nName) {
    for (auto& layer : layers_) {
        for (CTXData& d : *layer) {
            if (d.name == oName) {
                replaceInstance(d, nName);
            }
        }
    }
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::replaceFormula(QString nName) {
    const CTXData* main = getCTXData(0);
    if (!main) {
        return;
    }
    replaceFormula(QString(main->name), nName);
}

void QChart::reLoadFormula() {
    for (auto& layer : layers_) {
        for (CTXData& d : *layer) {
            replaceInstance(d, QString(d.name));
        }
    }
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::evaluateLayers() {
    if (!outputsStale_) {
        return;
    }
    outputsStale_ = false;
    ++evaluation_;
    // Records of layers without bars must not keep pointing at bars that went away.
    for (size_t i = 0; i < layers_.size(); ++i) {
        KSeries* s = i < series_.size() ? series_[i].get() : nullptr;
        for (CTXData& d : *layers_[i]) {
            d.series = s;
        }
    }
    while (columns_.size() < series_.size()) {
        columns_.push_back(std::make_unique<BarColumns>());
    }
    for (size_t i = 0; i < series_.size(); ++i) {
        KSeries& s = *series_[i];
        if (s.empty() || i >= layers_.size()) {
            break;
        }
        currentColumns_ = columns_[i].get();
        for (CTXData& d : *layers_[i]) {
            if (d.ctx == 0) {
                continue;
            }
            fml_ctx_clean(d.ctx);
            fml_ctx_data_length(d.ctx, int(s.size()));
            fml_ctx_miss_callback(d.ctx, &d, &QChart::dataNames);
            currentSeries_ = &s;
            if (fml_vm_run(vm_, d.ctx) == 0) {
                std::fputs("index cacls error:\n", stdout);
                std::fflush(stdout);
                qDebug("%s: %s", qPrintable(d.name), fml_ctx_last_error(d.ctx));
            }
        }
    }
    currentSeries_ = nullptr;
    currentColumns_ = nullptr;
}

const float* QChart::namedSeries(const CTXData& d, const char* name) const {
    if (d.ctx == 0 || !d.series) {
        return nullptr;
    }
    fml_arg h = fml_get_argument(d.ctx, name);
    if (h == 0 || fml_argument_length(h) < int(d.series->size())) {
        return nullptr;
    }
    return fml_argument_data_number(h);
}

int QChart::dataNames(void* user, int, fml_arg h, const char* name) {
    const CTXData& d = *static_cast<const CTXData*>(user);
    if (!d.series || !name) {
        return 0;
    }
    const KSeries& b = *d.series;
    const int n = int(b.size());
    auto scalar = [&](float v) {
        fml_argument_literal(h, 1);
        if (float* slot = fml_argument_data(h, 1)) {
            *slot = v;
        }
        return 1;
    };
    auto series = [&](auto get) {
        float* out = fml_argument_data(h, n);
        if (!out) {
            return 0;
        }
        for (int k = 0; k < n; ++k) {
            out[k] = get(b[size_t(k)], k);
        }
        return 1;
    };
    // A column of the bars is lent from the pass's gathered columns where there are some.
    BarColumns* columns = d.owner && n > 0 ? d.owner->currentColumns_ : nullptr;
    auto gathered = [&](BarColumns::Field field) {
        if (!columns) {
            return series([field](const KData& x, int) { return BarColumns::valueOf(x, field); });
        }
        const std::vector<float>& c = columns->column(b, field, d.owner->evaluation_);
        return fml_argument_lend(h, c.data(), int(c.size()));
    };
    const QLatin1String nm(name);
    if (nm == QLatin1String("PERIOD")) {
        return scalar(5);
    }
    if (nm == QLatin1String("DRAWNULL")) {
        return scalar(FMLInvalidValue);
    }
    if (nm == QLatin1String("TOTALFZNUM") || nm == QLatin1String("FROMOPEN")) {
        return scalar(240);
    }
    if (nm == QLatin1String("C")) {
        return gathered(BarColumns::Close);
    }
    if (nm == QLatin1String("H")) {
        return gathered(BarColumns::High);
    }
    if (nm == QLatin1String("L")) {
        return gathered(BarColumns::Low);
    }
    if (nm == QLatin1String("O")) {
        return gathered(BarColumns::Open);
    }
    if (nm == QLatin1String("V")) {
        return gathered(BarColumns::Volume);
    }
    if (nm == QLatin1String("AMO") || nm == QLatin1String("AMT")) {
        return gathered(BarColumns::Amount);
    }
    if (nm == QLatin1String("ISLASTBAR")) {
        return series([n](const KData&, int k) { return k == n - 1 ? 1.f : 0.f; });
    }
    if (nm == QLatin1String("BARSTATUS")) {
        return series([n](const KData&, int k) { return k == 0 ? 1.f : (k == n - 1 ? 2.f : 0.f); });
    }
    if (nm == QLatin1String("CURRBARSCOUNT")) {
        return series([n](const KData&, int k) { return float(n - k); });
    }
    if (nm == QLatin1String("DATE")) {
        return gathered(BarColumns::Date);
    }
    if (nm == QLatin1String("ZSTJJ")) {
        return gathered(BarColumns::AveragePrice);
    }
    if (nm == QLatin1String("TIMESTAMP")) {
        return gathered(BarColumns::Timestamp);
    }
    if (nm == QLatin1String("CODE")) {
        const int len = int(strnlen(d.security.code, sizeof(d.security.code)));
        fml_argument_string(h, d.security.code, len < 6 ? len : 6);
        return 1;
    }
    return 0;
}

int QChart::dynainfo(void* user, fml_call* call) {
    const KSeries* s = *static_cast<KSeries* const*>(user);
    if (!s || s->empty() || !call) {
        return 0;
    }
    const float* arg = fml_argument_data_number(call->argument[0]);
    if (!arg) {
        return 0;
    }
    const int n = int(*arg);
    float v;
    if (n == 3) {
        v = s->front().p_close;
    } else if (n == 11) {
        v = s->back().avg_price;
    } else {
        return 0;
    }
    fml_argument_literal(call->result, 1);
    if (float* slot = fml_argument_data(call->result, 1)) {
        *slot = v;
    }
    return 1;
}
