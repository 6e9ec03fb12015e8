#include "app/qml_phase.h"

#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>

#include "bridge/cookie_network_factory.h"

QmlPhase::QmlPhase(const QString& dataDir, const QUrl& view)
    : view_(view), engine_(std::make_unique<QQmlApplicationEngine>()) {
    static CookieNetworkAccessManagerFactory networkFactory;
    engine_->setNetworkAccessManagerFactory(&networkFactory);
    engine_->setOfflineStoragePath(dataDir);
    const QUrl expected = view_;
    QObject::connect(
        engine_.get(), &QQmlApplicationEngine::objectCreated, engine_.get(),
        [expected](QObject* object, const QUrl& url) {
            if (!object && url == expected) {
                QCoreApplication::exit(-1);
            }
        },
        Qt::QueuedConnection);
}

QmlPhase::~QmlPhase() = default;

void QmlPhase::load() {
    engine_->load(view_);
}

QObject* QmlPhase::rootObject() const {
    if (!engine_ || engine_->rootObjects().isEmpty()) {
        return nullptr;
    }
    return engine_->rootObjects().first();
}

void QmlPhase::setContextProperty(const QString& name, QObject* value) {
    engine_->rootContext()->setContextProperty(name, value);
}

int QmlPhase::exec() {
    return QCoreApplication::exec();
}

void QmlPhase::destroyEngine() {
    engine_.reset();
}
