#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>

#include "service/screening_message.h"

// The process-wide handle of the screening library: loaded once, kept until the process
// ends; turns the library's reports into signals.
class QVoverIvevoDll : public QObject {
    Q_OBJECT
public:
    static QVoverIvevoDll* instance();

    // Where the library is looked for: $VQ_SCREENING_LIBRARY, else libVoverIvevo.so next to
    // the program.
    static QString libraryPath();

    bool loaded() const { return library_.isLoaded(); }
    // Why the library or its entry point is not there; empty when it is.
    QString errorString() const { return error_; }
    // Resolves the entry point and opens the library's window; false (errorString says why)
    // when the library or the entry point is missing.
    bool show(const QString& appName, const QString& host, const QString& user, const QString& auth,
              int option);

signals:
    void dataChange();
    void syncActionCmd(QString str);

private:
    QVoverIvevoDll();
    QLibrary library_;
    QString error_;
};
