#include "paint/cpaint_board.h"

#include "paint/cpaint_method_base.h"
#include "paint/drawing_file.h"
#include "paint/paint_log.h"

#include <QJsonDocument>
#include <QPainter>

#include <algorithm>

Q_LOGGING_CATEGORY(lcPaint, "vq.paint")

CPaintBoard::CPaintBoard(QObject* parent) : QObject(parent) {}

CPaintBoard::~CPaintBoard() {
    for (CPaintMethodBase* t : tools_) {
        if (t != default_) {
            delete t;
        }
    }
}

void CPaintBoard::setHost(std::unique_ptr<paint::PaintHost> host) {
    host_ = std::move(host);
    for (CPaintMethodBase* t : tools_) {
        t->setChart(host_.get());
    }
}

void CPaintBoard::repaint() {
    ++revision_;
    if (host_) {
        host_->requestRepaint();
    }
}

bool CPaintBoard::hasMainPane() const {
    return host_ && host_->mainGeometry();
}

void CPaintBoard::snap(int& x) const {
    if (const PaneGeometry* g = host_ ? host_->mainGeometry() : nullptr) {
        x = paint::snapToSlot(*g, x);
    }
}

void CPaintBoard::giveChartAndRect(CPaintMethodBase* tool) const {
    tool->setChart(host_.get());
    if (const PaneGeometry* g = host_ ? host_->mainGeometry() : nullptr) {
        const QRect& r = g->fullRect;
        tool->setRect(r.left(), r.top(), r.right(), r.bottom());
    }
}

bool CPaintBoard::outsidePane(int x, int y) const {
    return !tools_.empty() && !tools_.front()->paneRect.contains(x, y);
}

void CPaintBoard::addTool(CPaintMethodBase* tool) {
    current_ = tool;
    tool->setChart(host_.get());
    tool->attached = false;
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end()) {
        tools_.push_back(tool);
    }
}

void CPaintBoard::removeTool(CPaintMethodBase* tool) {
    auto it = std::find(tools_.begin(), tools_.end(), tool);
    if (it == tools_.end()) {
        return;
    }
    tools_.erase(it);
    if (current_ == tool) {
        current_ = nullptr;
    }
    if (menuTarget_ == tool) {
        menuTarget_ = nullptr;
    }
    if (tool != default_) {
        delete tool;
    }
}

void CPaintBoard::setDefaultTool(CPaintMethodBase* tool) {
    default_ = tool;
    if (tool) {
        giveChartAndRect(tool);
    }
}

void CPaintBoard::showDefaultTool() {
    if (!default_) {
        return;
    }
    // Shown, not picked: the next press must not take it for the tool being handled.
    CPaintMethodBase* keep = current_ == default_ ? nullptr : current_;
    addTool(default_);
    giveChartAndRect(default_);
    default_->update();  // its pixels now, for hit tests before the next paint
    current_ = keep;
    repaint();
}

void CPaintBoard::releaseDefaultTool() {
    if (!default_) {
        return;
    }
    CPaintMethodBase* tool = default_;
    removeTool(tool);  // the default tool is never destroyed by the board
    default_ = nullptr;
    repaint();
}

void CPaintBoard::setPaintBoardQChart(const QString& className) {
    if (className == QLatin1String("clear")) {
        clear();
        dirty_ = true;
        return;
    }
    if (paint::ToolFactory f = paint::factoryForClass(className)) {
        // A half-placed tool of the previous choice is dropped rather than left without its
        // last point.
        if (awaitingThird_ && current_ && current_->threeClick) {
            removeTool(current_);
        }
        awaitingThird_ = false;
        creating_ = false;
        factory_ = f;
        // The menu has closed once another tool is chosen: its target must not keep the next
        // press from placing the new tool.
        menuTarget_ = nullptr;
    }
}

