#include "bridge/url_placeholders.h"

#include <QRegularExpression>
#include <QUrl>

#include "bridge/app_documents.h"

namespace bridge {

QString fillUrlPlaceholders(const QString& encodedUrl) {
    static const QRegularExpression placeholder(QStringLiteral("%7B%7B([0-9a-zA-Z._]+)%7D%7D"));
    QString result = encodedUrl;
    auto matches = placeholder.globalMatch(encodedUrl);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QString name = match.captured(1);
        QString value = variantText(lookupPath(loginDocument(), name));
        if (value.isEmpty()) {
            value = variantText(lookupPath(baseInfo(), name));
        }
        result.replace(match.captured(0), QString::fromLatin1(QUrl::toPercentEncoding(value)));
    }
    return result;
}

}  // namespace bridge
