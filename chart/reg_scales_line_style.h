// The axis painter names as numbers for QML: RegScaleslineStyle.KSCALES and so on.
#ifndef VQ_CHART_REG_SCALES_LINE_STYLE_H
#define VQ_CHART_REG_SCALES_LINE_STYLE_H

#include <QObject>

class RegScaleslineStyle {
    Q_GADGET

public:
    enum SLStyle { NO = -1, KSCALES = 0, MSCALES = 1 };
    Q_ENUM(SLStyle)
};

#endif