bool CPaintBoard::onLButtonDown(int x, int y) {
    ++revision_;
    pointerX_ = x;
    pointerY_ = y;
    snap(x);
    if (outsidePane(x, y)) {
        return false;
    }
    if (current_ && current_->threeClick && !creating_ && awaitingThird_) {
        // The third point stays where the hover put it.
        awaitingThird_ = false;
        lastX_ = lastY_ = -1;
        dirty_ = true;
        return true;
    }
    lastX_ = x;
    lastY_ = y;
    hitStart_ = hitMid_ = hitEnd_ = false;
    if (current_) {
        if (current_->hitStart(pointerX_, pointerY_)) {
            hitStart_ = true;
            return true;
        }
        if (current_->hitEnd(pointerX_, pointerY_)) {
            hitEnd_ = true;
            return true;
        }
        hitMid_ = current_->hitMid(pointerX_, pointerY_);
        return true;
    }
    if (factory_ && !menuTarget_) {
        // Tools are anchored to bars: with none on the chart there is nothing to place one on,
        // and a press beside the main pane (on an axis) places nothing.
        const KSeries* bars = host_ ? host_->bars() : nullptr;
        if (!hasMainPane() || !bars || bars->empty() ||
            !host_->mainGeometry()->fullRect.contains(x, y)) {
            return false;
        }
        CPaintMethodBase* tool = factory_();
        addTool(tool);
        giveChartAndRect(tool);
        tool->setStart(x, y);
        tool->refreshGeometry();
        dirty_ = true;
        if (tool->end.isSet()) {
            onLButtonUp(pointerX_, pointerY_);
            return true;
        }
    } else if (default_ && !default_->end.isSet()) {
        addTool(default_);
        giveChartAndRect(default_);
        default_->setStart(x, y);
    } else {
        return false;
    }
    creating_ = true;
    awaitingThird_ = false;
    if (current_->threeClick) {
        hitMid_ = true;
    } else {
        hitEnd_ = true;
    }
    return true;
}

bool CPaintBoard::onLButtonUp(int x, int y) {
    pointerX_ = x;
    pointerY_ = y;
    snap(x);
    if (current_ && !current_->paneRect.contains(x, y)) {
        return false;
    }
    hitStart_ = hitMid_ = hitEnd_ = false;
    if (current_ && current_->threeClick && creating_) {
        creating_ = false;
        if (!current_->mid.isSet()) {
            // A click without a drag puts the second point on the first.
            current_->mid = current_->start;
        }
        awaitingThird_ = true;
    } else {
        CPaintMethodBase* done = current_;
        if (creating_ && done && done != default_ && !done->end.isSet() && !done->mid.isSet()) {
            // A click without a drag leaves a tool with one point: nothing to show or keep.
            removeTool(done);
            done = nullptr;
        }
        creating_ = false;
        emit paintComplete(done);
        factory_ = nullptr;
    }
    repaint();
    return false;
}

bool CPaintBoard::onLButtonLeave(int x, int y) {
    if (awaitingThird_ && current_ && current_->threeClick) {
        // Leaving the chart before the third click abandons the tool.
        removeTool(current_);
        awaitingThird_ = false;
        factory_ = nullptr;
    }
    onLButtonUp(x, y);
    if (current_) {
        // Nothing is under the pointer once it has left: no drawing stays selected.
        current_->selected = false;
        current_->selectionChanged();
        repaint();
    }
    current_ = nullptr;
    return false;
}

bool CPaintBoard::onRButtonDown(int x, int y) {
    pointerX_ = x;
    pointerY_ = y;
    snap(x);
    if (tools_.empty() || outsidePane(x, y)) {
        return false;
    }
    if (current_ && current_->threeClick && (awaitingThird_ || creating_)) {
        // A right press while a three-click tool waits for its last point abandons it.
        removeTool(current_);
        awaitingThird_ = creating_ = false;
        factory_ = nullptr;
        repaint();
        return true;
    }
    menuTarget_ = current_;
    if (!current_ || current_ == default_) {
        if (factory_) {
            factory_ = nullptr;
            return true;
        }
        return false;
    }
    const bool isText = current_->textEditor() != nullptr;
    current_ = nullptr;
    handleHovered_ = bodyHovered_ = false;
    if (host_) {
        host_->requestMenu(isText ? QStringLiteral("text") : QStringLiteral("line"), pointerX_,
                           pointerY_);
    }
    return true;
}

void CPaintBoard::select(CPaintMethodBase* tool) {
    current_ = tool;
    tool->selected = true;
    tool->selectionChanged();
}

