import QtQuick 2.15
import QtQuick.Controls 2.15
import QChart 1.0
import QChartExtend 1.0
import FChart 1.0
import TitleBar 1.0
import "../common"
import "../js/chart_events.js" as Events

// One chart of a chart stack: the chart item with its layer images (one FChart per layer, named
// "subFChart_<id>"), the title strip with the formula values and the settings buttons, and the
// pointer handling: crosshair, hold-mode drag scrolling, zoom rectangle, clicks and wheel.
QChart {
    id: chart
    property var fcharts: []
    property int fchartId: 0
    property string name_tag_: ""
    property bool isMax: false
    property int leftPadding: 80
    property bool hold: false
    property bool isMainChart: objectName === "mainQChart"
    property bool setToolsVisible: false
    property bool closeToolVisible: false
    // Keys go to the stack, which applies them to the main chart, never to this chart alone.
    property var focusTarget: null
    // The fill behind the layers; the chart item paints axes and crosshair over them.
    property color fillColor: Theme.chartFill

    signal editFormulaPraram(var self, string name)
    signal removeSubChart(var self)
    signal showRMenu(var self, int x, int y)
    signal nextCode()
    signal preCode()

    // Share of the stack's height, set by the stack.
    property real splitMin: 0
    property real splitPref: 0
    property real splitMax: 100000
    property bool splitFill: false
    SplitView.minimumWidth: 200
    SplitView.minimumHeight: splitMin
    SplitView.preferredHeight: splitPref
    SplitView.maximumHeight: splitMax
    SplitView.fillHeight: splitFill

    // The layers are listed for the chart in layer order.
    property var subFChart: fcharts

    Rectangle {
        anchors.fill: chart
        z: -1
        color: chart.fillColor
    }

    Component {
        id: layerComponent
        FChart { anchors.fill: parent }
    }

    TitleBar {
        id: titleBar
        objectName: "titleBar"
        anchors.left: chart.left
        anchors.right: chart.right
        anchors.top: chart.top
        height: Theme.chartTitleHeight
        leftPadding: chart.leftPadding
        z: 2
    }

    // ---- layers ----

    function addFormula(fchartIndex, name, scales, crosshair, markcolor) {
        if (fchartIndex === 0)
            name_tag_ = name;
        var index = fchartIndex;
        if (index >= fcharts.length) {
            var layer = layerComponent.createObject(chart, { "objectName": "subFChart_" + fchartId });
            fchartId += 1;
            if (markcolor !== undefined && markcolor !== null && markcolor !== 0)
                layer.setGray(markcolor);
            var list = fcharts.slice();
            list.push(layer);
            fcharts = list;
            index = list.length - 1;
        }
        appendFormula(index, name, scales, crosshair, markcolor ? markcolor : 0);
    }

    function replaceFormulaEx(name) {
        replaceFormula(name);
        name_tag_ = name;
    }

    function destroyFChart(objectName) {
        var list = [];
        for (var i = 0; i < fcharts.length; ++i) {
            if (fcharts[i].objectName === objectName)
                fcharts[i].destroy();
            else
                list.push(fcharts[i]);
        }
        fcharts = list;
    }

    function removeSubFChart(sIndex) {
        if (sIndex < 0)
            return;
        for (var i = sIndex; i < fcharts.length; ++i)
            fcharts[i].destroy();
        fcharts = fcharts.slice(0, Math.min(sIndex, fcharts.length));
    }

    function showSetToolsBar(b) {
        setToolsVisible = b;
    }

    function showSetToolsBarClose(b) {
        closeToolVisible = b;
    }

    function setHold(b) {
        hold = b;
    }

    // ---- event strip ----

    // The strip of dated events (dividends, research reports) along the chart's bottom; main
    // charts load it at creation. Every event group the chart hands over replaces the group of
    // the same name.
    property var extendStrip: null
    function loadQChartExtend() {
        if (extendStrip)
            return;
        extendStrip = extendComponent.createObject(chart);
        extendStrip.setQChart(chart);
        extendStrip.activeTip.connect(eventTip.showEvents);
        chart.syncUpdateDividend.connect(function(json) {
            extendStrip.removeExtendData(json.name);
            extendStrip.appendExtendData(json);
        });
    }

    Component {
        id: extendComponent
        QChartExtend {
            objectName: "chartExtend"
            x: 0
            y: chart.height - height
            width: chart.width
            height: 20
            z: 3
        }
    }

    function openEventUrl(url) {
        var component = Qt.createComponent("qrc:/qml/main/BrowserWindow.qml");
        if (component.status !== Component.Ready) {
            console.warn("event link:", component.errorString());
            return;
        }
        var win = component.createObject(null, { "url": url });
        win.show();
    }

    // The tip of the events under the pointer, titled with their date.
    Rectangle {
        id: eventTip
        objectName: "eventTip"
        property var events: []
        visible: false
        z: 6
        y: Math.max(0, chart.height - 20 - height)
        width: Math.max(tipColumn.implicitWidth + 16, 120)
        height: tipColumn.implicitHeight + 10
        color: Theme.popupBackground
        border.color: Theme.border

        function showEvents(px, py, list) {
            events = list;
            var w = Math.max(tipColumn.implicitWidth + 16, 120);
            x = Math.max(0, Math.min(px - w / 2, chart.width - w));
            visible = events.length > 0;
        }

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            onExited: eventTip.visible = false
        }
        Column {
            id: tipColumn
            x: 8
            y: 5
            spacing: 2
            Text {
                text: eventTip.events.length > 0 ? Events.dateOf(eventTip.events[0].time) : ""
                color: Theme.textDim
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Repeater {
                model: eventTip.events
                Text {
                    objectName: "eventTipEntry_" + index
                    text: modelData.detailed
                    color: modelData.url ? Theme.accent : Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                    font.underline: !!modelData.url && linkArea.containsMouse
                    MouseArea {
                        id: linkArea
                        anchors.fill: parent
                        hoverEnabled: true
                        enabled: !!modelData.url
                        cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
                        onClicked: {
                            eventTip.visible = false;
                            chart.openEventUrl(modelData.url);
                        }
                    }
                }
            }
        }
    }

    // ---- mirroring, driven by the stack ----

    function onPmousePointChange(src, x, y) {
        if (src === chart)
            updateMousePoint(src, x, y);
        else
            updateMousePoint(src, x, -1);
    }

    function onPcrosshairChange(src, x, y) {
        if (src === chart)
            return;
        updateMousePoint(null, x, -1);
    }

    function onPreCalcShow(begin, end, showNumber, x_pos) {
        updateReCalcShow(begin, end, showNumber, x_pos);
    }

    // ---- settings buttons ----

    Row {
        id: setTools
        objectName: "setToolsBar"
        anchors.right: chart.right
        anchors.rightMargin: 4
        anchors.top: chart.top
        height: Theme.chartTitleHeight
        spacing: 2
        z: 3
        visible: chart.setToolsVisible
        ChartToolButton {
            objectName: "setButton"
            glyph: "设"
            tip: "指标设置"
            onClicked: chart.editFormulaPraram(chart, chart.name_tag_)
        }
        ChartToolButton {
            objectName: "closeButton"
            visible: chart.closeToolVisible
            glyph: "✕"
            tip: "关闭"
            onClicked: chart.removeSubChart(chart)
        }
    }

    // ---- pointer ----

    Rectangle {
        id: zoomRect
        objectName: "zoomRect"
        visible: false
        color: "transparent"
        border.width: 1
        border.color: "#FFFFFF"
        z: 4
    }

    MouseArea {
        id: area
        anchors.fill: chart
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        property real pressX: 0
        property real pressY: 0
        property real lastX: 0
        property bool zooming: false
        property bool boardPress: false
        onPressed: {
            if (chart.focusTarget)
                chart.focusTarget.forceActiveFocus();
            pressX = mouse.x;
            pressY = mouse.y;
            lastX = mouse.x;
            zooming = false;
            if (mouse.button === Qt.RightButton) {
                chart.hold = false;
                // A right press on a drawing opens the drawing's menu instead.
                if (!chart.onRButtonDown(0, mouse.x, mouse.y))
                    chart.showRMenu(chart, mouse.x, mouse.y);
                return;
            }
            // The drawing board takes presses that place or pick a drawing, and the one that
            // starts an interval band after "区间统计".
            if (chart.onLButtonDown(0, mouse.x, mouse.y)) {
                boardPress = true;
                return;
            }
            chart.clicked(chart);
        }
        onReleased: {
            if (mouse.button === Qt.RightButton) {
                chart.hold = false;
                return;
            }
            chart.onLButtonUp(0, mouse.x, mouse.y);
            if (boardPress) {
                boardPress = false;
                return;
            }
            if (zooming)
                chart.finishZoom();
            zooming = false;
            zoomRect.visible = false;
        }
        onPositionChanged: {
            var leftHeld = pressed && (pressedButtons & Qt.LeftButton);
            // Markers of the event strip take the pointer first; elsewhere their tip closes.
            if (!leftHeld && chart.extendStrip && chart.extendStrip.mouseMove(mouse.x, mouse.y))
                return;
            eventTip.visible = false;
            // Moves that change a drawing belong to the board, not to the crosshair.
            if (chart.onMousePaintBoard(leftHeld ? 1 : 0, mouse.x, mouse.y) || boardPress)
                return;
            if (leftHeld) {
                if (chart.hold) {
                    chart.dragBy(mouse.x - lastX);
                    lastX = mouse.x;
                } else if (chart.getLineType() === "kline" && mouse.x > pressX && mouse.y > pressY) {
                    zooming = true;
                    zoomRect.x = pressX;
                    zoomRect.y = pressY;
                    zoomRect.width = mouse.x - pressX;
                    zoomRect.height = mouse.y - pressY;
                    zoomRect.visible = true;
                } else {
                    zooming = false;
                    zoomRect.visible = false;
                }
            }
            chart.mousePointChange(chart, mouse.x, mouse.y);
        }
        onDoubleClicked: chart.doubleClicked(chart, mouse.x, mouse.y)
        // Leaving the chart ends a drag on the board and deselects the drawing under the pointer.
        onExited: chart.onLButtonLeave(0, mouseX, mouseY)
        onWheel: {
            if (wheel.angleDelta.y > 0)
                chart.preCode();
            else if (wheel.angleDelta.y < 0)
                chart.nextCode();
        }
    }

    // Hold mode: every move of a pixel or more shifts the window by one bar.
    function dragBy(dx) {
        if (Math.abs(dx) < 1 || getFirstKLineSize() === 0)
            return;
        var b = dx < 0 ? Math.min(getBegin() + 1, getEnd()) : Math.max(getBegin() - 1, 0);
        var e = Math.min(b + getkShowNumber() - 1, getFirstKLineSize());
        reCalcShow(b, e, getkShowNumber(), getCrosshairPos());
    }

    // A rectangle dragged right and down shows the bars under it, nine at least.
    function finishZoom() {
        var count = getFirstKLineSize();
        if (count === 0)
            return;
        var b = getXPoint(zoomRect.x);
        var e = Math.min(getXPoint(zoomRect.x + zoomRect.width), count - 1);
        var s = e - b + 1;
        if (s < 9) {
            // Nine bars at least: the first and the eight after it, as far as there are bars.
            e = Math.min(b + 8, count - 1);
            s = e - b + 1;
        }
        reCalcShow(b, e, s, b + Math.floor(s / 2));
    }
}
