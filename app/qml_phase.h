#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QObject;
class QQmlApplicationEngine;

// One phase of the program: a QML engine of its own, with the data folder as its offline
// storage, running one view until the event loop returns.
class QmlPhase {
public:
    QmlPhase(const QString& dataDir, const QUrl& view);
    ~QmlPhase();

    // Loads the view. If no object is created for it, the event loop is ended with -1 as soon
    // as it runs, and the phase ends as if the view had closed.
    void load();
    // The first root object of the engine, or nullptr when the view failed to load.
    QObject* rootObject() const;
    void setContextProperty(const QString& name, QObject* value);
    int exec();
    // Destroys the engine and with it every view, model and chart of the phase.
    void destroyEngine();

private:
    QUrl view_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
};
