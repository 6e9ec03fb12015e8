#include "service/screening_callback.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstring>

#include "service/qvover_ivevo_dll.h"
#include "service/qvover_ivevo_service.h"

namespace {

void tell(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("提示"), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("screeningMessageBox"));
    box.exec();
}

int takeResult(const ScreeningMessage& msg) {
    int n = msg.count > 0 && msg.items ? msg.count : 0;
    if (n > service::kMaxScreeningResults) {
        tell(QMessageBox::Warning,
             QStringLiteral("选股结果超过500只,系统将截取保留前500只!请增加选股条件缩小范围!"));
        n = service::kMaxScreeningResults;
    }
    const auto* items = static_cast<const ScreeningResultItem*>(msg.items);
    QJsonArray codes;
    for (int i = 0; i < n; ++i) {
        const ScreeningResultItem& it = items[i];
        // The code field is not terminated: it may fill all six bytes.
        const QByteArray code(it.code, int(strnlen(it.code, sizeof it.code)));
        codes.append(QJsonObject{{QStringLiteral("code"), QString::fromUtf8(code)},
                                 {QStringLiteral("market_id"), QString::number(it.market)}});
    }
    if (codes.isEmpty()) {
        tell(QMessageBox::Information, QStringLiteral("没有符合条件的数据"));
        return 1;
    }
    const QString name = QDateTime::currentDateTime().toString(QStringLiteral("yy/MM/dd HH:mm:ss"));
    QVoverIvevoService().addGroup(name, name, codes.toVariantList());
    emit QVoverIvevoDll::instance()->dataChange();
    return 1;
}

int takeActions(const ScreeningMessage& msg) {
    const auto* items = static_cast<const ScreeningActionItem*>(msg.items);
    for (int i = 0; items && i < msg.count; ++i) {
        emit QVoverIvevoDll::instance()->syncActionCmd(
            service::actionCommandText(items[i].id, items[i].number, items[i].text));
    }
    return 1;
}

}  // namespace

namespace service {

QString actionCommandText(const char* id, int number, const char* text) {
    char buffer[129];
    std::snprintf(buffer, sizeof buffer, "%s|%d|%s", id ? id : "", number, text ? text : "");
    // The texts are UTF-8: a cut inside a character drops that character instead of leaving
    // half of it.
    int len = int(std::strlen(buffer));
    int k = len, continuation = 0;
    while (k > 0 && (uchar(buffer[k - 1]) & 0xC0) == 0x80 && continuation < 3) {
        --k;
        ++continuation;
    }
    if (k > 0) {
        const uchar lead = uchar(buffer[k - 1]);
        const int needs = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (needs > continuation) {
            len = k - 1;
        }
    }
    return QString::fromUtf8(buffer, len);
}

}  // namespace service

extern "C" int screeningCallback(const ScreeningMessage* msg) {
    if (!msg) {
        return 1;
    }
    switch (msg->type) {
        case SCREENING_RESULT:
            return takeResult(*msg);
        case SCREENING_ACTIONS:
            return takeActions(*msg);
        default:
            return 1;
    }
}
