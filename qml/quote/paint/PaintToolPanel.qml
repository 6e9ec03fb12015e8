import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../common"

// The drawing tool palette of a K-line chart: one button per tool kind and one that removes
// every drawing. Choosing a button hands the tool's class name to the chart
// (`setPaintBoardQChart`); closing the palette asks the view to save the drawings.
Rectangle {
    id: panel
    objectName: "paintToolPanel"
    property var chart: null
    signal toolChosen(string className)
    signal closed()

    readonly property var tools: [
        { "name": "CPaintSegment", "tip": "线段" },
        { "name": "CPaintLine", "tip": "直线" },
        { "name": "CPaintTrendLine", "tip": "趋势线" },
        { "name": "CPaintBandLine", "tip": "阻速线" },
        { "name": "CPaintSpeedBlock", "tip": "速阻线" },
        { "name": "CPaintGannLine", "tip": "江恩角度线" },
        { "name": "CPaintGoldenSplit", "tip": "黄金分割" },
        { "name": "CPaintGoldenPrice", "tip": "黄金价位线" },
        { "name": "CPaintGoldenCollect", "tip": "黄金组合" },
        { "name": "CPaintPercentage", "tip": "百分比线" },
        { "name": "CPaintCycleLine", "tip": "周期线" },
        { "name": "CPaintFibonacci", "tip": "斐波那契线" },
        { "name": "CPaintLinerRegression", "tip": "线性回归" },
        { "name": "CPaintLinerRegressionBand", "tip": "回归带" },
        { "name": "CPaintRegressionChannel", "tip": "回归通道" },
        { "name": "CPaintRect", "tip": "矩形" },
        { "name": "CPaintEllipse", "tip": "圆" },
        { "name": "CPaintArcEllipse", "tip": "圆弧" },
        { "name": "CPaintUpArrow", "tip": "上箭头" },
        { "name": "CPaintDownArrow", "tip": "下箭头" },
        { "name": "CPaintText", "tip": "文字" },
        { "name": "clear", "tip": "删除全部" }
    ]
    property string chosen: ""

    width: 28
    height: column.height + 24
    color: Theme.panelBackground
    border.color: Theme.border

    function choose(className) {
        chosen = className === "clear" ? "" : className;
        if (chart && typeof chart.setPaintBoardQChart === "function") {
            chart.setPaintBoardActive(true);
            chart.setPaintBoardQChart(className);
        }
        toolChosen(className);
    }

    Column {
        id: column
        x: 1
        y: 1
        Repeater {
            model: panel.tools
            Rectangle {
                objectName: "paintTool_" + modelData.name
                width: 26
                height: 24
                color: panel.chosen === modelData.name ? Theme.selection
                       : area.containsMouse ? Theme.headerBackground : "transparent"
                PaintToolIcon {
                    anchors.centerIn: parent
                    kind: modelData.name
                    ink: panel.chosen === modelData.name ? Theme.text : "#C8CEDC"
                }
                MouseArea {
                    id: area
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: panel.choose(modelData.name)
                    ToolTip.visible: containsMouse
                    ToolTip.delay: 500
                    ToolTip.text: modelData.tip
                }
            }
        }
    }
    Rectangle {
        objectName: "paintToolClose"
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        x: 1
        width: 26
        height: 22
        color: closeArea.containsMouse ? Theme.headerBackground : "transparent"
        Text {
            anchors.centerIn: parent
            text: "«"
            color: Theme.textDim
            font.pixelSize: 14
        }
        MouseArea {
            id: closeArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: {
                panel.chosen = "";
                panel.closed();
            }
        }
    }
}
