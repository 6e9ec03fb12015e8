#include "bridge/web_request_interceptor.h"

#include "bridge/deployment.h"

HWebEngineUrlRequestInterceptor::HWebEngineUrlRequestInterceptor(QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent) {}

void HWebEngineUrlRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    info.setHttpHeader(QByteArray(bridge::kClientFlagName), QByteArray(bridge::kClientFlagValue));
    info.setHttpHeader(QByteArrayLiteral("user-agent"), QByteArray(bridge::kUserAgent));
}
