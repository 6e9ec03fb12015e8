// The start of the in-process window tests: the process is prepared as the terminal's entry
// point prepares it (application name, attributes, web engine, single instance, QML types,
// fonts), then the test object made for that application runs.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWebEngine>

#include <cstdio>
#include <vector>

#include "app/fonts.h"
#include "app/qml_types.h"
#include "app/single_application.h"
#include "app/startup_arguments.h"
#include "bridge/app_documents.h"
#include "bridge/data_folder.h"
#include "bridge/web_engine_setup.h"
#include "tests/support/crash_trace.h"

// `ownDataFolder` gives the test a data folder of its own, never shared with another test or
// a user; without it the test runs in the data folder its environment names.
template <typename Test>
int runInTerminalProcess(int argc, char* argv[], bool ownDataFolder) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::puts("SKIP: no X display; run the suite under xvfb-run (scripts/test does)");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Our own runtime folder, so the test never hands over to a terminal the user runs.
    static QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    static QTemporaryDir dataHome;
    if (ownDataFolder) {
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    }

    const QString appName = bridge::baseInfo().value(QStringLiteral("appName")).toString();
    QCoreApplication::setApplicationName(appName);
    // Every test starts from an empty data folder. It is emptied here, before the web engine
    // opens its storage inside it: storage deleted under a live browser context brings the
    // engine's own threads down at some later moment.
    QDir(bridge::dataFolder()).removeRecursively();
    StartupArguments arguments(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QtWebEngine::initialize();
    SingleApplication app(arguments.count(), arguments.values(), appName);
    if (app.isRunning()) {
        return 1;
    }
    bridge::installWebEngineProfile();
    registerQmlTypes();
    installFontSubstitutions();
    app.setQuitOnLastWindowClosed(false);

    Test test(&app);
    crash_trace::install();
    std::vector<char*> args(argv, argv + argc);
    char noCrashHandler[] = "-nocrashhandler";
    args.push_back(noCrashHandler);
    return QTest::qExec(&test, int(args.size()), args.data());
}
