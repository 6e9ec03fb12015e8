#pragma once

#include "libquote/quote.h"
#include "table/table_columns.h"
#include "table/table_item_data.h"

#include <vector>

// The cells of one data row: texts and colours of a snapshot for the columns of a header
// mode. `values` receives, per cell, the number the cell shows (0 for texts), so that a
// changed cell can flash in the direction it moved.
namespace tablerow {

void build(const QuoteRealTimeMarket& rt, const std::vector<tablecolumns::Column>& columns,
           int mode, int rowNumber, std::vector<TableItemData>& cells, std::vector<double>& values);

// The flash colour of a cell that moved from `before` to `after`.
QString flashColor(double before, double after);

}  // namespace tablerow
