#include "app/qml_phase.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <memory>

#include "bridge/cookie_network_factory.h"

Q_LOGGING_CATEGORY(lcStartup, "vq.startup", QtWarningMsg)

namespace {

// Milliseconds since the kernel started this process.
qint64 processAgeMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // Field 22 (start time in clock ticks after boot) follows the ")" that ends field 2.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20) {
        return -1;
    }
    const double startSeconds = fields.at(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    const double nowSeconds = uptime.readAll().split(' ').value(0).toDouble();
    return qint64((nowSeconds - startSeconds) * 1000.0);
}

}  // namespace

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
    // How long the program took to show something: from process start (as the kernel
    // counts it, so loading the libraries is included) to the view's first frame.
    if (auto* window = qobject_cast<QQuickWindow*>(rootObject())) {
        // Frames are reported from the render thread and may queue up: report the first one.
        auto reported = std::make_shared<bool>(false);
        const QString name = view_.fileName();
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [reported, name] {
            if (!*reported) {
                *reported = true;
                qCInfo(lcStartup).noquote()
                    << name << "first frame after" << processAgeMs() << "ms";
            }
        });
    }
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
