// Loaded into the real terminal (LD_PRELOAD) by tst_quote_view_e2e: drives it as a user would,
// through its QML object tree and key events delivered through the window system interface,
// and prints one line per step ("probe: ok …", "probe: FAIL …") and "probe: done" at the end.
// Every wait is a condition polled on the event loop with a deadline, never a fixed delay.

#include "tests/e2e/probe_support.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <memory>

Q_LOGGING_CATEGORY(probeTiming, "vq.timing")

namespace {

using namespace probe;

QVariant route(std::initializer_list<std::pair<const QString, QVariant>> keys) {
    return QVariant(QVariantMap(keys));
}

class Probe : public Runner {
public:
    Probe() { build(); }

private:
    // The quote view of the current tab (the home tab holds one of its own).
    QObject* view() const {
        QObject* tabs = findObject(QStringLiteral("tabArea"));
        QObject* item = tabs ? tabs->property("currentItem").value<QObject*>() : nullptr;
        return item && item->objectName() == QLatin1String("mqView") &&
                       item->property("code").toString() == QLatin1String("600000")
                   ? item
                   : nullptr;
    }
    int tabCount() const {
        QObject* tabs = findObject(QStringLiteral("tabArea"));
        return tabs ? tabs->property("count").toInt() : 0;
    }
    QObject* mainChart() const {
        QObject* v = view();
        QObject* stack = v ? findIn(v, QStringLiteral("chartStack")) : nullptr;
        return stack ? stack->property("mainQChart").value<QObject*>() : nullptr;
    }
    bool chartHasBars(const char* lineType, int cycle) const {
        QObject* v = view();
        QObject* c = mainChart();
        if (!v || !c)
            return false;
        QString line;
        QMetaObject::invokeMethod(c, "getLineType", Q_RETURN_ARG(QString, line));
        return line == QLatin1String(lineType) && callInt(c, "getCycle") == cycle &&
               callInt(c, "getFirstKLineSize") > 0;
    }
    // The next frame of the main window after `since` started, then the timing line.
    void timeFirstFrame(const QString& label) {
        QQuickWindow* w = mainWindow();
        painted_ = false;
        if (!w)
            return;
        auto conn = std::make_shared<QMetaObject::Connection>();
        *conn = connect(w, &QQuickWindow::frameSwapped, this, [this, label, conn] {
            disconnect(*conn);
            qCInfo(probeTiming).noquote() << label << since_.elapsed() << "ms";
            say(QStringLiteral("timing %1 %2 ms").arg(label).arg(since_.elapsed()));
            painted_ = true;
        });
        w->update();
    }

    void build() {
        addLoginSteps(QStringLiteral("600000"), 1);
        steps_.push_back({"type 600000", [] { type("600000"); },
                          [] {
                              QObject* list = findObject(QStringLiteral("searchList"));
                              return list && list->property("count").toInt() > 0;
                          },
                          10000});
        steps_.push_back({"Enter opens the minute chart",
                          [this] {
                              since_.start();
                              key(Qt::Key_Return);
                          },
                          [this] {
                              if (!chartHasBars("mline", 32))
                                  return false;
                              if (!timing_) {
                                  timing_ = true;
                                  timeFirstFrame("600000+Enter → first painted minute chart");
                              }
                              return painted_;
                          },
                          20000});
        steps_.push_back({"tab title is the security's name", nullptr,
                          [this] {
                              QObject* v = view();
                              QObject* tabs = findObject(QStringLiteral("tabArea"));
                              if (!v || !tabs)
                                  return false;
                              const QString name = v->property("name").toString();
                              QVariant title;
                              QMetaObject::invokeMethod(
                                  tabs, "titleAt", Q_RETURN_ARG(QVariant, title),
                                  Q_ARG(QVariant, tabs->property("currentIndex")));
                              if (!name.isEmpty() && title.toString() == name) {
                                  say(QStringLiteral("ok tab title %1").arg(name));
                                  return true;
                              }
                              return false;
                          },
                          5000});
        steps_.push_back({"Enter switches to the daily K-line",
                          [this] {
                              timing_ = false;
                              since_.start();
                              key(Qt::Key_Return);
                          },
                          [this] {
                              if (!chartHasBars("kline", 33))
                                  return false;
                              if (!timing_) {
                                  timing_ = true;
                                  timeFirstFrame("600000 minute chart → daily K-line");
                              }
                              return painted_;
                          },
                          20000});
        drawTrendLine();
        steps_.push_back({"F8 steps to the 1-minute cycle", [this] { key(Qt::Key_F8); },
                          [this] { return chartHasBars("kline", 34); }, 20000});
        if (!shots_.isEmpty())
            tour();
        steps_.push_back({"Esc closes the tab",
                          [this] {
                              tabsBeforeEsc_ = tabCount();
                              key(Qt::Key_Escape);
                          },
                          [this] { return view() == nullptr && tabCount() == tabsBeforeEsc_ - 1; },
                          10000});
        reopenWithDrawing();
    }