bool CPaintBoard::onMousePaintBoard(uint type, int x, int y) {
    pointerX_ = x;
    pointerY_ = y;
    snap(x);
    if (tools_.empty() || !active_ || outsidePane(x, y)) {
        return false;
    }
    bodyHovered_ = false;
    handleHovered_ = hitStart_ || hitEnd_ || hitMid_;
    if (type == 1 && current_) {
        if (hitStart_) {
            current_->setStart(x, y);
        } else if (hitEnd_) {
            current_->setEnd(x, y);
        } else if (hitMid_) {
            current_->setMid(x, y);
        } else if (lastX_ == -1 && lastY_ == -1) {
            // The press that fixed a third point starts no move.
            lastX_ = x;
            lastY_ = y;
        } else {
            current_->moveBy(x - lastX_, y - lastY_);
            lastX_ = x;
            lastY_ = y;
            bodyHovered_ = true;
        }
        current_->refreshGeometry();
        if (current_ != default_) {
            dirty_ = true;
        }
        repaint();
        return true;
    }
    bool needRepaint = false;
    if (current_ && current_->threeClick && !creating_ && awaitingThird_) {
        current_->setEnd(x, y);
        current_->refreshGeometry();
        repaint();
        return true;
    }
    if (current_) {
        current_->selected = false;
        current_->selectionChanged();
        needRepaint = true;
    }
    for (CPaintMethodBase* t : tools_) {
        if (t->hitStart(pointerX_, pointerY_) || t->hitEnd(pointerX_, pointerY_) ||
            t->hitMid(pointerX_, pointerY_)) {
            select(t);
            handleHovered_ = true;
            repaint();
            return false;
        }
    }
    for (CPaintMethodBase* t : tools_) {
        if (t->hitBody(pointerX_, pointerY_)) {
            select(t);
            bodyHovered_ = true;
            repaint();
            return false;
        }
    }
    current_ = nullptr;
    if (needRepaint) {
        repaint();
    }
    return false;
}

void CPaintBoard::setStyleCommand(int index, int c) {
    CPaintMethodBase* t = menuTarget_;
    if (t) {
        switch (index) {
            case 0:
                t->setColor(c & 0xffffff);
                menuTarget_ = nullptr;
                dirty_ = true;
                break;
            case 1:
                removeTool(t);
                menuTarget_ = nullptr;
                dirty_ = true;
                break;
            case 2:
                if (IPaintTextEditor* editor = t->textEditor()) {
                    editor->edit();
                }
                break;
            case 4:
            case 5:
                t->setStyle(index == 4 ? paint::kSolid : paint::kDot);
                dirty_ = true;
                break;
            case 6:
            case 7:
            case 8:
                t->setWidth(index - 5);
                dirty_ = true;
                break;
            default:
                break;
        }
    }
    repaint();
}

void CPaintBoard::setPaintBoardEditText(uint editP, const QString& text, const QString& color,
                                        const QString& font) {
    if (!active_ || tools_.empty()) {
        return;
    }
    for (CPaintMethodBase* t : tools_) {
        IPaintTextEditor* editor = t->textEditor();
        if (editor && editor->editId() == editP) {
            editor->setText(text, color, font);
            dirty_ = true;
            repaint();
            return;
        }
    }
}

void CPaintBoard::setActive(bool active) {
    active_ = active;
    repaint();
}

void CPaintBoard::clear() {
    current_ = nullptr;
    menuTarget_ = nullptr;
    factory_ = nullptr;
    for (auto it = tools_.rbegin(); it != tools_.rend(); ++it) {
        if (*it != default_) {
            delete *it;
        }
    }
    tools_.clear();
    if (default_) {
        addTool(default_);
    }
    hitStart_ = hitMid_ = hitEnd_ = false;
    creating_ = awaitingThird_ = false;
    emit paintComplete(current_);
    repaint();
}

void CPaintBoard::paint(QPainter* painter) {
    const PaneGeometry* g = host_ ? host_->mainGeometry() : nullptr;
    if (!g || tools_.empty()) {
        return;
    }
    const QRect& r = g->fullRect;
    for (CPaintMethodBase* t : tools_) {
        t->resolveAnchors();
        t->setPainter(painter);
        t->setRect(r.left(), r.top(), r.right(), r.bottom());
        t->update();
        t->draw();
        t->setPainter(nullptr);
    }
}

bool CPaintBoard::LayerKey::operator==(const LayerKey& o) const {
    return rect == o.rect && barWidth == o.barWidth && barGap == o.barGap && max == o.max &&
           min == o.min && begin == o.begin && end == o.end && bars == o.bars && count == o.count &&
           first == o.first && last == o.last && revision == o.revision && ratio == o.ratio;
}

void CPaintBoard::paintLayer(QPainter* target, qreal devicePixelRatio) {
    const PaneGeometry* g = host_ ? host_->mainGeometry() : nullptr;
    if (!g || tools_.empty() || g->fullRect.isEmpty()) {
        return;
    }
    const KSeries* bars = host_->bars();
    LayerKey key;
    key.rect = g->fullRect;
    key.barWidth = g->barWidth;
    key.barGap = g->barGap;
    key.max = g->max;
    key.min = g->min;
    key.begin = host_->begin();
    key.end = host_->end();
    key.bars = bars;
    key.count = bars ? bars->size() : 0;
    key.first = key.count ? bars->front().time : 0;
    key.last = key.count ? bars->back().time : 0;
    key.revision = revision_;
    key.ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    if (layer_.isNull() || !(key == layerKey_)) {
        const QSize size = key.rect.size() * key.ratio;
        if (layer_.size() != size) {
            layer_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        }
        layer_.setDevicePixelRatio(key.ratio);
        layer_.fill(Qt::transparent);
        QPainter p(&layer_);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        p.translate(-key.rect.left(), -key.rect.top());
        paint(&p);
        layerKey_ = key;
    }
    target->drawImage(key.rect.topLeft(), layer_);
}

