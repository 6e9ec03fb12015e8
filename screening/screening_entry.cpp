// The library's entry point: the terminal resolves "cloud_stock_show1" and calls it on its
// GUI thread each time the user opens cloud screening.
#include <QPointer>

#include "screening/screening_window.h"
#include "service/screening_message.h"

extern "C" __attribute__((visibility("default"))) void cloud_stock_show1(
    const char* appName, const char* host, const char* user, const char* auth, int option,
    ScreeningCallback callback) {
    Q_UNUSED(appName);
    Q_UNUSED(auth);
    Q_UNUSED(option);
    // One window per process: opening again brings it to the front with its conditions kept.
    static QPointer<screening::ScreeningWindow> window;
    if (!window) {
        window = new screening::ScreeningWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->connectTo(QString::fromUtf8(host ? host : ""), QString::fromUtf8(user ? user : ""),
                      callback);
    window->show();
    window->raise();
    window->activateWindow();
}
