#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QWindow>

class QLocalServer;

// The application object. A second start of the program finds the first instance through a
// local socket named after the application, hands over and exits; the first instance then
// brings its main window to the front.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv, const QString& instanceName);

    bool isRunning() const { return running_; }
    void setWindow(QWindow* window) { window_ = window; }
    // Frees the name for a new process (before a restart).
    void releaseInstanceName();

    // Where the local socket of `instanceName` lives: in the user's runtime folder, so two
    // users of one machine never hand over to each other.
    static QString serverName(const QString& instanceName);

public slots:
    void newLocalConnection();

signals:
    // After a hand-over has raised the window (for tests and diagnostics).
    void activatedByNewInstance();

private:
    void checkInstance();

    QPointer<QWindow> window_;
    bool running_ = false;
    QLocalServer* server_ = nullptr;
    QString instanceName_;
};
