import QtQuick 2.15
import "../common"

// The cells of a column range of a quote table; `view` is the QuoteTableView around it.
TableView {
    id: table
    property var view: null
    property int firstColumn: 0
    y: Theme.tableHeaderHeight + 1
    height: view ? view.height - y : 0
    clip: true
    interactive: false
    rowSpacing: 1
    columnSpacing: 1
    reuseItems: true
    columnWidthProvider: function (c) { return table.view.widthOf(table.firstColumn + c); }
    rowHeightProvider: function () { return Theme.tableRowHeight; }
    delegate: TableCell {
        implicitHeight: Theme.tableRowHeight
        selected: row === table.view.selectIndex
        hovered: row === table.view.hoverIndex
        cellText: text_
        textColor: color_
        flashColor: acolor_
        running: isrun_
        textAlign: align_
        TableView.onPooled: stopFlash()
    }
}
