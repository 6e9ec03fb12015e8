#include "chart/qchart.h"
#include "paint/cpaint_shapes.h"

#include "chart/chart_children.h"
#include "chart/qdividend_processer.h"
#include "formula/formula.h"
#include "formula/formula_service.h"

#include <cstring>

QChart::QChart(QQuickItem* parent)
    : ShownPaintedItem(parent), registry_(&formula::FormulaService::instance()) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setFlag(ItemAcceptsInputMethod, true);
    connect(this, &QQuickItem::widthChanged, this, &QChart::onWidthChanged);
    connect(this, &QQuickItem::heightChanged, this, &QChart::onHeightChanged);

    vm_ = fml_vm_create();
    fml_vm_reg_fn(vm_, &currentSeries_, "DYNAINFO", &QChart::dynainfo, 1);
    // The analysis modules are optional for most formulas; a formula that calls a missing one
    // fails on its own at run time.
    fml_vm_load_tdx_dll(vm_, "formula-plugin.dll", 1);
    fml_vm_load_tdx_dll(vm_, "cl.dll", 3);

    processer_ = new QDividendProcesser(this);
    connect(processer_, &QDividendProcesser::processerQuoteKPoint, this,
            &QChart::onProcesserQuoteKPoint);
    initPaintBoard();
}

QChart::~QChart() {
    // Child items outlive this destructor body; they must not reach into our layers.
    // The QML list of layers turns destroyed entries into nulls; skip those.
    for (chart::LayerView* v : layerViews()) {
        if (v) {
            v->setLayer(nullptr);
        }
    }
    for (chart::TitleView* t : titleViews()) {
        t->setCTXData(nullptr);
    }
    layers_.clear();
    formulas_.clear();  // releases the contexts while their VM still exists
    fml_vm_release(vm_);
}

void QChart::setFormulaService(formula::FormulaService* service) {
    registry_ = service ? service : &formula::FormulaService::instance();
}

void QChart::bindDataSignal(QObject* obj, int maxIndex) {
    maxIndex_ = maxIndex;
    if (!obj) {
        return;
    }
    source_ = obj;
    connect(obj, SIGNAL(updateKLine(QuoteKPoints*, int)), this,
            SLOT(onUpdateKLine(QuoteKPoints*, int)), Qt::UniqueConnection);
    connect(obj, SIGNAL(updateMinute(QuoteMinPoints*, int)), this,
            SLOT(onUpdateMinute(QuoteMinPoints*, int)), Qt::UniqueConnection);
    connect(obj, SIGNAL(updateDividend(QuoteDividendPoints*)), this,
            SLOT(onUpdateDividend(QuoteDividendPoints*)), Qt::UniqueConnection);
}

void QChart::bindSyncDataSignal(QObject* obj, int maxIndex) {
    maxIndex_ = maxIndex;
    if (!obj) {
        return;
    }
    source_ = obj;
    connect(obj, SIGNAL(syncUpdateKLine(QuoteKPoints*, int)), this,
            SLOT(onSyncUpdateKLine(QuoteKPoints*, int)), Qt::UniqueConnection);
    connect(obj, SIGNAL(syncUpdateMinute(QuoteMinPoints*, int)), this,
            SLOT(onSyncUpdateMinute(QuoteMinPoints*, int)), Qt::UniqueConnection);
}

int QChart::getFirstKLineSize() const {
    return series_.empty() ? 0 : int(series_[0]->size());
}

int QChart::getPointCount(int index) const {
    if (index < 0 || index >= int(series_.size())) {
        return 0;
    }
    return int(series_[size_t(index)]->size());
}

std::vector<KData>* QChart::getKData(uint index) const {
    return index < series_.size() ? series_[index].get() : nullptr;
}

const KData* QChart::getPosKData(int pos) const {
    if (series_.empty() || pos < 0 || pos >= int(series_[0]->size())) {
        return nullptr;
    }
    return &(*series_[0])[size_t(pos)];
}

CTXData* QChart::getCTXData(uint index) const {
    if (layers_.empty() || index >= layers_[0]->size()) {
        return nullptr;
    }
    return &(*layers_[0])[index];
}

CTXLayer* QChart::getLayer(uint index) const {
    return index < layers_.size() ? layers_[index].get() : nullptr;
}

int QChart::getDecimal() const {
    const CTXData* d = getCTXData(0);
    return d ? d->decimal() : 2;
}

QString QChart::getMainName() const {
    const CTXData* d = getCTXData(0);
    return d ? d->name : QString();
}

void QChart::setSecurity(uint index, QString code, int market, int decimal) {
    if (index > 1024) {
        return;
    }
    if (securities_.size() <= index) {
        securities_.resize(index + 1, QuoteCodeInfo{});
    }
    QuoteCodeInfo& info = securities_[index];
    info = QuoteCodeInfo{};
    QByteArray bytes = code.toUtf8().left(int(sizeof(info.code)));
    std::memcpy(info.code, bytes.constData(), size_t(bytes.size()));
    info.market = int8_t(market);
    info.decimal = int8_t(decimal);
    info.type = 2;
    explicitSecurity_.resize(securities_.size(), false);
    explicitSecurity_[index] = true;
    if (index < layers_.size()) {
        bindLayer(int(index));
        update();
    }
}
