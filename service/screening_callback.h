#pragma once

#include <QString>

#include "service/screening_message.h"

// The handler the screening library (and a screening web page) reports through. A result
// list becomes a new cloud group named after the local time; action items become
// QVoverIvevoDll::syncActionCmd signals. GUI thread only: it shows modal message boxes.
extern "C" int screeningCallback(const ScreeningMessage* msg);

namespace service {
// At most this many securities go into one result group.
constexpr int kMaxScreeningResults = 500;
// "id|number|text", cut to 128 bytes.
QString actionCommandText(const char* id, int number, const char* text);
}  // namespace service
