#pragma once

#include <QQmlNetworkAccessManagerFactory>

// Gives every network access manager of a QML engine a NetworkCookieJar, so that request
// objects carry the cookies the servers set and the jar can be saved.
class CookieNetworkAccessManagerFactory : public QQmlNetworkAccessManagerFactory {
public:
    QNetworkAccessManager* create(QObject* parent) override;
};
