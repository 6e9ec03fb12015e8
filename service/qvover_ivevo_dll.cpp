#include "service/qvover_ivevo_dll.h"

#include <QCoreApplication>
#include <QDir>

#include "service/screening_callback.h"

QVoverIvevoDll* QVoverIvevoDll::instance() {
    // No parent and never deleted: the library's window may call back until the very end.
    static QVoverIvevoDll* dll = new QVoverIvevoDll;
    return dll;
}

QString QVoverIvevoDll::libraryPath() {
    const QString env = qEnvironmentVariable("VQ_SCREENING_LIBRARY");
    if (!env.isEmpty()) {
        return env;
    }
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("libVoverIvevo.so"));
}

QVoverIvevoDll::QVoverIvevoDll() : library_(libraryPath()) {
    if (!library_.load()) {
        error_ = QStringLiteral("选股组件无法加载（%1）").arg(library_.errorString());
        qWarning("screening library: %s", qPrintable(library_.errorString()));
    }
}

bool QVoverIvevoDll::show(const QString& appName, const QString& host, const QString& user,
                          const QString& auth, int option) {
    if (!library_.isLoaded()) {
        return false;
    }
    auto entry = reinterpret_cast<CloudStockShow>(library_.resolve("cloud_stock_show1"));
    if (!entry) {
        error_ = QStringLiteral("选股组件缺少入口 cloud_stock_show1");
        return false;
    }
    error_.clear();
    const QByteArray a = appName.toUtf8(), h = host.toUtf8(), u = user.toUtf8(), s = auth.toUtf8();
    entry(a.constData(), h.constData(), u.constData(), s.constData(), option, &screeningCallback);
    return true;
}
