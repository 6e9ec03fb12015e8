import QtQuick 2.15
import QQuoteCells 1.0
import "../common"

// The cells of a column range of a quote table; `view` is the QuoteTableView around it.
// Painted as one item, so that a new page is a repaint rather than hundreds of delegates
// laying out their texts again.
QQuoteCells {
    id: table
    property var view: null
    y: Theme.tableHeaderHeight + 1
    height: view ? view.height - y : 0
    columnWidths: view ? view.columnWidths : []
    columnWidth: Theme.tableColumnWidth
    rowHeight: Theme.tableRowHeight
    spacing: 1
    selectedRow: view ? view.selectIndex : -1
    hoveredRow: view ? view.hoverIndex : -1
    background: Theme.tableBackground
    rowColor: Theme.tableRow
    selectedColor: Theme.tableRowSelected
    hoverColor: Theme.tableRowHover
    flashMs: Theme.tableFlashMs
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontNormal
}
