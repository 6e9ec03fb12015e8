// Loaded into the real terminal (LD_PRELOAD) by tst_monitors_e2e: opens the alert monitor
// and the block monitor from the quick bar with real clicks and checks them against the live
// demo market — alerts arrive and keep arriving, the concept blocks come ranked by change,
// an empty block leaves its member table clearly empty — then opens the strategy dashboard.
// VQ_PROBE_CONCEPTS lists the concept blocks' codes as the server's block document has them.

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QSet>
#include <QSignalSpy>

#include <memory>

#include "tests/e2e/probe_support.h"

namespace {

using namespace probe;

QVariant call(QObject* o, const char* method, const QVariant& a = QVariant(),
              const QVariant& b = QVariant(), const QVariant& c = QVariant()) {
    QVariant result;
    if (!o)
        return result;
    if (!c.isValid() && !b.isValid() && !a.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result));
    else if (!b.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a));
    else if (!c.isValid())
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a),
                                  Q_ARG(QVariant, b));
    else
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a),
                                  Q_ARG(QVariant, b), Q_ARG(QVariant, c));
    return result;
}

// Searching the whole tree on every poll would take the terminal's time from the market;
// what was found once is kept while it lives.
QObject* child(QObject* view, const char* name) {
    static QHash<QString, QPointer<QObject>> found;
    if (!view)
        return nullptr;
    const QString key = QString::number(quintptr(view)) + '/' + QLatin1String(name);
    QPointer<QObject>& slot = found[key];
    if (!slot)
        slot = findIn(view, QString::fromLatin1(name));
    return slot;
}

QObject* tabArea() {
    static QPointer<QObject> tabs;
    if (!tabs)
        tabs = findObject(QStringLiteral("tabArea"));
    return tabs;
}

QObject* modelOf(QObject* table) {
    return table ? table->property("table_model").value<QObject*>() : nullptr;
}

int rows(QObject* table) {
    return table ? table->property("rowCount").toInt() : 0;
}

QString cell(QObject* table, int row, int column) {
    QString text;
    if (QObject* m = modelOf(table))
        QMetaObject::invokeMethod(m, "getRowColumnData", Q_RETURN_ARG(QString, text),
                                  Q_ARG(int, row), Q_ARG(int, column));
    return text;
}

QJsonObject contextOf(QObject* table) {
    QString text;
    if (QObject* m = modelOf(table))
        QMetaObject::invokeMethod(m, "getCtx", Q_RETURN_ARG(QString, text));
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

void click(QQuickItem* item, QPointF at = QPointF(-1, -1)) {
    QQuickWindow* w = mainWindow();
    if (!w || !item)
        return;
    if (at.x() < 0)
        at = QPointF(item->width() / 2, item->height() / 2);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, item->mapToScene(at).toPoint());
}

// The quick-bar item labelled `name`.
QQuickItem* quickItem(const QString& name) {
    QQuickWindow* w = mainWindow();
    if (!w)
        return nullptr;
    for (int i = 0; i < 64; ++i) {
        auto* item = qobject_cast<QQuickItem*>(
            findIn(w->contentItem(), QStringLiteral("quickItem_%1").arg(i)));
        if (!item)
            return nullptr;
        for (QQuickItem* c : item->childItems())
            if (c->property("text").toString() == name)
                return item;
    }
    return nullptr;
}

QObject* viewNamed(const char* name) {
    QObject* tabs = tabArea();
    QObject* v = tabs ? tabs->property("currentItem").value<QObject*>() : nullptr;
    return v && v->objectName() == QLatin1String(name) ? v : nullptr;
}

// The newest alert held, as one text.
QString newestAlert(QObject* tips) {
    const int n = tips ? tips->property("count").toInt() : 0;
    if (n == 0)
        return QString();
    QStringList parts;
    for (int role = 1; role <= 7; ++role) {
        QVariant v;
        QMetaObject::invokeMethod(tips, "getItem", Q_RETURN_ARG(QVariant, v), Q_ARG(int, n - 1),
                                  Q_ARG(int, role));
        parts << v.toString();
    }
    return parts.join('|');
}

