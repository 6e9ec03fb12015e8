// Opening the cloud screening view with 50 stored result groups (30 securities each), against
// a local server process with its live market: from creating the view to the first frame
// that shows it, its table asking for the first group, on a window at rest. "CPU" is the GUI
// thread's own time. The view's document is compiled once before timing, as the tab area keeps it
// after the first opening.
//
//   build/bench/screening/bench_cloud_view
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <memory>

#include "bridge/hfileio.h"
#include "service/qvover_ivevo_service.h"
#include "tests/support/live_harness_setup.h"

namespace {

void storeGroups(int count) {
    QJsonArray groups;
    for (int g = 0; g < count; ++g) {
        QJsonArray codes;
        for (int i = 0; i < 30; ++i) {
            codes.append(
                QJsonObject{{"code", QString::number(600000 + g * 30 + i)}, {"market_id", "1"}});
        }
        const QString name = QStringLiteral("26/12/08 10:%1:00").arg(g, 2, 10, QLatin1Char('0'));
        groups.append(QJsonObject{{"group_id", name}, {"group_name", name}, {"codes", codes}});
    }
    const QJsonObject doc{{"code", "0000"}, {"msg", "success"}, {"result", groups}};
    HFileIO().writedFileDefaultPath(QVoverIvevoService::fileName(),
                                    QString::fromUtf8(QJsonDocument(doc).toJson()));
    QVoverIvevoService();  // reloads the shared document from the file
}

LiveHarnessSetup* harness = nullptr;  // the server and the quote engine, for the whole run

void BM_OpenCloudViewWith50Groups(benchmark::State& state) {
    LiveHarnessSetup& setup = *harness;
    if (!setup.ready()) {
        state.SkipWithError("no server");
        return;
    }
    storeGroups(50);
    QQmlEngine engine;
    setup.qmlEngineAvailable(&engine);
    QQuickWindow window;
    window.resize(1600, 940);
    window.show();
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qml/VoverIvevoView.qml")),
                            QQmlComponent::PreferSynchronous);
    if (!component.isReady()) {
        state.SkipWithError(qPrintable(component.errorString()));
        return;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        bool swapped = false;
        auto c = QObject::connect(&window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
        std::unique_ptr<QObject> view(component.create());
        auto* item = qobject_cast<QQuickItem*>(view.get());
        item->setParentItem(window.contentItem());
        item->setSize(QSizeF(1600, 940));
        QMetaObject::invokeMethod(item, "setQuery", Q_ARG(QVariant, QVariantMap()));
        while (!swapped) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        QObject::disconnect(c);
        state.counters["groups"] = item->property("groups").toList().size();
        // The next opening starts from a window at rest: the frame without the view is on
        // screen before the clock starts again.
        state.PauseTiming();
        QEventLoop rest;
        c = QObject::connect(&window, &QQuickWindow::frameSwapped, &rest, &QEventLoop::quit);
        QTimer::singleShot(1000, &rest, &QEventLoop::quit);
        view.reset();
        rest.exec();
        QObject::disconnect(c);
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_OpenCloudViewWith50Groups)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    harness = new LiveHarnessSetup;
    harness->applicationAvailable();
    benchmark::RunSpecifiedBenchmarks();
    harness->cleanupTestCase();  // joins the quote engine's thread before the process ends
    delete harness;
    return 0;
}
