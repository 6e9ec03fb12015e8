// Lookups the in-process window tests share: a free local port, and named objects found
// through both the object and the item trees of a window (pop-ups keep their content under
// the window's overlay).
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QTcpServer>

inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The first object named `name` below `root`, the object tree first.
inline QObject* findNamed(QObject* root, const QString& name) {
    if (!root) {
        return nullptr;
    }
    if (root->objectName() == name) {
        return root;
    }
    for (QObject* child : root->children()) {
        if (QObject* found = findNamed(child, name)) {
            return found;
        }
    }
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems()) {
            if (QObject* found = findNamed(child, name)) {
                return found;
            }
        }
    }
    return nullptr;
}

inline QObject* findInWindow(QQuickWindow* window, const QString& name) {
    if (!window) {
        return nullptr;
    }
    if (QObject* found = findNamed(window, name)) {
        return found;
    }
    return findNamed(window->contentItem(), name);
}