class MonitorsProbe : public Runner {
public:
    MonitorsProbe() {
        for (const QString& code : qEnvironmentVariable("VQ_PROBE_CONCEPTS").split(','))
            if (!code.isEmpty())
                concepts_.insert(code);
        build();
    }

private:
    QObject* hot() const { return viewNamed("hotMonitor"); }
    QObject* tips() const {
        QObject* v = hot();
        return v ? v->property("tipModel").value<QObject*>() : nullptr;
    }
    QObject* blocks() const { return viewNamed("blockMonitor"); }

    // Every alert held names a security and carries one of the kinds' colours.
    bool alertsWellFormed() const {
        QObject* t = tips();
        const int n = t ? t->property("count").toInt() : 0;
        static const QSet<QString> colours{"#FF3D3D", "#0FC351", "#006AFF", "#008080"};
        for (int i = 0; i < n; ++i) {
            QVariant code, name, colour, time;
            QMetaObject::invokeMethod(t, "getItem", Q_RETURN_ARG(QVariant, code), Q_ARG(int, i),
                                      Q_ARG(int, 2));
            QMetaObject::invokeMethod(t, "getItem", Q_RETURN_ARG(QVariant, name), Q_ARG(int, i),
                                      Q_ARG(int, 4));
            QMetaObject::invokeMethod(t, "getItem", Q_RETURN_ARG(QVariant, colour), Q_ARG(int, i),
                                      Q_ARG(int, 7));
            QMetaObject::invokeMethod(t, "getItem", Q_RETURN_ARG(QVariant, time), Q_ARG(int, i),
                                      Q_ARG(int, 1));
            if (code.toString().isEmpty() || name.toString().isEmpty() ||
                !colours.contains(colour.toString()) || time.toUInt() == 0) {
                say(QStringLiteral("bad alert %1: %2 %3 %4 %5")
                        .arg(i)
                        .arg(code.toString(), name.toString(), colour.toString(), time.toString()));
                return false;
            }
        }
        return n > 0;
    }

    // The block table holds concept blocks only, ranked by change descending.
    bool conceptsRanked() const {
        QObject* table = child(blocks(), "blockTable");
        const QJsonObject ctx = contextOf(table);
        const QJsonObject sort = ctx.value("sort_").toObject();
        if (ctx.value("block_").toInt() != 1016 || sort.value("field").toInt() != 34 ||
            sort.value("mode").toInt() != 0 || rows(table) == 0)
            return false;
        double previous = 1e9;
        for (int r = 0; r < rows(table); ++r) {
            const QString code = cell(table, r, 1);
            QString change = cell(table, r, 4);
            change.remove('%');
            bool ok = false;
            const double value = change.toDouble(&ok);
            if (!concepts_.contains(code) || !ok || value > previous + 1e-9) {
                // The list of the previous category may still be on its way.
                if (++checks_ % 100 == 0)
                    say(QStringLiteral("row %1: %2 %3 after %4")
                            .arg(r)
                            .arg(code, change)
                            .arg(previous));
                return false;
            }
            previous = value;
        }
        say(QStringLiteral("ok %1 concept blocks ranked, first %2 %3")
                .arg(rows(table))
                .arg(cell(table, 0, 2), cell(table, 0, 4)));
        return true;
    }

    // An empty member list: no rows, the hint in sight, nothing in the member chart.
    bool membersClearlyEmpty(const QString& title) const {
        QObject* v = blocks();
        QObject* members = child(v, "memberTable");
        QObject* hint = child(v, "memberHint");
        QObject* strip = child(v, "memberTitle");
        QObject* caption = child(child(v, "memberPanel"), "panelTitle");
        const bool empty = members && rows(members) == 0 && hint &&
                           hint->property("visible").toBool() && strip &&
                           strip->property("text").toString() == title && caption &&
                           caption->property("text").toString().isEmpty();
        if (!empty && ++checks_ % 200 == 0)
            say(QStringLiteral("members %1, hint %2, title %3, chart %4")
                    .arg(rows(members))
                    .arg(hint && hint->property("visible").toBool())
                    .arg(strip ? strip->property("text").toString() : QString(),
                         caption ? caption->property("text").toString() : QString()));
        return empty;
    }

