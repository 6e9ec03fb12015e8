import QtQuick 2.15
import CChipDistribution 1.0
import "../common"

// The chip-distribution pane beside the K-line chart: follows the main chart's bars, window,
// crosshair and price scale; the buttons choose plain chips ("黄"), chips bought before ("远")
// or within ("近") the last periods.
Rectangle {
    id: pane
    objectName: "chipPanel"
    property var chart: null
    property string securityName: ""
    signal closed()

    color: "#000000"
    onChartChanged: chip.bindSyncDataSignal(chart)

    CChipDistribution {
        id: chip
        objectName: "chipDistribution"
        anchors.fill: parent
        visible: true
        securityName: pane.securityName
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 4
        y: 1
        spacing: 2
        Repeater {
            model: ["黄", "远", "近"]
            ChartToolButton {
                objectName: "chipType_" + index
                glyph: modelData
                tip: ["筹码分布", "远期筹码", "近期筹码"][index]
                color: chip.chipType === index ? Theme.selection : "transparent"
                onClicked: chip.setChipType(index)
            }
        }
        ChartToolButton {
            objectName: "chipClose"
            glyph: "✕"
            tip: "关闭"
            onClicked: pane.closed()
        }
    }
}
