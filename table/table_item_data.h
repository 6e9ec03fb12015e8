#pragma once

#include <QMetaType>
#include <QString>

// One header or data cell of a quote list: its text, text colour, flash colour ("#00000000"
// when the cell is not flashing) and Qt alignment (1 left, 2 right, 4 centred).
struct TableItemData {
    QString text;
    QString color;
    QString acolor;
    int align = 4;

    bool operator==(const TableItemData& o) const {
        return align == o.align && text == o.text && color == o.color && acolor == o.acolor;
    }
    bool operator!=(const TableItemData& o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(TableItemData)
