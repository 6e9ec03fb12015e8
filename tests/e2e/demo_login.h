// The in-process window tests log in as the demo user through the terminal's own login
// window, as the entry point shows it; the window closes itself when the login chain ends.
#pragma once

#include <QQuickWindow>
#include <QUrl>
#include <QtTest>

#include "app/qml_phase.h"
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
