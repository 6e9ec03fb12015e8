#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// File access for the views, mostly in the data folder. Failures show only in the result.
class HFileIO : public QObject {
    Q_OBJECT
public:
    explicit HFileIO(QObject* parent = nullptr);

    Q_INVOKABLE QString getDefaultPath() const;
    Q_INVOKABLE QString readFileDefaultPath(const QString& fileName) const;
    // Replaces the file's content (atomically: the old content stays until the new is whole).
    Q_INVOKABLE bool writedFileDefaultPath(const QString& fileName, const QString& data) const;
    Q_INVOKABLE QByteArray readFile(const QString& fileName) const;
    // Appends to the file at that path.
    Q_INVOKABLE bool writeFile(const QString& fileName, const QByteArray& byteArray) const;
};
