#include "bridge/web_engine_setup.h"

#include <QNetworkCookie>
#include <QQuickWebEngineProfile>
#include <QWebEngineCookieStore>

#include "bridge/deployment.h"
#include "bridge/web_request_interceptor.h"

namespace bridge {

void installWebEngineProfile() {
    static auto* interceptor = new HWebEngineUrlRequestInterceptor();
    QQuickWebEngineProfile* profile = QQuickWebEngineProfile::defaultProfile();
    profile->setUrlRequestInterceptor(interceptor);

    QNetworkCookie cookie{QByteArray(kClientFlagName), QByteArray(kClientFlagValue)};
    cookie.setDomain(contentDomain());
    cookie.setPath(QStringLiteral("/"));
    profile->cookieStore()->setCookie(cookie);
}

}  // namespace bridge
