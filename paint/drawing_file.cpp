#include "paint/drawing_file.h"

#include "paint/paint_log.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace paint {

QString drawingFileName(const QString& code, int market, int cycle) {
    // Codes reach here from routes and pages: nothing that leaves the data folder.
    if (code.isEmpty() || code.size() > 32 || code.contains(QLatin1Char('/')) ||
        code.contains(QLatin1Char('\\')) || code.startsWith(QLatin1Char('.')) ||
        code.contains(QLatin1Char('\0'))) {
        return QString();
    }
    return QStringLiteral("%1-%2-%3.json").arg(code).arg(market).arg(cycle);
}

QString drawingFilePath(const QString& code, int market, int cycle) {
    const QString name = drawingFileName(code, market, cycle);
    if (name.isEmpty()) {
        return QString();
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name;
}

namespace {

// The complete objects of the array after "paintArray" in text that is not valid JSON as a
// whole, such as a file cut off while it was written by an older program.
std::vector<QJsonObject> salvageElements(const QByteArray& bytes) {
    std::vector<QJsonObject> out;
    int pos = bytes.indexOf("\"paintArray\"");
    if (pos < 0) {
        return out;
    }
    pos = bytes.indexOf('[', pos);
    if (pos < 0) {
        return out;
    }
    int depth = 0;
    int objectStart = -1;
    bool inString = false;
    for (int i = pos + 1; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{') {
            if (depth++ == 0) {
                objectStart = i;
            }
        } else if (c == '}') {
            if (depth == 0) {
                break;
            }
            if (--depth == 0) {
                const QJsonDocument d =
                    QJsonDocument::fromJson(bytes.mid(objectStart, i - objectStart + 1));
                if (d.isObject()) {
                    out.push_back(d.object());
                }
            }
        } else if (c == ']' && depth == 0) {
            break;
        }
    }
    return out;
}

}  // namespace

DrawingFile parseDrawingFile(const QByteArray& bytes) {
    DrawingFile file;
    if (bytes.trimmed().isEmpty()) {
        return file;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qCWarning(lcPaint) << "some problem occurred:" << error.errorString() << "at"
                           << error.offset;
        file.damaged = true;
        file.elements = salvageElements(bytes);
        return file;
    }
    if (!doc.isObject()) {
        file.damaged = true;
        return file;
    }
    const QJsonValue array = doc.object().value(QLatin1String("paintArray"));
    if (!array.isArray()) {
        file.damaged = !array.isUndefined();
        return file;
    }
    for (const QJsonValue& v : array.toArray()) {
        if (v.isObject()) {
            file.elements.push_back(v.toObject());
        } else {
            file.damaged = true;
        }
    }
    return file;
}

DrawingFile readDrawingFile(const QString& path) {
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        return DrawingFile();
    }
    return parseDrawingFile(f.readAll());
}

bool writeDrawingFile(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty()) {
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

}  // namespace paint
