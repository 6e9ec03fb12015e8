#include "app/heap_trim.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThreadPool>

#include <malloc.h>

namespace {

Q_LOGGING_CATEGORY(heapTiming, "vq.timing")

// Long enough for a new view's first frames and its first answers from the server.
constexpr int kSettleMs = 1500;

}  // namespace

HeapTrim::HeapTrim(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [] {
        // malloc_trim walks every arena under its lock: a pool thread takes that time.
        QThreadPool::globalInstance()->start([] {
            QElapsedTimer clock;
            clock.start();
            malloc_trim(0);
            qCInfo(heapTiming) << "heap trimmed in" << clock.elapsed() << "ms";
        });
    });
}

void HeapTrim::request() {
    // Frame signals reach QML from the render thread; the timer belongs to this object's.
    QMetaObject::invokeMethod(
        this, [this] { settle_.start(); }, Qt::AutoConnection);
}
