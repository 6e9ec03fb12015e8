#include "app/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

QString cjkFontFamily() {
    const QStringList preferred = {
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Droid Sans Fallback")};
    const QStringList installed = QFontDatabase().families();
    for (const QString& family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return QString();
}

void installFontSubstitutions() {
    const QString family = cjkFontFamily();
    if (family.isEmpty()) {
        return;
    }
    for (const QString& name : {QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
                                QStringLiteral("宋体"), QStringLiteral("SimSun")}) {
        QFont::insertSubstitution(name, family);
    }
}
