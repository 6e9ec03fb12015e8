// A small program around SingleApplication for the two-process tests: the first instance
// shows a window and reports when a later start brought it to the front; a later instance
// reports that it found the first one.

#include <cstdio>

#include <QTimer>
#include <QWindow>

#include "app/single_application.h"

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // the test reads the lines as they come
    SingleApplication app(argc, argv, QStringLiteral("VeltoQuorinProbe"));
    if (app.isRunning()) {
        std::puts("running");
        return 0;
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
