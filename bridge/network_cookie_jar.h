#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>

// The terminal's cookie jar: request objects copy its cookies into their requests, and save()
// writes them to "cookies/cookies.txt" in the data folder.
class NetworkCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    explicit NetworkCookieJar(QObject* parent = nullptr);

    QList<QNetworkCookie> cookies() const { return allCookies(); }
    static QString cookieFilePath();

public slots:
    void save();
};
