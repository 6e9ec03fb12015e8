#pragma once

#include <QObject>

class QJSEngine;
class QQmlEngine;
class HttpRequest;

// QML singleton handing out request objects that use its engine's network access manager.
class HttpRequestFactory : public QObject {
    Q_OBJECT
public:
    explicit HttpRequestFactory(QObject* parent = nullptr);

    // A new request owned by the JavaScript engine; it has no manager without an engine parent.
    Q_INVOKABLE HttpRequest* create();

    static QObject* provider(QQmlEngine* engine, QJSEngine* scriptEngine);
};
