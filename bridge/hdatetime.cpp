#include "bridge/hdatetime.h"

#include <QDateTime>

HDatetime::HDatetime(QObject* parent) : QObject(parent) {}

QVariant HDatetime::formatV(const QString& format, uint timestamp) const {
    return QDateTime::fromSecsSinceEpoch(qint64(timestamp), Qt::LocalTime).toString(format);
}

QVariant HDatetime::fromStringV(const QString& str, const QString& fstr) const {
    QDateTime time = QDateTime::fromString(str, fstr);
    time.setTimeSpec(Qt::LocalTime);
    return time.isValid() ? time.toSecsSinceEpoch() : QDateTime().toSecsSinceEpoch();
}
