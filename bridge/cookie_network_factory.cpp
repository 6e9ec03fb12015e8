#include "bridge/cookie_network_factory.h"

#include <QNetworkAccessManager>

#include "bridge/network_cookie_jar.h"

QNetworkAccessManager* CookieNetworkAccessManagerFactory::create(QObject* parent) {
    auto* manager = new QNetworkAccessManager(parent);
    auto* jar = new NetworkCookieJar(manager);
    manager->setCookieJar(jar);
    // Saved when the engine's manager goes, which is when its QML phase ends.
    QObject::connect(manager, &QObject::destroyed, jar, &NetworkCookieJar::save);
    return manager;
}