QByteArray CPaintBoard::document() const {
    QByteArray out("{\"paintArray\":[");
    bool first = true;
    for (const CPaintMethodBase* t : tools_) {
        paint::SavedObject o;
        if (!t->savedObject(o)) {
            continue;
        }
        if (!first) {
            out.append(',');
        }
        first = false;
        o.write(out);
    }
    for (const QJsonObject& held : heldBack_) {
        if (!first) {
            out.append(',');
        }
        first = false;
        out.append(QJsonDocument(held).toJson(QJsonDocument::Compact));
    }
    out.append("]}");
    return out;
}

bool CPaintBoard::savePaintData(const QString& code, int market, int cycle) {
    if (!dirty_) {
        // Nothing changed since the file was read (or written): it already holds these
        // drawings, and a file that could only be read in part stays as it is.
        return true;
    }
    const QString path = paint::drawingFilePath(code, market, cycle);
    if (path.isEmpty()) {
        qCWarning(lcPaint) << "drawings not saved: no file for code" << code;
        return false;
    }
    if (!paint::writeDrawingFile(path, document())) {
        qCWarning(lcPaint) << "drawings not saved:" << path;
        return false;
    }
    dirty_ = false;
    return true;
}

void CPaintBoard::adoptHeldBack() {
    for (auto it = heldBack_.begin(); it != heldBack_.end();) {
        paint::ToolFactory f = paint::factoryForType(it->value(QLatin1String("type")).toString());
        if (!f) {
            ++it;
            continue;
        }
        CPaintMethodBase* tool = f();
        giveChartAndRect(tool);
        tool->readSavedObject(*it);
        if (!tool->anchoredInSeries()) {
            delete tool;
            ++it;
            continue;
        }
        tool->selected = false;
        tool->selectionChanged();
        addTool(tool);
        current_ = nullptr;
        it = heldBack_.erase(it);
    }
}

void CPaintBoard::clearTools() {
    clear();
    heldBack_.clear();
    dirty_ = false;
}

void CPaintBoard::parsePaintData(const QString& code, int market, int cycle) {
    if (!hasMainPane()) {
        clearTools();
        // Without a pane nothing was loaded: the next call for the same security loads again.
        code_.clear();
        return;
    }
    for (CPaintMethodBase* t : tools_) {
        giveChartAndRect(t);
    }
    if (!code_.isEmpty() && code == code_ && market == market_ && cycle == cycle_) {
        // More bars may have arrived: drawings on them come back now.
        if (!heldBack_.empty()) {
            adoptHeldBack();
            factory_ = nullptr;
            repaint();
        }
        return;
    }
    if (dirty_ && !code_.isEmpty()) {
        // Changes the views did not save yet stay with the security they were drawn on.
        savePaintData(code_, market_, cycle_);
    }
    code_ = code;
    market_ = market;
    cycle_ = cycle;
    clearTools();

    const QString path = paint::drawingFilePath(code, market, cycle);
    const paint::DrawingFile file = paint::readDrawingFile(path);
    if (file.damaged) {
        qCWarning(lcPaint) << "drawing file read in part; it is kept until the drawings change:"
                           << path;
    }
    for (const QJsonObject& element : file.elements) {
        const QString type = element.value(QLatin1String("type")).toString();
        paint::ToolFactory f = paint::factoryForType(type);
        if (!f) {
            qCWarning(lcPaint) << "drawing of unknown kind skipped:" << type << "in" << path;
            heldBack_.push_back(element);
            continue;
        }
        CPaintMethodBase* tool = f();
        giveChartAndRect(tool);
        tool->readSavedObject(element);
        if (!tool->anchoredInSeries()) {
            qCInfo(lcPaint) << "drawing off the loaded bars held back:" << type << "in" << path;
            delete tool;
            heldBack_.push_back(element);
            continue;
        }
        // Reopened drawings show without handles until the pointer finds them.
        tool->selected = false;
        tool->selectionChanged();
        addTool(tool);
    }
    // No drawing is under the pointer yet: a press before the first hover must not move one.
    current_ = nullptr;
    factory_ = nullptr;
    active_ = true;
    repaint();
}
