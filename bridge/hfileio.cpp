#include "bridge/hfileio.h"

#include <QFile>

#include "bridge/data_folder.h"

HFileIO::HFileIO(QObject* parent) : QObject(parent) {}

QString HFileIO::getDefaultPath() const {
    return bridge::dataFolder();
}

QString HFileIO::readFileDefaultPath(const QString& fileName) const {
    QFile file(bridge::dataFolder() + QLatin1Char('/') + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

bool HFileIO::writedFileDefaultPath(const QString& fileName, const QString& data) const {
    return bridge::writeFileAtomically(bridge::dataFolder() + QLatin1Char('/') + fileName,
                                       data.toUtf8());
}

QByteArray HFileIO::readFile(const QString& fileName) const {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

bool HFileIO::writeFile(const QString& fileName, const QByteArray& byteArray) const {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        return false;
    }
    return file.write(byteArray) == byteArray.size();
}
