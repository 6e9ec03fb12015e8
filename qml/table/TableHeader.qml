import QtQuick 2.15
import "../common"

// The titles of a range of model columns, with the sort marker on the sorted one.
Row {
    id: header
    property var tableModel: null
    property int firstColumn: 0
    property int columnCount: 0
    property int sortColumn: -1
    property int sortType: 0  // 0 descending, 1 ascending
    property var widthOf: function (c) { return Theme.tableColumnWidth; }
    signal clicked(int column)

    spacing: 1
    Repeater {
        model: header.columnCount
        Rectangle {
            readonly property int column: header.firstColumn + index
            objectName: "tableHeader_" + column
            width: header.widthOf(column)
            height: Theme.tableHeaderHeight
            color: Theme.tableBackground
            Text {
                anchors.fill: parent
                anchors.rightMargin: marker.visible ? 12 : 4
                text: header.tableModel ? header.tableModel.getHeaderData(column) : ""
                color: header.tableModel ? header.tableModel.getHeaderColor(column) : Theme.tableHeaderText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
                verticalAlignment: Text.AlignVCenter
                horizontalAlignment: Text.AlignHCenter
            }
            Text {
                id: marker
                visible: column === header.sortColumn
                anchors.right: parent.right
                anchors.rightMargin: 2
                anchors.verticalCenter: parent.verticalCenter
                text: header.sortType === 1 ? "▲" : "▼"
                color: header.sortType === 1 ? Theme.rise : Theme.fall
                font.pixelSize: 9
            }
            MouseArea {
                anchors.fill: parent
                onClicked: header.clicked(column)
            }
        }
    }
}
