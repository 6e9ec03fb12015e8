// Freed heap goes back to the system after views open or close: a burst of requests, from the
// GUI thread or from the render thread that reports frames, is served by one trim after the
// burst, and the trim leaves memory still in use untouched.
#include "app/heap_trim.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>
#include <vector>

namespace {

QMutex messagesLock;
QStringList messages;

void collect(QtMsgType, const QMessageLogContext&, const QString& text) {
    QMutexLocker lock(&messagesLock);
    messages << text;
}

int count(const QString& part) {
    QMutexLocker lock(&messagesLock);
    int n = 0;
    for (const QString& m : messages)
        n += m.contains(part) ? 1 : 0;
    return n;
}

}  // namespace

class TestHeapTrim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("vq.timing.info=true"));
        qInstallMessageHandler(collect);
    }
    void cleanupTestCase() { qInstallMessageHandler(nullptr); }

    void burstServedOnce_data() {
        QTest::addColumn<bool>("fromOtherThread");
        QTest::addColumn<int>("requests");
        QTest::newRow("GUI thread, one request") << false << 1;
        QTest::newRow("GUI thread, a burst") << false << 5;
        QTest::newRow("render thread, a burst") << true << 5;
    }
    void burstServedOnce() {
        QFETCH(bool, fromOtherThread);
        QFETCH(int, requests);
        {
            QMutexLocker lock(&messagesLock);
            messages.clear();
        }
        // Memory in use across the trim, as the open views' data is.
        std::vector<std::unique_ptr<char[]>> kept;
        for (int i = 0; i < 64; ++i) {
            kept.emplace_back(new char[64 * 1024]);
            std::memset(kept.back().get(), i, 64 * 1024);
        }
        HeapTrim trim;
        auto burst = [&] {
            for (int i = 0; i < requests; ++i)
                trim.request();
        };
        if (fromOtherThread) {
            std::unique_ptr<QThread> thread(QThread::create(burst));
            thread->start();
            QVERIFY(thread->wait(5000));
        } else {
            burst();
        }
        QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("heap trimmed")), 1, 5000);
        QTest::qWait(300);
        QCOMPARE(count(QStringLiteral("heap trimmed")), 1);
        QCOMPARE(count(QStringLiteral("Timers cannot")), 0);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(kept[size_t(i)][64 * 1024 - 1], char(i));
    }
};

QTEST_GUILESS_MAIN(TestHeapTrim)
#include "tst_heap_trim.moc"