    QString panelCode() const {
        QObject* caption = child(child(hot(), "hotPanel_0"), "panelTitle");
        return caption ? caption->property("text").toString() : QString();
    }

    void build() {
        addLoginSteps(QStringLiteral("600000"), 1);

        // ---- alert monitor ----
        steps_.push_back({"quick bar opens the alert monitor",
                          [] { click(quickItem(QStringLiteral("短线精灵"))); },
                          [this] { return hot() != nullptr; }, 30000});
        steps_.push_back({"alerts of the whole market arrive", nullptr,
                          [this] {
                              if (!alertsWellFormed())
                                  return false;
                              firstAlerts_ = tips()->property("count").toInt();
                              newest_ = newestAlert(tips());
                              return true;
                          },
                          30000});
        steps_.push_back({"a new alert is pushed", nullptr,
                          [this] {
                              const QString now = newestAlert(tips());
                              if (now.isEmpty() || now == newest_)
                                  return false;
                              say(QStringLiteral("ok alerts %1 → %2, newest %3")
                                      .arg(firstAlerts_)
                                      .arg(tips()->property("count").toInt())
                                      .arg(now));
                              return alertsWellFormed();
                          },
                          30000});
        steps_.push_back({"the four rankings of the market are live", nullptr,
                          [this] {
                              for (int i = 0; i < 4; ++i) {
                                  QObject* t = child(
                                      hot(), qPrintable(QStringLiteral("hotRanking_%1").arg(i)));
                                  const QJsonObject ctx = contextOf(t);
                                  if (rows(t) == 0 || ctx.value("block_").toInt() != 1110)
                                      return false;
                              }
                              QObject* panel = child(hot(), "hotPanel_0");
                              return panel && !panel->property("security").isNull();
                          },
                          30000});
        steps_.push_back({"another security leaves the market's alerts alone",
                          [this] {
                              alertsBefore_ = tips()->property("count").toInt();
                              shownBefore_ = panelCode();
                              auto* loss = qobject_cast<QQuickItem*>(child(hot(), "hotRanking_1"));
                              // The first row, under the header.
                              click(loss, QPointF(60, 35));
                          },
                          [this] {
                              const QString shown = panelCode();
                              QObject* loss = child(hot(), "hotRanking_1");
                              bool listed = false;
                              for (int r = 0; r < rows(loss) && !listed; ++r)
                                  listed = shown.contains("(" + cell(loss, r, 1) + ")");
                              return !shown.isEmpty() && shown != shownBefore_ && listed &&
                                     tips()->property("count").toInt() >= alertsBefore_;
                          },
                          30000});

        // ---- block monitor ----
        steps_.push_back({"quick bar opens the block monitor",
                          [] { click(quickItem(QStringLiteral("板块监控"))); },
                          [this] { return rows(child(blocks(), "blockTable")) > 0; }, 30000});
        steps_.push_back(
            {"概念板块 ranks the concept blocks by change",
             [this] { click(qobject_cast<QQuickItem*>(child(blocks(), "categoryButton_1016"))); },
             [this] { return conceptsRanked(); }, 30000});
        steps_.push_back({"the first concept block's members follow", nullptr,
                          [this] {
                              QObject* v = blocks();
                              QObject* strip = child(v, "memberTitle");
                              return rows(child(v, "memberTable")) > 0 && strip &&
                                     !strip->property("text").toString().isEmpty();
                          },
                          30000});
        steps_.push_back(
            {"a block the list does not know: members clearly empty",
             [this] {
                 QVariantMap block{{"code", "BK9999"}, {"market", 90}, {"name", "空板块"}};
                 call(blocks(), "selectBlock", block);
                 // The blocks keep moving meanwhile: the member table must stay empty.
                 blockPushes_.reset(
                     new QSignalSpy(modelOf(child(blocks(), "blockTable")), SIGNAL(dataChange())));
             },
             [this] {
                 return blockPushes_->count() >= 2 && membersClearlyEmpty(QStringLiteral("空板块"));
             },
             30000});
        steps_.push_back({"a block without members: the server's empty list, members clearly empty",
                          [this] {
                              QObject* members = child(blocks(), "memberTable");
                              memberPushes_.reset(
                                  new QSignalSpy(modelOf(members), SIGNAL(dataChange())));
                              call(members, "showBlock", 990999, 34, 0);
                          },
                          [this] {
                              return memberPushes_->count() >= 1 &&
                                     membersClearlyEmpty(QStringLiteral("空板块"));
                          },
                          30000});

        // ---- strategy dashboard ----
        steps_.push_back(
            {"the title bar's 监控 menu drops down",
             [this] {
                 for (int i = 0; i < 16; ++i) {
                     auto* entry = qobject_cast<QQuickItem*>(
                         findIn(mainWindow()->contentItem(), QStringLiteral("menu_%1").arg(i)));
                     if (!entry)
                         break;
                     for (QQuickItem* c : entry->childItems())
                         if (c->property("text").toString() == QStringLiteral("监控")) {
                             monitorMenu_ = findIn(entry, QStringLiteral("menuPopup_%1").arg(i));
                             click(entry);
                         }
                 }
             },
             [this] { return monitorMenu_ && monitorMenu_->property("opened").toBool(); }, 30000});
        steps_.push_back(
            {"策略看板 opens the strategy dashboard with its blocks, members and index",
             [this] {
                 const int n = monitorMenu_->property("count").toInt();
                 for (int i = 0; i < n; ++i) {
                     QQuickItem* item = nullptr;
                     QMetaObject::invokeMethod(monitorMenu_, "itemAt",
                                               Q_RETURN_ARG(QQuickItem*, item), Q_ARG(int, i));
                     if (item && item->property("text").toString() == QStringLiteral("策略看板"))
                         click(item);
                 }
             },
             [] {
                 QObject* v = viewNamed("strategyView");
                 QObject* blockTable = child(v, "strategyBlockTable");
                 const QJsonObject page = contextOf(blockTable).value("page_").toObject();
                 QObject* index = child(child(v, "strategyPanel_3"), "panelTitle");
                 return rows(blockTable) > 0 && page.value("length").toInt() == 200 &&
                        rows(child(v, "strategyMemberTable")) > 0 && index &&
                        index->property("text").toString() == QStringLiteral("上证指数(1A0001)");
             },
             30000});
        steps_.push_back(
            {"深证指数 shows 深证成指's minute chart",
             [] {
                 QObject* v = viewNamed("strategyView");
                 click(qobject_cast<QQuickItem*>(child(v, "indexButton_1")));
             },
             [] {
                 QObject* v = viewNamed("strategyView");
                 QObject* panel = child(v, "strategyPanel_3");
                 QObject* caption = child(panel, "panelTitle");
                 QObject* chart = child(panel, "panelMainChart");
                 QString line;
                 if (chart)
                     QMetaObject::invokeMethod(chart, "getLineType", Q_RETURN_ARG(QString, line));
                 const bool shown =
                     caption &&
                     caption->property("text").toString() == QStringLiteral("深证成指(399001)") &&
                     line == QLatin1String("mline") && callInt(chart, "getFirstKLineSize") > 0;
                 static QElapsedTimer since;
                 if (!since.isValid())
                     since.start();
                 if (!shown && since.elapsed() > 2000 && (since.restart(), true))
                     say(QStringLiteral("index panel: %1, %2, %3 bars")
                             .arg(caption ? caption->property("text").toString() : QString(), line)
                             .arg(callInt(chart, "getFirstKLineSize")));
                 return shown;
             },
             30000});
    }

    QSet<QString> concepts_;
    mutable int checks_ = 0;
    int firstAlerts_ = 0;
    int alertsBefore_ = 0;
    std::unique_ptr<QSignalSpy> blockPushes_;
    std::unique_ptr<QSignalSpy> memberPushes_;
    QString newest_;
    QString shownBefore_;
    QPointer<QObject> monitorMenu_;
};

void startProbe() {
    // Only the terminal itself is driven, never a helper process it starts.
    qunsetenv("LD_PRELOAD");
    if (QCoreApplication::applicationName() != QLatin1String("VeltoQuorin"))
        return;
    new MonitorsProbe();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
