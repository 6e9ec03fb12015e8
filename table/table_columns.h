#pragma once

#include <QString>

#include <vector>

// The column sets (header modes) of the quote lists and what each column shows.
namespace tablecolumns {

// What a column shows; the text and colour rules of each kind live in table_row.cpp.
enum class Kind {
    Number,
    Code,
    Name,
    Latest,
    ChangeRate,
    ChangeValue,
    Industry,
    Region,
    Concept,
    Speed,
    Volume,
    Turnover,
    TurnoverRate,
    CurrentVolume,
    PreClose,
    Open,
    High,
    Low,
    VolumeRatio,
    OrderRatio,
    Amplitude,
    InnerVolume,
    OuterVolume,
    Pe,
    Gain,
    Amount,
};

struct Column {
    QString title;
    int sortField;  // quote-engine field id, -1 when the list cannot be sorted by it
    Kind kind;
};

// The columns of header mode `mode`; empty for an unknown mode.
const std::vector<Column>& columnsOf(int mode);

}  // namespace tablecolumns
