#pragma once

#include <QString>

// The views name the font families "Microsoft YaHei" and "宋体"; map them (and their usual
// aliases) to the CJK font installed on this system.
void installFontSubstitutions();

// The installed family the substitutions point to ("" when no CJK font was found).
QString cjkFontFamily();
