// A session of the terminal in an in-process window test: the demo user logs in through the
// terminal's own login window, as the entry point shows it, then the main window's phase runs
// while the test drives it.
#pragma once

#include <QCoreApplication>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>

#include "app/main_phase.h"
#include "app/qml_phase.h"
#include "app/qroot.h"
#include "app/single_application.h"
#include "bridge/data_folder.h"
#include "window_lookup.h"

// Fails the running test (the caller checks QTest::currentTestFailed()) when the window does
// not become ready or does not close after the login.
inline void logInAsDemo() {
    QmlPhase login(bridge::dataFolder(), QUrl(QStringLiteral("qrc:/qml/LoginView.qml")));
    login.load();
    auto* window = qobject_cast<QQuickWindow*>(login.rootObject());
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(window->property("state_").toString(), QStringLiteral("ready"),
                              15000);
    QObject* user = findInWindow(window, "userField");
    QObject* password = findInWindow(window, "passwordField");
    QVERIFY(user && password);
    user->setProperty("text", "demo");
    password->setProperty("text", "demo123");
    QMetaObject::invokeMethod(window, "login");
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 30000);
}

// Runs the main window's phase; `drive` runs once its event loop is up, then the main window
// is closed without its closing question and the phase ends.
inline void runMainWindow(SingleApplication& app, const std::function<void()>& drive) {
    QTimer::singleShot(0, &app, [drive] {
        drive();
        if (QQuickWindow* window = QRoot::instance()->window()) {
            window->setProperty("closingDone", true);
            window->close();
        }
        QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(0); });
    });
    runMainPhase(app, bridge::dataFolder());
}
