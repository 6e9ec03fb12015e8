// A painted item that holds its pixels only while it can be seen. A quote view in a hidden tab
// keeps its charts (data, formulas, zoom) but not their images: the scene graph's copy of each
// item (an image and a texture of the item's size) is dropped when the item stops being
// visible, and made again, painted, in the frame that shows it, so nothing flashes.
#ifndef VQ_CHART_SHOWN_PAINTED_ITEM_H
#define VQ_CHART_SHOWN_PAINTED_ITEM_H

#include <QQuickPaintedItem>

#include <atomic>

class ShownPaintedItem : public QQuickPaintedItem {
    Q_OBJECT

public:
    explicit ShownPaintedItem(QQuickItem* parent = nullptr);

    // Whether the scene graph holds a painted node of this item (for tests and diagnostics).
    bool holdsPaintNode() const { return holdsNode_.load(); }

protected:
    void itemChange(ItemChange change, const ItemChangeData& value) override;
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
    // Told when the item becomes hidden or visible (itself or through an ancestor), after the
    // node has been scheduled for release or repaint.
    virtual void shownChanged(bool shown);

private:
    // Written on the render thread while the GUI thread waits for the frame's sync.
    std::atomic<bool> holdsNode_{false};
};

#endif