    // Clicks an item of the quote view at its centre, as the user would.
    bool clickItem(const QString& name) {
        auto* item = qobject_cast<QQuickItem*>(view() ? findIn(view(), name) : nullptr);
        QQuickWindow* w = mainWindow();
        if (!item || !w || !item->isVisible())
            return false;
        const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, c.toPoint());
        return true;
    }
    // A point of the main chart, as fractions of its width and height, in window coordinates.
    QPoint chartPoint(double fx, double fy) const {
        auto* item = qobject_cast<QQuickItem*>(mainChart());
        return item ? item->mapToScene(QPointF(item->width() * fx, item->height() * fy)).toPoint()
                    : QPoint();
    }
    QString paintData() const {
        QString data;
        if (QObject* c = mainChart())
            QMetaObject::invokeMethod(c, "getPaintData", Q_RETURN_ARG(QString, data));
        return data;
    }

    // The palette's trend line placed with three clicks on the daily chart.
    void drawTrendLine() {
        steps_.push_back({"open the drawing palette", [this] { clickItem("drawButton"); },
                          [this] {
                              QObject* p = view() ? findIn(view(), "paintTools") : nullptr;
                              return p && p->property("visible").toBool();
                          },
                          5000});
        steps_.push_back({"choose the trend line",
                          [this] { clickItem("paintTool_CPaintTrendLine"); },
                          [this] {
                              QObject* p = findIn(view(), "paintTools");
                              return p->property("chosen").toString() == "CPaintTrendLine";
                          },
                          5000});
        steps_.push_back({"draw a trend line on the daily chart",
                          [this] {
                              QQuickWindow* w = mainWindow();
                              const QPoint a = chartPoint(0.45, 0.30), b = chartPoint(0.60, 0.18),
                                           c = chartPoint(0.75, 0.25);
                              QTest::mouseMove(w, a);
                              QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, a);
                              QTest::mouseMove(w, b);
                              QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, b);
                              QTest::mouseMove(w, c);
                              QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, c);
                              QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, c);
                          },
                          [this] {
                              drawing_ = paintData();
                              if (!drawing_.contains("\"PaintTrendLine\""))
                                  return false;
                              say(QStringLiteral("ok drawn %1").arg(drawing_));
                              return true;
                          },
                          5000});
    }

    // Closing the tab saved the drawing; the same chart opened again shows it on the same bars
    // and prices.
    void reopenWithDrawing() {
        steps_.push_back(
            {"the drawing file holds the trend line", nullptr,
             [this] {
                 QFile f(QStandardPaths::writableLocation(QStandardPaths::DataLocation) +
                         "/600000-1-33.json");
                 return f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll()) == drawing_;
             },
             5000});
        steps_.push_back({"type 600000 again",
                          [this] {
                              for (char c : QByteArray("600000"))
                                  QTest::keyClick(mainWindow(), c);
                          },
                          [] {
                              QObject* list = findObject(QStringLiteral("searchList"));
                              return list && list->property("count").toInt() > 0;
                          },
                          10000});
        steps_.push_back({"Enter reopens 600000", [this] { key(Qt::Key_Return); },
                          [this] { return chartHasBars("mline", 32); }, 20000});
        steps_.push_back(
            {"its daily K-line shows the trend line again", [this] { key(Qt::Key_Return); },
             [this] { return chartHasBars("kline", 33) && paintData() == drawing_; }, 20000});
        steps_.push_back({"Esc closes the reopened tab",
                          [this] {
                              tabsBeforeEsc_ = tabCount();
                              key(Qt::Key_Escape);
                          },
                          [this] { return view() == nullptr && tabCount() == tabsBeforeEsc_ - 1; },
                          10000});
    }

    // With VQ_PROBE_SHOTS naming a folder, the probe also walks through the other views of the
    // quote view and leaves a picture of each step there, for looking at.
    void tour() {
        steps_.push_back({"weekly K-line with an overlay",
                          [this] {
                              QMetaObject::invokeMethod(
                                  view(), "updateQuery",
                                  Q_ARG(QVariant, route({{"chart", "kline"}, {"cycle", 39}})));
                          },
                          [this] {
                              if (!chartHasBars("kline", 39))
                                  return false;
                              if (callInt(mainChart(), "getKLineCount") < 2 && !overlayAsked_) {
                                  overlayAsked_ = true;
                                  QMetaObject::invokeMethod(
                                      view(), "addSuperChart", Q_ARG(QVariant, "600004"),
                                      Q_ARG(QVariant, 1), Q_ARG(QVariant, "kline"));
                              }
                              return callInt(mainChart(), "getKLineCount") > 1;
                          },
                          20000});
        steps_.push_back(
            {"crosshair on the daily K-line",
             [this] {
                 QMetaObject::invokeMethod(view(), "clearOverlays");
                 QMetaObject::invokeMethod(
                     view(), "updateQuery",
                     Q_ARG(QVariant, route({{"chart", "kline"}, {"cycle", 33}})));
             },
             [this] {
                 if (!chartHasBars("kline", 33))
                     return false;
                 QQuickWindow* w = mainWindow();
                 QObject* c = mainChart();
                 auto* item = qobject_cast<QQuickItem*>(c);
                 const QPointF p =
                     item->mapToScene(QPointF(item->width() * 0.6, item->height() * 0.4));
                 QTest::mouseMove(w, p.toPoint());
                 QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier,
                                    QPoint(int(p.x()), int(item->mapToScene({0, 25}).y())));
                 return true;
             },
             20000});
        steps_.push_back(
            {"cycle resonance",
             [this] {
                 QMetaObject::invokeMethod(view(), "updateQuery",
                                           Q_ARG(QVariant, route({{"chart", "cycel"}})));
             },
             [this] {
                 QObject* grid = view() ? findIn(view(), QStringLiteral("resonanceGrid")) : nullptr;
                 if (!grid)
                     return false;
                 QObject* last = findIn(grid, QStringLiteral("resonancePanel_8"));
                 QObject* chart = last ? findIn(last, QStringLiteral("panelMainChart")) : nullptr;
                 return chart && callInt(chart, "getFirstKLineSize") > 0;
             },
             20000});
        steps_.push_back({"F1 minute trades", [this] { key(Qt::Key_F1); },
                          [this] {
                              QObject* pane =
                                  view() ? findIn(view(), QStringLiteral("detailList")) : nullptr;
                              QObject* list =
                                  pane ? findIn(pane, QStringLiteral("minuteListView")) : nullptr;
                              return list && list->property("count").toInt() > 0;
                          },
                          20000});
        steps_.push_back(
            {"F10 research page", [this] { key(Qt::Key_F10); },
             [this] {
                 QObject* web = view() ? findIn(view(), QStringLiteral("researchWeb")) : nullptr;
                 QObject* price = view() ? findIn(view(), QStringLiteral("priceLast")) : nullptr;
                 return web && web->property("url").toString().contains("600000") &&
                        web->property("title").toString().contains(QStringLiteral("个股资料")) &&
                        web->property("loadProgress").toInt() == 100 && price &&
                        price->property("text").toString() != QLatin1String("-");
             },
             20000});
        steps_.push_back({"back to the minute chart", [this] { key(Qt::Key_F5); },
                          [this] { return chartHasBars("mline", 32); }, 20000});
    }

    bool timing_ = false;
    bool painted_ = false;
    int tabsBeforeEsc_ = 0;
    bool overlayAsked_ = false;
    QString drawing_;
    QElapsedTimer since_;
};

void startProbe() {
    // Only the terminal itself is driven, never a helper process it starts (they would
    // inherit the preload otherwise).
    qunsetenv("LD_PRELOAD");
    if (QCoreApplication::applicationName() != QLatin1String("VeltoQuorin"))
        return;
    // Created once the application object exists; lives as long as it.
    new Probe();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
