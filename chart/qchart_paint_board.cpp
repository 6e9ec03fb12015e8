// The chart's drawing board: the chart as the board's host, the invocable board operations,
// pointer events the board takes, and the drawing layer painted over the main pane.
#include "chart/qchart.h"
#include "paint/cpaint_board.h"
#include "paint/cpaint_shapes.h"

#include <QEvent>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QQuickWindow>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

class ChartPaintHost : public paint::PaintHost {
public:
    explicit ChartPaintHost(QChart* chart) : chart_(chart) {}

    const PaneGeometry* mainGeometry() const override {
        const CTXData* main = chart_->getCTXData(0);
        // A pane is there once the layout gave it a plot rectangle.
        return main && main->geo.fullRect.width() > 0 && main->geo.fullRect.height() > 0
                   ? &main->geo
                   : nullptr;
    }
    int begin() const override { return chart_->getBegin(); }
    int end() const override { return chart_->getEnd(); }
    const KSeries* bars() const override { return chart_->getKData(0); }
    void requestRepaint() override { chart_->update(); }
    void requestTextDialog(uint editId, const QString& text, const QString& color,
                           const QString& font) override {
        emit chart_->showTextDlg(chart_, QVariant(editId), QVariant(text), QVariant(color),
                                 QVariant(font));
    }
    void requestMenu(const QString& type, int x, int y) override {
        emit chart_->showPaintBoardMenu(chart_, type, x, y);
    }

private:
    QChart* chart_;
};

// Pointer events reaching the chart item itself go to the board first; what it does not take
// goes on to the chart.
class BoardPointer : public QObject {
public:
    BoardPointer(QChart* chart, CPaintBoard* board)
        : QObject(chart), chart_(chart), board_(board) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != chart_) {
            return false;
        }
        switch (event->type()) {
            case QEvent::MouseButtonPress: {
                auto* e = static_cast<QMouseEvent*>(event);
                const QPoint p = e->localPos().toPoint();
                bool taken = false;
                if (e->button() == Qt::LeftButton) {
                    taken = chart_->onLButtonDown(0, p.x(), p.y());
                } else if (e->button() == Qt::RightButton) {
                    taken = chart_->onRButtonDown(0, p.x(), p.y());
                }
                pressTaken_ = taken && e->button() == Qt::LeftButton;
                if (taken) {
                    e->accept();
                }
                return taken;
            }
            case QEvent::MouseMove: {
                auto* e = static_cast<QMouseEvent*>(event);
                const QPoint p = e->localPos().toPoint();
                const bool held = e->buttons() & Qt::LeftButton;
                const bool taken = chart_->onMousePaintBoard(held ? 1 : 0, p.x(), p.y());
                if (pressTaken_) {
                    e->accept();
                    return true;
                }
                return taken;
            }
            case QEvent::MouseButtonRelease: {
                auto* e = static_cast<QMouseEvent*>(event);
                if (e->button() != Qt::LeftButton || !pressTaken_) {
                    return false;
                }
                const QPoint p = e->localPos().toPoint();
                pressTaken_ = false;
                chart_->onLButtonUp(0, p.x(), p.y());
                e->accept();
                return true;
            }
            case QEvent::HoverEnter:
            case QEvent::HoverMove: {
                auto* e = static_cast<QHoverEvent*>(event);
                const QPoint p = e->posF().toPoint();
                chart_->onMousePaintBoard(0, p.x(), p.y());
                return false;
            }
            case QEvent::HoverLeave:
                if (!pressTaken_) {
                    chart_->onLButtonLeave(0, -1, -1);
                }
                return false;
            default:
                return false;
        }
    }

private:
    QChart* chart_;
    CPaintBoard* board_;
    bool pressTaken_ = false;
};

}  // namespace

void QChart::initPaintBoard() {
    paintBoard_ = new CPaintBoard(this);
    isBand_ = std::make_unique<CPaintFullRect>();
    paintBoard_->setHost(std::make_unique<ChartPaintHost>(this));
    connect(paintBoard_, &CPaintBoard::paintComplete, this, &QChart::onPaintComplete);
    installEventFilter(new BoardPointer(this, paintBoard_));
}

void QChart::loadDrawingsOfSeries0() {
    const CTXData* main = getCTXData(0);
    if (!main) {
        return;
    }
    const QuoteCodeInfo& s = main->security;
    const QString code = QString::fromUtf8(s.code, int(strnlen(s.code, sizeof(s.code))));
    if (!code.isEmpty()) {
        parsePaintData(code, s.market, cycle_);
    }
}

void QChart::paintDrawingTools(QPainter* painter, const CTXData& main) {
    Q_UNUSED(main);
    const QQuickWindow* w = window();
    paintBoard_->paintLayer(painter, w ? w->effectiveDevicePixelRatio() : 1.0);
}

void QChart::setPaintBoardQChart(QString className) {
    paintBoard_->setPaintBoardQChart(className);
    update();
}

bool QChart::onLButtonDown(uint, int x, int y) {
    const bool taken = paintBoard_->onLButtonDown(x, y);
    followISBand();
    if (taken) {
        update();
    }
    return taken;
}

bool QChart::onLButtonUp(uint, int x, int y) {
    return paintBoard_->onLButtonUp(x, y);
}

bool QChart::onLButtonLeave(uint, int x, int y) {
    return paintBoard_->onLButtonLeave(x, y);
}

bool QChart::onRButtonDown(uint, int x, int y) {
    return paintBoard_->onRButtonDown(x, y);
}

bool QChart::onMousePaintBoard(uint type, int x, int y) {
    const bool changed = paintBoard_->onMousePaintBoard(type, x, y);
    followISBand();
    return changed;
}

void QChart::followISBand() {
    if (!isSelecting_ || !isBand_->start.isSet()) {
        return;
    }
    const int a = isBand_->start.index;
    const int b = isBand_->end.isSet() ? isBand_->end.index : a;
    isStart_ = std::min(a, b);
    isEnd_ = std::max(a, b);
}

void QChart::placeISBand() {
    const KSeries* bars = getKData(0);
    if (!bars || isStart_ < 0 || isEnd_ < 0 || isEnd_ >= int(bars->size())) {
        return;
    }
    auto anchor = [bars](paint::PaintPoint& p, int k) {
        p.index = k;
        p.time = (*bars)[size_t(k)].time;
        p.price = (*bars)[size_t(k)].close;
        p.x = p.y = 0;  // projected from the bar before every paint
    };
    anchor(isBand_->start, isStart_);
    anchor(isBand_->end, isEnd_);
    if (paintBoard_->defaultTool() != isBand_.get()) {
        paintBoard_->releaseDefaultTool();
        paintBoard_->setDefaultTool(isBand_.get());
    }
    paintBoard_->showDefaultTool();
}

void QChart::setStyleCommand(int a_index, int c) {
    paintBoard_->setStyleCommand(a_index, c);
}

void QChart::setPaintBoardEditText(uint editP, QString text, QString color, QString font) {
    paintBoard_->setPaintBoardEditText(editP, text, color, font);
}

void QChart::setPaintBoardActive(bool b) {
    paintBoard_->setActive(b);
}

void QChart::parsePaintData(QString code, int market, int cycle) {
    paintBoard_->parsePaintData(code, market, cycle);
}

bool QChart::savePaintData(QString code, int market, int cycle) {
    return paintBoard_->savePaintData(code, market, cycle);
}

QString QChart::getPaintData() const {
    return QString::fromUtf8(paintBoard_->document());
}
