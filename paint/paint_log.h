// Log category of the drawing tools: skipped drawings and files that could not be read or
// written.
#ifndef VQ_PAINT_PAINT_LOG_H
#define VQ_PAINT_PAINT_LOG_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPaint)

#endif
