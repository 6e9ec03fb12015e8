// Texts of the value axis and the crosshair labels.
#ifndef VQ_CHART_AXIS_LABELS_H
#define VQ_CHART_AXIS_LABELS_H

#include "chart/ctx_data.h"

#include <QString>

namespace chart {

// The chart's own price formulas ("KLINE", "MLINE") label prices with the security's decimals.
bool isPriceFormula(const QString& name);
// Large values in units: above 100000000 in "亿", above 10000 in "万", both with unitDecimals;
// anything else with 2 decimals.
QString unitText(double value, int unitDecimals);
// A value of the pane as its axis shows it: a price for the price formulas, else unitText.
QString valueText(const CTXData& d, double value, int unitDecimals);
// (value - base) / base in percent with 2 decimals, e.g. "-5.00%".
QString percentText(double value, double base);
// The previous close a minute pane is centred on: the first value of the formula's "_CC"
// series, or the middle of the range when that is missing or 0.
double minuteBase(const CTXData& d);

// The crosshair's labels for the value at pixel row y: the same text on both sides, or a
// percentage from the previous close on the right (empty when that close is 0).
struct CrosshairTexts {
    QString left;
    QString right;
};
CrosshairTexts crosshairTexts(const CTXData& d, int y, bool percentRight);

}  // namespace chart

#endif
