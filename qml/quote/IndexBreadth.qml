import QtQuick 2.15
import "../common"
import "../js/market_breadth.js" as Breadth

// One market-breadth chart: the number of securities in each band of change of one market list
// of "url.market_total", as horizontal bars scaled to the largest band.
Rectangle {
    id: chart
    objectName: "indexBreadth"
    property string title: ""
    // The market list as the service sends it; the totals are left out of the rows.
    property var list: []
    readonly property var rows: Breadth.bands(list)
    readonly property int members: Breadth.memberCount(rows)
    readonly property int rowHeight: 16

    color: Theme.panelBackground
    implicitHeight: caption.height + (rows.length > 0 ? bands.height + 6 : empty.height)

    function colorOf(type) {
        return type > 0 ? Theme.rise : (type < 0 ? Theme.fall : Theme.flat);
    }

    Text {
        id: caption
        x: 8
        height: 22
        verticalAlignment: Text.AlignVCenter
        text: chart.title
        color: Theme.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
    Text {
        objectName: "breadthTotals"
        anchors.right: parent.right
        anchors.rightMargin: 8
        height: caption.height
        verticalAlignment: Text.AlignVCenter
        visible: chart.rows.length > 0
        text: chart.members > 0 ? "共" + chart.members + "家" : "无成分股"
        color: Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSmall
    }
    Text {
        id: empty
        objectName: "breadthEmpty"
        x: 8
        anchors.top: caption.bottom
        height: visible ? 22 : 0
        visible: chart.rows.length === 0
        text: "暂无涨跌分布数据"
        color: Theme.textMuted
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSmall
    }
    Column {
        id: bands
        x: 8
        anchors.top: caption.bottom
        width: parent.width - 16
        spacing: 1
        Repeater {
            model: chart.rows
            Item {
                objectName: "breadthRow_" + index
                width: bands.width
                height: chart.rowHeight
                readonly property real barArea: width - nameText.width - sectionText.width - countText.width - 12
                readonly property real barWidth: Breadth.barWidth(modelData.ratio, barArea)
                Text {
                    id: nameText
                    width: 40
                    height: parent.height
                    verticalAlignment: Text.AlignVCenter
                    text: modelData.name
                    color: Theme.breadthName
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Text {
                    id: sectionText
                    x: nameText.width
                    width: 40
                    height: parent.height
                    verticalAlignment: Text.AlignVCenter
                    text: modelData.section
                    color: chart.colorOf(modelData.type)
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Rectangle {
                    objectName: "breadthBar"
                    x: sectionText.x + sectionText.width + 4
                    anchors.verticalCenter: parent.verticalCenter
                    height: 8
                    width: parent.barWidth
                    color: chart.colorOf(modelData.type)
                }
                Text {
                    id: countText
                    anchors.right: parent.right
                    width: 40
                    height: parent.height
                    horizontalAlignment: Text.AlignRight
                    verticalAlignment: Text.AlignVCenter
                    text: modelData.count
                    color: chart.colorOf(modelData.type)
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
        }
    }
}
