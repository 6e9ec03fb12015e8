#pragma once

#include <QString>
#include <QStringList>

// Our own crash reporting: on a fatal signal a report (application, version, signal,
// backtrace) is written into the report folder; the next start sends what is waiting there.
namespace crash {

// Installs the handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT. Safe to call before any
// Qt application object exists. Returns false when the report folder cannot be created; the
// program then runs without crash reporting.
bool installCrashReporter(const QString& appName, const QString& appVersion,
                          const QString& reportDir);

// Finished reports waiting in the folder, oldest first (partial files of a crash that was
// itself interrupted are not included).
QStringList pendingReports(const QString& reportDir);

// The folder reports go into: "crashes" in the data folder.
QString defaultReportDir();

}  // namespace crash
