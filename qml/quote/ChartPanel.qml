import QtQuick 2.15
import MQModel 1.0
import "../common"

// A small chart of one security with a data model of its own: a main chart over one sub-chart
// bound to it. Used by the cycle-resonance grid and the history minute window.
Rectangle {
    id: panel
    property string title: ""
    property bool selected: false
    property int showNumber: 60
    property alias mainChart: mainChart
    property alias subChart: subChart
    property alias model: model
    signal clicked(var panel)

    color: Theme.chartBackground
    border.width: selected ? 1 : 0
    border.color: Theme.panelSelected

    MQModel { id: model }

    Text {
        id: caption
        objectName: "panelTitle"
        x: 6
        height: 18
        text: panel.title
        color: Theme.highlight
        verticalAlignment: Text.AlignVCenter
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSmall
        z: 5
    }

    ChartWrapper {
        id: mainChart
        objectName: "panelMainChart"
        x: 1
        y: 1
        width: parent.width - 2
        height: Math.round((parent.height - 2) * 0.68)
        leftPadding: 60
    }
    ChartWrapper {
        id: subChart
        objectName: "panelSubChart"
        x: 1
        anchors.top: mainChart.bottom
        width: parent.width - 2
        height: parent.height - 2 - mainChart.height
        leftPadding: 60
    }

    Connections {
        target: mainChart
        function onClicked(src) { panel.clicked(panel); }
        function onMousePointChange(src, x, y) {
            mainChart.updateMousePoint(src, x, y);
            subChart.updateMousePoint(src, x, -1);
        }
        function onReCalcShow(begin, end, showNumber, x_pos) {
            subChart.updateReCalcShow(begin, end, showNumber, x_pos);
        }
    }
    Connections {
        target: subChart
        function onClicked(src) { panel.clicked(panel); }
        function onMousePointChange(src, x, y) {
            subChart.updateMousePoint(src, x, y);
            mainChart.updateMousePoint(src, x, -1);
        }
    }

    property bool bound: false

    // Puts the formulas on both charts; the sub-chart shares the main chart's bars.
    function setFormulas(mainName, mainScales, mainCrosshair, overlay, subName) {
        mainChart.clearFormula(false);
        mainChart.removeSubFChart(0);
        mainChart.addFormula(0, mainName, mainScales, mainCrosshair, 0);
        if (overlay)
            mainChart.addFormula(0, overlay, "NO", "NO", 0);
        subChart.clearFormula(false);
        subChart.removeSubFChart(0);
        subChart.addFormula(0, subName, "KSCALES", "KCROSSHAIR", 0);
        if (!bound) {
            mainChart.bindDataSignal(model, -1);
            subChart.bindSyncDataSignal(mainChart, 0);
            bound = true;
        }
    }

    function prepare(lineType, cycle, count) {
        model.cancelMinute(0);
        model.cancelKLine(0);
        mainChart.setLineType(lineType);
        subChart.setLineType(lineType);
        mainChart.setCycle(cycle);
        subChart.setCycle(cycle);
        mainChart.resetBeginEndState(true);
        subChart.resetBeginEndState(true);
        mainChart.setkShowNumber(count, false);
        subChart.setkShowNumber(count, false);
    }

    function showMinute(code, market) {
        prepare("mline", 32, 242);
        model.getMinuteData(code, market, 0);
    }

    function showHistoryMinute(code, market, time) {
        prepare("mline", 32, 242);
        model.getHMinuteData(code, market, 0, time);
    }

    function showKLine(code, market, cycle) {
        prepare("kline", cycle, showNumber);
        model.getKLineData(code, market, showNumber, cycle, 0);
    }

    function stop() {
        model.cancelMinute(0);
        model.cancelKLine(0);
    }
}
