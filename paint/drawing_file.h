// Drawing files: one per security, market and cycle in the data folder, holding
// {"paintArray": [tool, ...]}. Reading salvages what it can from a damaged file; writing
// replaces the file atomically.
#ifndef VQ_PAINT_DRAWING_FILE_H
#define VQ_PAINT_DRAWING_FILE_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace paint {

// "<code>-<market>-<cycle>.json", or empty when the code could name a file outside the folder.
QString drawingFileName(const QString& code, int market, int cycle);
QString drawingFilePath(const QString& code, int market, int cycle);

struct DrawingFile {
    std::vector<QJsonObject> elements;
    // The file was there but not all of it could be read: truncated, not JSON, or holding
    // elements that are not objects.
    bool damaged = false;
};

DrawingFile parseDrawingFile(const QByteArray& bytes);
DrawingFile readDrawingFile(const QString& path);
bool writeDrawingFile(const QString& path, const QByteArray& bytes);

}  // namespace paint

#endif
