// Hands freed heap back to the system after a view opens or closes. Building a view allocates
// far more than the view keeps (compiled bindings, layout passes, first frames); the allocator
// keeps those pages, so a session with many tabs grew by what each view needed once, not by
// what it holds. Requests within a short interval are served by one trim, on a pool thread.
#ifndef VQ_APP_HEAP_TRIM_H
#define VQ_APP_HEAP_TRIM_H

#include <QObject>
#include <QTimer>

class HeapTrim : public QObject {
    Q_OBJECT

public:
    explicit HeapTrim(QObject* parent = nullptr);

    // Schedules a trim once the views have settled (the last request counts).
    Q_INVOKABLE void request();

private:
    QTimer settle_;
};

#endif
