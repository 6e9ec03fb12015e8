#include "bridge/network_cookie_jar.h"

#include <QDir>
#include <QFileInfo>

#include "bridge/data_folder.h"

NetworkCookieJar::NetworkCookieJar(QObject* parent) : QNetworkCookieJar(parent) {}

QString NetworkCookieJar::cookieFilePath() {
    return bridge::dataFolder() + QStringLiteral("/cookies/cookies.txt");
}

void NetworkCookieJar::save() {
    const QString path = cookieFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray text;
    for (const QNetworkCookie& cookie : allCookies()) {
        text += cookie.toRawForm(QNetworkCookie::Full) + '\n';
    }
    bridge::writeFileAtomically(path, text);
}
