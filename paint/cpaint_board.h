// The drawing board of a chart: chooses, places, selects, drags and restyles the line studies
// over the chart's main pane, paints them, and keeps them per security, market and cycle.
#ifndef VQ_PAINT_CPAINT_BOARD_H
#define VQ_PAINT_CPAINT_BOARD_H

#include "paint/paint_host.h"
#include "paint/tool_registry.h"

#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CPaintMethodBase;
class QPainter;

class CPaintBoard : public QObject {
    Q_OBJECT
public:
    explicit CPaintBoard(QObject* parent = nullptr);
    ~CPaintBoard() override;

    // The chart the board draws on; owned by the board.
    void setHost(std::unique_ptr<paint::PaintHost> host);
    paint::PaintHost* host() const { return host_.get(); }

    void setPaintBoardQChart(const QString& className);
    // Pointer events in item pixels; the board snaps x to the bar slot itself.
    bool onLButtonDown(int x, int y);
    bool onLButtonUp(int x, int y);
    bool onLButtonLeave(int x, int y);
    bool onRButtonDown(int x, int y);
    bool onMousePaintBoard(uint type, int x, int y);
    void setStyleCommand(int index, int c);
    void setPaintBoardEditText(uint editP, const QString& text, const QString& color,
                               const QString& font);
    void setActive(bool active);
    bool isActive() const { return active_; }

    void parsePaintData(const QString& code, int market, int cycle);
    // Writes the drawings under that security and cycle when the user changed them since they
    // were loaded or last saved; false when the file could not be written.
    bool savePaintData(const QString& code, int market, int cycle);
    // The board document as saved.
    QByteArray document() const;
    // Removes every tool but the default one.
    void clear();

    // Draws every tool with `painter`, in item coordinates.
    void paint(QPainter* painter);
    // Draws the drawings onto the chart, cut to the main pane. They are rendered into an image
    // of the pane only when the drawings, the bars, the window or the scale changed since the
    // last call; every other repaint (a crosshair move) copies that image.
    void paintLayer(QPainter* target, qreal devicePixelRatio);

    // A tool installed from outside (the chart's interval band); never destroyed by the board.
    void setDefaultTool(CPaintMethodBase* tool);
    CPaintMethodBase* defaultTool() const { return default_; }
    // Shows the default tool after its points were set from outside.
    void showDefaultTool();
    // Takes the default tool off the board without destroying it; the board has none after.
    void releaseDefaultTool();

    const std::vector<CPaintMethodBase*>& tools() const { return tools_; }
    CPaintMethodBase* currentTool() const { return current_; }
    CPaintMethodBase* menuTarget() const { return menuTarget_; }
    bool hasPendingTool() const { return factory_ != nullptr; }
    bool awaitingThirdClick() const { return awaitingThird_; }
    bool isCreating() const { return creating_; }
    bool isDirty() const { return dirty_; }
    // Saved drawings held back: unknown kinds and tools off the loaded bars. They are written
    // back with the others so that no save loses them.
    int heldBackCount() const { return int(heldBack_.size()); }

signals:
    void paintComplete(void* p);

private:
    void addTool(CPaintMethodBase* tool);
    void removeTool(CPaintMethodBase* tool);
    bool outsidePane(int x, int y) const;
    bool hasMainPane() const;
    void snap(int& x) const;
    void giveChartAndRect(CPaintMethodBase* tool) const;
    void clearTools();
    void adoptHeldBack();
    void repaint();
    void select(CPaintMethodBase* tool);

    std::unique_ptr<paint::PaintHost> host_;
    paint::ToolFactory factory_ = nullptr;
    bool creating_ = false;
    bool awaitingThird_ = false;
    bool active_ = false;
    bool hitStart_ = false;
    bool hitMid_ = false;
    bool hitEnd_ = false;
    bool handleHovered_ = false;
    bool bodyHovered_ = false;
    std::vector<CPaintMethodBase*> tools_;
    CPaintMethodBase* default_ = nullptr;
    CPaintMethodBase* current_ = nullptr;
    CPaintMethodBase* menuTarget_ = nullptr;
    int lastX_ = -1;
    int lastY_ = -1;
    int pointerX_ = 0;
    int pointerY_ = 0;
    QString code_;
    int market_ = 0;
    int cycle_ = 0;
    bool dirty_ = false;
    std::vector<QJsonObject> heldBack_;

    // What the cached layer image was rendered from.
    struct LayerKey {
        QRect rect;
        float barWidth = 0;
        float barGap = 0;
        float max = 0;
        float min = 0;
        int begin = 0;
        int end = 0;
        const void* bars = nullptr;
        size_t count = 0;
        uint32_t first = 0;
        uint32_t last = 0;
        quint64 revision = 0;
        qreal ratio = 1;
        bool operator==(const LayerKey& o) const;
    };
    quint64 revision_ = 1;  // bumped by every change of the drawings or their state
    LayerKey layerKey_;
    QImage layer_;
};

#endif
