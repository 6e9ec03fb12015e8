#include "chart/shown_painted_item.h"

#include <QSGNode>

ShownPaintedItem::ShownPaintedItem(QQuickItem* parent) : QQuickPaintedItem(parent) {}

void ShownPaintedItem::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickPaintedItem::itemChange(change, value);
    if (change != ItemVisibleHasChanged) {
        return;
    }
    // Either way the next frame must visit the node: to drop it, or to paint a fresh one.
    update();
    shownChanged(value.boolValue);
}

QSGNode* ShownPaintedItem::updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) {
    if (!isVisible()) {
        // The scene graph removes a node from its parent when it is deleted.
        delete old;
        holdsNode_ = false;
        return nullptr;
    }
    QSGNode* node = QQuickPaintedItem::updatePaintNode(old, data);
    holdsNode_ = node != nullptr;
    return node;
}

void ShownPaintedItem::shownChanged(bool) {}
