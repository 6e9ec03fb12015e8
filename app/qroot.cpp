#include "app/qroot.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

#include "app/single_application.h"

QRoot* QRoot::instance() {
    static QRoot* root = new QRoot();
    return root;
}

void QRoot::setWindow(QObject* root) {
    window_ = qobject_cast<QQuickWindow*>(root);
}

void QRoot::setRect(float x, float y, float w, float h) {
    if (!window_ || !(w > 600.0f || h > 480.0f)) {
        return;
    }
    const QRect target{int(x), int(y), int(w), int(h)};
    if (window_->x() != x || window_->y() != y || window_->width() != w || window_->height() != h) {
        window_->setGeometry(target);
    }
}

QPoint QRoot::getScreenRightBottom(int w, int h) const {
    QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return QPoint(0, 0);
    }
    const QRect area = screen->availableGeometry();
    return QPoint(area.x() + area.width() - w, area.y() + area.height() - h);
}

void QRoot::restartApp() {
    if (application_) {
        application_->releaseInstanceName();
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
    QCoreApplication::exit(0);
}
