// What the probes preloaded into the real terminal share: finding items of its QML object
// tree, key events through the window system interface, and a list of steps, each a
// condition polled on the event loop until it holds or its deadline passes (never a fixed
// delay). Each step prints "probe: ok …" or "probe: FAIL …"; the last prints "probe: done"
// and ends the terminal with 0, a failure ends it with 3.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <QtTest/QTest>

#include <cstdio>
#include <functional>
#include <vector>

namespace probe {

inline void say(const QString& line) {
    std::fprintf(stderr, "probe: %s\n", qPrintable(line));
    std::fflush(stderr);
}

inline QObject* findIn(QObject* root, const QString& name) {
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems())
            if (QObject* found = findIn(child, name))
                return found;
    }
    for (QObject* child : root->children())
        if (QObject* found = findIn(child, name))
            return found;
    return nullptr;
}

// The first visible window holding an object of that name, and the object.
inline QObject* findObject(const QString& name, QQuickWindow** window = nullptr) {
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        auto* qw = qobject_cast<QQuickWindow*>(w);
        if (!qw || !qw->isVisible())
            continue;
        if (QObject* found = findIn(qw->contentItem(), name)) {
            if (window)
                *window = qw;
            return found;
        }
    }
    return nullptr;
}

inline int callInt(QObject* o, const char* method) {
    int result = 0;
    if (o)
        QMetaObject::invokeMethod(o, method, Q_RETURN_ARG(int, result));
    return result;
}

// The main window once the login window has gone.
inline QQuickWindow* mainWindow() {
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        auto* qw = qobject_cast<QQuickWindow*>(w);
        if (qw && qw->isVisible() && !findIn(qw->contentItem(), QStringLiteral("userField")) &&
            findIn(qw->contentItem(), QStringLiteral("tabArea")))
            return qw;
    }
    return nullptr;
}

// The view of the current tab.
inline QObject* currentView() {
    QObject* tabs = findObject(QStringLiteral("tabArea"));
    return tabs ? tabs->property("currentItem").value<QObject*>() : nullptr;
}

inline void key(int k) {
    if (QQuickWindow* w = mainWindow())
        QTest::keyClick(w, Qt::Key(k), Qt::NoModifier);
}

// The keyboard search reads the local dictionary, which is filled once the quote engine has
// sent its code list.
inline bool dictionaryHolds(QQmlEngine* engine, const QString& code, int market) {
    const QString connection = QStringLiteral("probe_dictionary");
    bool found = false;
    {
        QSqlDatabase db = QSqlDatabase::contains(connection)
                              ? QSqlDatabase::database(connection)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(engine->offlineStorageDatabaseFilePath(QStringLiteral("kvst")) +
                           QStringLiteral(".sqlite"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral(
                "SELECT count(*) FROM StockDictionary WHERE code = ? AND market = ?"));
            q.addBindValue(code);
            q.addBindValue(market);
            found = q.exec() && q.next() && q.value(0).toInt() > 0;
            db.close();
        }
    }
    return found;
}

// One step: a condition polled until it holds or the deadline passes.
struct Step {
    QString what;
    std::function<void()> act;   // run once when the step starts
    std::function<bool()> done;  // polled
    int timeoutMs;
};

class Runner : public QObject {
public:
    Runner() {
        connect(&timer_, &QTimer::timeout, this, &Runner::poll);
        timer_.start(10);
    }

protected:
    // The login window as a user meets it, then the demo user logged in, then the security
    // list in the local dictionary (`code` of `market` found there).
    void addLoginSteps(const QString& code, int market) {
        steps_.push_back({"login window", nullptr,
                          [] {
                              // Ready once the server's address document has arrived.
                              QQuickWindow* w = nullptr;
                              return findObject(QStringLiteral("userField"), &w) &&
                                     w->property("state_").toString() == QLatin1String("ready");
                          },
                          30000});
        steps_.push_back(
            {"log in as demo",
             [] {
                 QQuickWindow* w = nullptr;
                 findObject(QStringLiteral("userField"), &w);
                 findObject(QStringLiteral("userField"))->setProperty("text", "demo");
                 findObject(QStringLiteral("passwordField"))->setProperty("text", "demo123");
                 QMetaObject::invokeMethod(w, "login");
             },
             [] { return mainWindow() != nullptr; }, 60000});
        steps_.push_back({"security list arrived", nullptr,
                          [code, market] {
                              QQuickWindow* w = mainWindow();
                              QQmlEngine* engine = w ? qmlEngine(w) : nullptr;
                              return engine && dictionaryHolds(engine, code, market);
                          },
                          30000});
    }

    // Types `text` into the main window, which opens the keyboard search with it.
    static void type(const QByteArray& text) {
        mainWindow()->requestActivate();
        for (char c : text)
            QTest::keyClick(mainWindow(), c);
    }

    // With VQ_PROBE_SHOTS naming a folder, a picture of the screen after each step.
    void shoot(const QString& what) {
        QQuickWindow* w = mainWindow();
        if (shots_.isEmpty() || !w || !w->isExposed() || !w->screen())
            return;
        QString name = what;
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
        // What the screen shows (web pages included), as a user would see it.
        w->screen()->grabWindow(0).save(QStringLiteral("%1/%2_%3.png")
                                            .arg(shots_)
                                            .arg(index_, 2, 10, QLatin1Char('0'))
                                            .arg(name));
    }

    std::vector<Step> steps_;
    QString shots_ = qEnvironmentVariable("VQ_PROBE_SHOTS");

private:
    void poll() {
        if (index_ >= steps_.size()) {
            timer_.stop();
            say(QStringLiteral("done"));
            QCoreApplication::exit(0);
            return;
        }
        Step& s = steps_[index_];
        if (!started_) {
            started_ = true;
            stepClock_.start();
            if (s.act)
                s.act();
        }
        if (s.done()) {
            say(QStringLiteral("ok %1 (%2 ms)").arg(s.what).arg(stepClock_.elapsed()));
            shoot(s.what);
            ++index_;
            started_ = false;
            return;
        }
        if (stepClock_.elapsed() > s.timeoutMs) {
            timer_.stop();
            say(QStringLiteral("FAIL %1").arg(s.what));
            QCoreApplication::exit(3);
        }
    }

    size_t index_ = 0;
    bool started_ = false;
    QElapsedTimer stepClock_;
    QTimer timer_;
};

}  // namespace probe
