// The ranking screens against a local server process with its live market:
//   - a sort change on the whole market (over 5,000 securities) to the first frame that shows
//     the new first page: the time the table itself reports (header click → frame swapped),
//     in a table the size the ranking view gives it on a 1600 × 1000 screen; beside it when
//     the page reached the table, before painting;
//   - the composite ranking (nine live lists of 沪深A股) left running for ten seconds: the
//     share of that time the GUI thread spent on the CPU (its thread CPU clock, painting
//     included, as the windows are painted on that thread here).
//
//   build/bench/table/bench_ranking_view
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTimer>

#include <ctime>
#include <memory>

#include "tests/support/live_harness_setup.h"

namespace {

struct Harness {
    LiveHarnessSetup setup;
    std::unique_ptr<QQmlEngine> engine;

    Harness() {
        setup.applicationAvailable();
        if (!setup.ready())
            qFatal("no server: %s", qPrintable(setup.serverLog()));
        engine = std::make_unique<QQmlEngine>();
        setup.qmlEngineAvailable(engine.get());
    }
    ~Harness() {
        engine.reset();
        setup.cleanupTestCase();
    }

    // A window around the view at `url`, shown.
    std::unique_ptr<QObject> window(const char* body) {
        QQmlComponent component(engine.get());
        component.setData(body, QUrl(QStringLiteral("qrc:/bench/Window.qml")));
        std::unique_ptr<QObject> w(component.create());
        if (!w)
            qFatal("%s", qPrintable(component.errorString()));
        return w;
    }
};

// Calls a function from a string-based connection (the table's signals are declared in QML).
class ArrivalProbe : public QObject {
    Q_OBJECT
public:
    explicit ArrivalProbe(std::function<void()> f) : f_(std::move(f)) {}
public slots:
    void fire() { f_(); }

private:
    std::function<void()> f_;
};

Harness& harness() {
    static Harness h;
    return h;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QObject* findChildItem(QObject* root, const char* name) {
    if (!root || root->objectName() == QLatin1String(name))
        return root;
    if (auto* item = qobject_cast<QQuickItem*>(root))
        for (QQuickItem* child : item->childItems())
            if (QObject* found = findChildItem(child, name))
                return found;
    return nullptr;
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void BM_SortChangeToFirstPagePainted(benchmark::State& state) {
    Harness& h = harness();
    auto w = h.window(R"qml(
import QtQuick 2.15
import QtQuick.Window 2.15
import "qrc:/qml/table"
Window {
    width: 1200
    height: 840
    visible: true
    property alias table: ranking
    RankingTable {
        id: ranking
        anchors.fill: parent
        Component.onCompleted: showBlock(1110, 34, 0)
    }
}
)qml");
    QObject* table = w->property("table").value<QObject*>();
    if (!waitFor([&] { return table->property("rowCount").toInt() > 0; }, 20000)) {
        state.SkipWithError("the ranking never arrived");
        return;
    }
    // Gain, turnover and price by turns: each click is a new order.
    const int columns[] = {4, 13, 3};
    int turn = 0;
    QSignalSpy painted(table, SIGNAL(sortPainted(double)));
    // When the first page of the new order reached the table, apart from its painting.
    QElapsedTimer clock;
    double arrived = 0;
    bool waiting = false;
    QObject::connect(table, SIGNAL(dataChange()), new ArrivalProbe([&] {
                         if (waiting) {
                             arrived += double(clock.nsecsElapsed()) / 1e6;
                             waiting = false;
                         }
                     }),
                     SLOT(fire()));
    for (auto _ : state) {
        painted.clear();
        clock.start();
        waiting = true;
        QMetaObject::invokeMethod(table, "sortBy", Q_ARG(QVariant, columns[turn++ % 3]));
        if (!waitFor([&] { return !painted.isEmpty(); }, 10000)) {
            state.SkipWithError("no frame with the new order");
            return;
        }
        state.SetIterationTime(painted.first().first().toDouble() / 1e3);
    }
    state.counters["rows"] = table->property("rowCount").toInt();
    state.counters["page_arrived_ms"] =
        benchmark::Counter(arrived, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SortChangeToFirstPagePainted)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

void BM_CompositeRankingGuiBusy(benchmark::State& state) {
    Harness& h = harness();
    auto w = h.window(R"qml(
import QtQuick 2.15
import QtQuick.Window 2.15
import "qrc:/qml"
Window {
    width: 1600
    height: 940
    visible: true
    property alias view: monitor
    QMarketTopMonitor {
        id: monitor
        anchors.fill: parent
        Component.onCompleted: setQuery({ "tab": 1100, "block": 1101 })
    }
}
)qml");
    QObject* view = w->property("view").value<QObject*>();
    QObject* last = findChildItem(view, "monitorTable_8");
    if (!last || !waitFor([&] { return last->property("rowCount").toInt() > 0; }, 20000)) {
        state.SkipWithError("the rankings never arrived");
        return;
    }
    int pages = 0;
    for (auto _ : state) {
        QSignalSpy first(findChildItem(view, "monitorTable_0"), SIGNAL(dataChange()));
        const double cpu0 = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = threadCpuMs() - cpu0;
        state.SetIterationTime(double(wall.elapsed()) / 1e3);
        state.counters["busy_pct"] = 100.0 * cpu / double(wall.elapsed());
        pages = first.count();
    }
    state.counters["pushes_per_table"] = pages;
}
BENCHMARK(BM_CompositeRankingGuiBusy)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    // Painting on this thread, so a frame counts where it happens.
    qputenv("QSG_RENDER_LOOP", "basic");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    qputenv("TZ", "Asia/Shanghai");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

#include "bench_ranking_view.moc"
