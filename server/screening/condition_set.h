// What a screen asks for: formula conditions combined with AND or OR, evaluated on the last bar
// of each security's series of one cycle. A condition is a built-in formula (by code or display
// name, its parameters at their defaults unless given) or formula text of the user's own, read
// at one of its outputs and optionally compared with a number.
#pragma once

#include "formula/compiler.h"
#include "server/market/types.h"

#include <QJsonObject>

#include <string>
#include <utility>
#include <vector>

namespace vq::screening {

enum class Compare { True, Greater, Less, GreaterEqual, LessEqual, Equal, NotEqual };

struct Condition {
    formula::Program program;
    std::vector<std::pair<std::string, float>> statics;  // parameters, then builder values
    std::string output;  // variable or output name; empty: the last drawn output
    Compare compare = Compare::True;
    float value = 0;

    // The condition on one value of the output (a missing value never holds).
    bool holds(float v) const;
};

struct ScreenRequest {
    std::vector<Condition> conditions;
    bool any = false;  // OR instead of AND
    market::Cycle cycle = market::Cycle::Day;
    market::Adjust adjust = market::Adjust::Forward;
    int64_t block = 1110;  // the whole market
    int bars = 500;
};

// Why a request cannot be screened. For a formula that does not compile, `condition` is its
// position (from 0) and line/column point into its text.
struct RequestError {
    int condition = -1;
    int line = 0;
    int column = 0;
    std::string message;
};

// Reads {"conditions": [{"formula" | "text", "params": {name: value}, "output", "op",
// "value"}], "logic": "and" | "or", "cycle", "block", "bars", "adjust"}. False with `error`
// filled for anything malformed, unknown or not compiling.
bool parseScreenRequest(const QJsonObject& body, ScreenRequest* out, RequestError* error);

}  // namespace vq::screening
