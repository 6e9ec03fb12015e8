// The keyboard search of the main window: one keystroke (a change of the search text) to the
// filled result list, over a dictionary the size of the whole market.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <memory>

#include "app/qml_types.h"

namespace {

constexpr int kSecurities = 5000;

struct Harness {
    QTemporaryDir data;
    QQmlEngine engine;
    std::unique_ptr<QObject> root;
    QObject* popup = nullptr;

    Harness() {
        engine.setOfflineStoragePath(data.path());
        QQmlComponent component(&engine);
        component.setData(R"qml(
import QtQuick 2.15
import QtQuick.Window 2.15
import QMyStockService 1.0
import "qrc:/qml/main"
import "qrc:/qml/js/kvst.js" as Kvst
import "qrc:/qml/js/search.js" as Search
Window {
    width: 1600
    height: 1000
    visible: true
    property alias popup: search
    QMyStockService { id: watchlist }
    SearchPopup {
        id: search
        x: 1200
        y: 600
        my_stock: watchlist
    }
    function query(text) {
        return Search.find(search.db, text).length;
    }
    // Codes and initials shaped like the market's: six digits, up to four letters.
    function fill(n) {
        var db = Kvst.open();
        Kvst.createTables(db);
        Kvst.writePresetCommands(db);
        var letters = "ABCDEFGHJKLMNPQRSTWXYZ";
        var prefixes = ["600", "601", "603", "688", "000", "002", "300", "399", "110", "127"];
        db.transaction(function(tx) {
            for (var i = 0; i < n; ++i) {
                var prefix = prefixes[i % prefixes.length];
                var code = prefix + String(1000 + Math.floor(i / prefixes.length)).substring(1);
                var py = "";
                for (var k = 0; k < 4; ++k)
                    py += letters.charAt((i * 7 + k * 13 + Math.floor(i / 3)) % letters.length);
                tx.executeSql("REPLACE INTO StockDictionary VALUES (?, ?, ?, ?, ?, ?)",
                              [code, prefix.charAt(0) === "6" ? 1 : 2, "证券" + i,
                               1 + i % 4, py, "app://qml/qml/MQView.qml?code=" + code]);
            }
        });
        search.db = db;
        search.open();
    }
}

)qml",
                          QUrl(QStringLiteral("qrc:/bench/Search.qml")));
        root.reset(component.create());
        if (!root) {
            qFatal("%s", qPrintable(component.errorString()));
        }
        QMetaObject::invokeMethod(root.get(), "fill", Q_ARG(QVariant, kSecurities));
        popup = root->property("popup").value<QObject*>();
    }
};

Harness& harness() {
    static Harness h;
    return h;
}

// Each iteration types the next character of `typed` (and starts over after the last).
void typeKeys(benchmark::State& state, const QString& typed) {
    Harness& h = harness();
    QObject* rows = h.popup->property("rows").value<QObject*>();
    int at = 0;
    qint64 filled = 0;
    for (auto _ : state) {
        at = at % typed.size() + 1;
        h.popup->setProperty("text", typed.left(at));
        // The list lays out its rows and the window paints them.
        QCoreApplication::processEvents();
        filled += rows->property("count").toInt();
    }
    state.counters["rows"] = benchmark::Counter(double(filled), benchmark::Counter::kAvgIterations);
}

void BM_SearchDigits(benchmark::State& state) {
    typeKeys(state, QStringLiteral("600008"));
}
BENCHMARK(BM_SearchDigits)->Unit(benchmark::kMillisecond);

void BM_SearchInitials(benchmark::State& state) {
    typeKeys(state, QStringLiteral("abcd"));
}
BENCHMARK(BM_SearchInitials)->Unit(benchmark::kMillisecond);

void BM_SearchNoMatch(benchmark::State& state) {
    typeKeys(state, QStringLiteral("99999x"));
}
BENCHMARK(BM_SearchNoMatch)->Unit(benchmark::kMillisecond);

// The dictionary query alone, for comparison with the whole keystroke.
void BM_QueryOnly(benchmark::State& state) {
    Harness& h = harness();
    const QString typed = QStringLiteral("600008");
    int at = 0;
    for (auto _ : state) {
        at = at % typed.size() + 1;
        QVariant n;
        QMetaObject::invokeMethod(h.root.get(), "query", Q_RETURN_ARG(QVariant, n),
                                  Q_ARG(QVariant, typed.left(at)));
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_QueryOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    // Painting on this thread, so each iteration includes the frame with the filled list.
    qputenv("QSG_RENDER_LOOP", "basic");
    QGuiApplication app(argc, argv);
    registerQmlTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
