#include "bridge/deployment.h"

#include <QByteArray>

namespace bridge {

QUrl controlUrl() {
    const QByteArray configured = qgetenv(kControlUrlVariable);
    QUrl url(QString::fromUtf8(configured.isEmpty() ? QByteArray(kDefaultControlUrl) : configured));
    if (!url.isValid() || url.host().isEmpty()) {
        url = QUrl(QString::fromLatin1(kDefaultControlUrl));
    }
    return url;
}

QString contentDomain() {
    return controlUrl().host();
}

}  // namespace bridge
