#pragma once

#include <QString>

// The number formats and colours every quote list shares.
namespace cellformat {

inline const QString kNoFlash = QStringLiteral("#00000000");
inline const QString kRise = QStringLiteral("#FF3D3D");
inline const QString kFlat = QStringLiteral("#FFFFFF");
inline const QString kFall = QStringLiteral("#0FC351");

// "-" for 0, else `v` with `decimals` places.
QString price(double v, int decimals);
// "-" for 0, else `v` with two places.
QString fixed(double v);
// A percentage: "0.00%" for 0 while the security has a price, "-" when it has none.
QString rate(double v, double latest);
// Turnover and volumes: "亿" above 10^8, "万" above 10^4, else a whole number.
QString amount(double v);
// Rise colour of `a` against `b`; an `a` of 0 (no value yet) reads as unchanged.
QString riseColor(double a, double b);

}  // namespace cellformat
