#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QQuickWindow>

class SingleApplication;

// The window helper the main window reaches as "QRoot": moves and resizes the frameless
// window, places pop-ups, restarts the program.
class QRoot : public QObject {
    Q_OBJECT
public:
    static QRoot* instance();

    void setApplication(SingleApplication* app) { application_ = app; }
    QQuickWindow* window() const { return window_; }

    Q_INVOKABLE void setWindow(QObject* root);
    Q_INVOKABLE void setRect(float x, float y, float w, float h);
    Q_INVOKABLE QPoint getScreenRightBottom(int w, int h) const;
    Q_INVOKABLE void restartApp();

private:
    QRoot() = default;

    QPointer<QQuickWindow> window_;
    QPointer<SingleApplication> application_;
};
