// A small program around SingleApplication for the two-process tests: the first instance
// shows a window and reports when a later start brought it to the front; a later instance
// reports that it found the first one. With PROBE_LOG set, every first instance writes a line
// there; with PROBE_RESTART set, the first one restarts itself through QRoot once.

#include <unistd.h>

#include <QFile>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/qroot.h"
#include "app/single_application.h"

namespace {

void logLine(const QByteArray& line) {
    const QByteArray path = qgetenv("PROBE_LOG");
    if (path.isEmpty())
        return;
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::Append))
        file.write(line + '\n');
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // the test reads the lines as they come
    SingleApplication app(argc, argv, QStringLiteral("VeltoQuorinProbe"));
    if (app.isRunning()) {
        std::puts("running");
        logLine("second " + QByteArray::number(::getpid()));
        return 0;
    }
    logLine("first " + QByteArray::number(::getpid()));

    const QByteArray restartMarker = qgetenv("PROBE_RESTART");
    if (!restartMarker.isEmpty()) {
        QRoot::instance()->setApplication(&app);
        if (!QFile::exists(QString::fromLocal8Bit(restartMarker))) {
            QFile(QString::fromLocal8Bit(restartMarker)).open(QIODevice::WriteOnly);
            QTimer::singleShot(0, &app, [] { QRoot::instance()->restartApp(); });
        } else {
            QTimer::singleShot(300, &app, [] { QCoreApplication::exit(0); });
        }
        return app.exec();
    }

    QWindow window;
    window.setFlags(Qt::Window);
    window.resize(320, 200);
    window.show();
    window.showMinimized();
    app.setWindow(&window);
    QObject::connect(&app, &SingleApplication::activatedByNewInstance, [&] {
        std::printf("activated stays-on-top=%s visible=%s\n",
                    (window.flags() & Qt::WindowStaysOnTopHint) ? "yes" : "no",
                    window.isVisible() ? "yes" : "no");
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    });
    std::puts("ready");
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
