#include "bridge/updater_launch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include "bridge/app_documents.h"

namespace bridge {

QString updaterFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("UpDate1.exe");
#else
    return QStringLiteral("UpDate1");
#endif
}

bool launchUpdater() {
    const QString dir = QDir::currentPath();
    const QString updater = dir + QLatin1Char('/') + updaterFileName();
    if (!QFileInfo::exists(updater)) {
        return false;
    }
    // The running copy must not be the file the updater may itself replace.
#ifdef Q_OS_WIN
    const QString copy = updater + QStringLiteral("run.exe");
#else
    const QString copy = updater + QStringLiteral("run");
#endif
    QFile::remove(copy);
    if (!QFile::copy(updater, copy)) {
        return false;
    }
    // The updater is told which program to replace: this platform's executable file name.
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString manifest =
        variantText(lookupPath(serverAddressDocument(), QStringLiteral("url.update1")));
    return QProcess::startDetached(copy, {program, QStringLiteral("version.json"), manifest}, dir);
}

}  // namespace bridge
