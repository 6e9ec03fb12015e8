#include "tests/chart_render/render_fixture.h"

#include "chart/layer_renderer.h"
#include "formula/compiler.h"
#include "formula/formula_service.h"

#include <QPainter>
#include <QtTest>

#include <cstring>

namespace render_test {

namespace {

formula::FormulaService& registry() {
    static formula::FormulaService* service = [] {
        auto* s = new formula::FormulaService;
        formula::registerBuiltinFormulas(*s);
        return s;
    }();
    return *service;
}

}  // namespace

testbars::Bar bar(int index, float open, float high, float low, float close, float vol) {
    testbars::Bar b{};
    b.date = 1200101u + uint32_t(index);
    b.time = 1577836800u + uint32_t(index) * 86400u;
    b.open = open;
    b.high = high;
    b.low = low;
    b.close = close;
    b.vol = vol;
    b.sum = vol * close;
    b.p_close = close;
    b.avg_price = close;
    return b;
}

Pane::Pane() {
    layer.reserve(16);  // the references addFormula hands out stay valid
}

Pane::~Pane() {
    layer.clear();
    formulas_.clear();
}

void Pane::setBars(const std::vector<testbars::Bar>& input) {
    static_assert(sizeof(testbars::Bar) == sizeof(KData), "one bar layout");
    series.bars = input;
    bars.resize(input.size());
    if (!input.empty()) {
        std::memcpy(bars.data(), input.data(), input.size() * sizeof(KData));
    }
    begin = 0;
    end = int(input.size()) - 1;
}

CTXData& Pane::addFormula(const QString& name, uint32_t makeColor) {
    CTXData d;
    auto factory = registry().find(name);
    if (!factory) {
        qWarning() << "no formula" << name;
        layer.push_back(d);
        return layer.back();
    }
    std::shared_ptr<formula::Formula> f = factory->create(vm_.vm);
    float colorSlot = 0;
    std::memcpy(&colorSlot, &makeColor, 4);
    f->params.push_back(formula::FormulaParam{QStringLiteral("_color"), colorSlot, 0, 0});
    f->updateTitle();
    f->applyParams();
    d.ctx = f->ctx;
    d.name = name;
    d.drawMain = factory->kind != formula::KindMainReplace;
    d.scales = QStringLiteral("NO");
    d.crosshair = QStringLiteral("NO");
    d.security.decimal = 2;
    std::strcpy(d.security.code, "600000");
    formulas_.push_back(f);
    layer.push_back(d);
    return layer.back();
}

CTXData& Pane::addProgram(const std::string& text, const QString& name) {
    CTXData d;
    formula::Compiler compiler;
    formula::Program program;
    formula::CompileError error;
    if (!compiler.compile(text, &program, &error)) {
        qWarning() << "does not compile:" << error.text().c_str();
        layer.push_back(d);
        return layer.back();
    }
    const int ctx = fml_ctx_create(vm_.vm);
    program.push(ctx);
    formulas_.push_back(std::make_shared<formula::Formula>(0, name, fml_ctx_release, ctx));
    d.ctx = ctx;
    d.name = name;
    d.scales = QStringLiteral("NO");
    d.crosshair = QStringLiteral("NO");
    d.security.decimal = 2;
    layer.push_back(d);
    return layer.back();
}

void Pane::setStatic(int ctx, const char* name, float value) {
    fml_arg h = fml_get_static_argument(ctx, name);
    fml_argument_literal(h, 1);
    fml_argument_data(h, 1)[0] = value;
}

bool Pane::run() {
    bool ok = true;
    for (CTXData& d : layer) {
        if (d.ctx == 0) {
            continue;
        }
        d.series = &bars;
        if (vm_.run(d.ctx, series) == 0) {
            qWarning() << "run failed:" << fml_ctx_last_error(d.ctx);
            ok = false;
        }
    }
    return ok;
}

void Pane::layout(const QRect& rect, int first, int last, int showNumber) {
    begin = first;
    end = last;
    const int n = showNumber > 0 ? showNumber : last - first + 1;
    for (CTXData& d : layer) {
        PaneGeometry& g = d.geo;
        g.rect = rect;
        g.fullRect = rect;
        g.barGap = 1;
        g.barWidth = (float(rect.width()) - n * g.barGap) / n;
        if (g.barWidth < 1) {
            g.barGap = 0;
            g.barWidth = float(rect.width()) / n;
        }
        g.barWidth = std::min(g.barWidth, float(rect.width() / 8) - g.barGap);
        float hi = 0, lo = 0;
        if (d.ctx && fml_ctx_output_maxmin(d.ctx, first, last - first + 1, &hi, &lo)) {
            g.max = hi;
            g.min = lo;
        }
        if (g.max == g.min) {
            g.max *= 1.01f;
            g.min *= 0.99f;
        }
    }
}

void Pane::setRange(float max, float min) {
    for (CTXData& d : layer) {
        d.geo.max = max;
        d.geo.min = min;
    }
}

QImage Pane::render(const QSize& size) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    chart::renderLayer(&painter, layer, begin, end);
    return image;
}

QColor colorAt(const QImage& image, int x, int y) {
    if (!image.rect().contains(x, y)) {
        return QColor();
    }
    QColor c = QColor::fromRgba(image.pixel(x, y));
    return c;
}

bool painted(const QImage& image, int x, int y) {
    return image.rect().contains(x, y) && qAlpha(image.pixel(x, y)) > 0;
}

bool sameColor(const QColor& a, const QColor& b, int tolerance) {
    return a.isValid() && b.isValid() && a.alpha() == 255 &&
           std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

int paintedCount(const QImage& image, const QRect& area) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return n;
}

}  // namespace render_test
