// The terminal's entry point: prepares the process, makes sure one instance runs, then runs
// the login phase and, after a successful login, the main phase.

#include <unistd.h>

#include <cstdio>

#include <QApplication>
#include <QCoreApplication>
#include <QTranslator>
#include <QtWebEngine>

#include "app/crash_report_sender.h"
#include "app/crash_reporter.h"
#include "app/fonts.h"
#include "app/main_phase.h"
#include "app/qml_phase.h"
#include "app/qml_types.h"
#include "app/single_application.h"
#include "app/startup_arguments.h"
#include "bridge/app_documents.h"
#include "bridge/data_folder.h"
#include "bridge/deployment.h"
#include "bridge/web_engine_setup.h"
#include "libquote/quote.h"

int main(int argc, char* argv[]) {
    const QJsonObject base = bridge::baseInfo();
    const QString appName = base.value(QStringLiteral("appName")).toString();
    // The data folder is named after the application, so the name is set before anything asks
    // for it (no application object exists yet).
    QCoreApplication::setApplicationName(appName);

    crash::installCrashReporter(appName, base.value(QStringLiteral("appVer")).toString(),
                                crash::defaultReportDir());

    // Quote engine: the library must provide at least interface version 1.19.0.
    if (__quote_version_check(1, 19, 0) == 0) {
        std::fputs("libquote version error\n", stderr);
        return 1;
    }

    StartupArguments arguments(argc, argv);

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine's sandbox refuses to run as root; everything else it protects stays on.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QtWebEngine::initialize();

    SingleApplication app(arguments.count(), arguments.values(), appName);
    if (app.isRunning()) {
        return 0;
    }

    QTranslator translator;
    if (translator.load(QStringLiteral(":/cn.qm"))) {
        app.installTranslator(&translator);
    }

    bridge::installWebEngineProfile();
    registerQmlTypes();
    installFontSubstitutions();

    CrashReportSender reports(crash::defaultReportDir(),
                              CrashReportSender::endpointFor(bridge::controlUrl()), &app);
    reports.start();

    const QString dataDir = bridge::dataFolder();
    {
        QmlPhase login(dataDir, QUrl(QStringLiteral("qrc:/qml/LoginView.qml")));
        login.load();
        login.exec();
    }

    const QVariant sessionId =
        bridge::lookupPath(bridge::loginDocument(), QStringLiteral("user.sessionId"));
    if (!bridge::variantText(sessionId).isEmpty()) {
        runMainPhase(app, dataDir);
    }
    return 0;
}
