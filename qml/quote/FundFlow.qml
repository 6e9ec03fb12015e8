import QtQuick 2.15
import "../common"
import "../js/fund_flow.js" as Flow

// The day's fund flow of the security by trade size, from its ticks: inflow, outflow and net
// per class with bars on one scale, and the main force's net at the top. Recomputed at most
// once a second while shown.
Rectangle {
    id: flow
    objectName: "fundFlow"
    property var detailModel: null
    property var result: Flow.compute([])
    color: Theme.chartBackground

    function clear() {
        result = Flow.compute([]);
    }
    function update() {
        if (detailModel && visible)
            result = Flow.compute(detailModel.getJson());
    }
    onVisibleChanged: update()
    Connections {
        target: flow.detailModel
        function onDataUpdated(n) {
            if (flow.visible && !throttle.running)
                throttle.start();
        }
    }
    Timer {
        id: throttle
        interval: 1000
        onTriggered: flow.update()
    }

    function colorOf(v) {
        return v > 0 ? Theme.rise : (v < 0 ? Theme.fall : Theme.flat);
    }

    Column {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 2
        Row {
            height: 26
            spacing: 12
            Text {
                text: "主力净流入"
                color: Theme.panelLabel
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                objectName: "mainNet"
                text: Flow.formatAmount(flow.result.mainNet, true)
                color: flow.colorOf(flow.result.mainNet)
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontLarge
                anchors.verticalCenter: parent.verticalCenter
            }
        }
        Row {
            height: Theme.panelRowHeight
            Repeater {
                model: ["类型", "流入", "流出", "净额", ""]
                Text {
                    width: index === 0 ? 70 : (index < 4 ? 100 : 0)
                    height: parent.height
                    text: modelData
                    horizontalAlignment: index === 0 ? Text.AlignLeft : Text.AlignRight
                    verticalAlignment: Text.AlignVCenter
                    color: Theme.tableHeaderText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
        }
        Repeater {
            model: flow.result.rows
            Row {
                objectName: "flowRow_" + index
                height: Theme.panelRowHeight + 4
                Text {
                    width: 70
                    height: parent.height
                    text: modelData.name
                    verticalAlignment: Text.AlignVCenter
                    color: Theme.menuText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Repeater {
                    model: [[modelData.inflow, modelData.inflow > 0 ? Theme.rise : Theme.textDim],
                            [modelData.outflow, modelData.outflow > 0 ? Theme.fall : Theme.textDim],
                            [modelData.net, flow.colorOf(modelData.net)]]
                    Text {
                        width: 100
                        height: parent.height
                        text: Flow.formatAmount(modelData[0], index === 2)
                        horizontalAlignment: Text.AlignRight
                        verticalAlignment: Text.AlignVCenter
                        color: modelData[1]
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                }
                // Inflow and outflow bars on the scale of the largest figure.
                Item {
                    width: 24
                    height: 1
                }
                Column {
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 2
                    Rectangle {
                        height: 6
                        width: Math.max(1, 260 * modelData.inflow / Math.max(1, flow.result.largest))
                        color: Theme.rise
                    }
                    Rectangle {
                        height: 6
                        width: Math.max(1, 260 * modelData.outflow / Math.max(1, flow.result.largest))
                        color: Theme.fall
                    }
                }
            }
        }
    }
}
