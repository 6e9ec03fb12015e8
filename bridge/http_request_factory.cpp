#include "bridge/http_request_factory.h"

#include <QQmlEngine>

#include "bridge/http_request.h"

HttpRequestFactory::HttpRequestFactory(QObject* parent) : QObject(parent) {}

HttpRequest* HttpRequestFactory::create() {
    auto* engine = qobject_cast<QQmlEngine*>(parent());
    auto* request = new HttpRequest(engine ? engine->networkAccessManager() : nullptr);
    QQmlEngine::setObjectOwnership(request, QQmlEngine::JavaScriptOwnership);
    return request;
}

QObject* HttpRequestFactory::provider(QQmlEngine* engine, QJSEngine* /*scriptEngine*/) {
    return new HttpRequestFactory(engine);
}
