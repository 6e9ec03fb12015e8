// The tool classes by name: the names the views choose a tool by, and the saved type names a
// drawing file holds.
#ifndef VQ_PAINT_TOOL_REGISTRY_H
#define VQ_PAINT_TOOL_REGISTRY_H

#include <QString>
#include <QStringList>

class CPaintMethodBase;

namespace paint {

using ToolFactory = CPaintMethodBase* (*)();

// "CPaintSegment" and the other tools a user can choose; null for any other name.
ToolFactory factoryForClass(const QString& className);
// "PaintSegment" and every other saved type, the band and the joined segments included.
ToolFactory factoryForType(const QString& type);
QStringList choosableClassNames();

}  // namespace paint

#endif
