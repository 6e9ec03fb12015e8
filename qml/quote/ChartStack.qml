import QtQuick 2.15
import QtQuick.Controls 2.15
import TimeBar 1.0
import "../common"

// The charts of a quote view: one main chart over any number of sub-charts in a vertical split
// view, with one time bar under them. Sub-charts share the main chart's bars; every chart's
// window and crosshair are mirrored to the others.
FocusScope {
    id: stack
    objectName: "chartStack"
    property var mainQChart: null
    property var subQCharts: []
    property string chartType: "kline"
    property int cycle: 33

    signal removeSubChart(var self)
    signal editFormulaPraram(var self, string name)
    signal showTextDlg(var qchart, var editP, string text, string color, string fontStr)
    signal showPaintBoardMenu(var qchart, string type, int x, int y)
    signal showRMenu(var self, int x, int y)
    signal showIntervalStatistics(var json)
    signal showHistoryMLine(var date, var timestamp)
    signal nextCode()
    signal preCode()
    signal loadMoreKLine()
    // To the charts.
    signal pmousePointChange(var src, real x, real y)
    signal preCalcShow(int begin, int end, int showNumber, int x_pos)
    signal pcrosshairChange(var src, real x, real y)

    Component {
        id: wrapperComponent
        ChartWrapper {}
    }

    SplitView {
        id: split
        objectName: "chartSplit"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: timeBar.top
        orientation: Qt.Vertical
        handle: Rectangle {
            implicitHeight: 4
            color: SplitHandle.pressed || SplitHandle.hovered ? Theme.accent : Theme.splitHandle
        }
        onHeightChanged: stack.divideHeights()
    }

    TimeBar {
        id: timeBar
        objectName: "timeBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: Theme.timeBarHeight
    }

    ValuePopup {
        id: valuePopup
        objectName: "valuePopup"
        chart: stack.mainQChart
        x: 62
        y: 22
        z: 10
    }

    Component.onCompleted: renewMainChart()

    // A new main chart for a new security, chart kind or cycle: bars of another series must
    // never be merged with the new ones, so the old chart goes with everything it held.
    function renewMainChart() {
        var old = mainQChart;
        var c = createQChart("mainQChart");
        c.dataUpdate.connect(updateTimeBar);
        c.loadQChartExtend();
        if (old) {
            detachQChart(old);
            split.removeItem(old);
            old.visible = false;
            old.destroy();
        }
        split.insertItem(0, c);
        mainQChart = c;
        valuePopup.chart = c;
        divideHeights();
    }

    // ---- charts ----

    function createQChart(objectName) {
        var c = wrapperComponent.createObject(null, { "objectName": objectName,
                                                     "fillColor": Theme.chartFill,
                                                     "leftPadding": 80,
                                                     "focusTarget": stack });
        pmousePointChange.connect(c.onPmousePointChange);
        pcrosshairChange.connect(c.onPcrosshairChange);
        preCalcShow.connect(c.onPreCalcShow);
        c.doubleClicked.connect(onChartDoubleClicked);
        c.mousePointChange.connect(onChartMousePointChange);
        c.crosshairChange.connect(onChartCrosshairChange);
        c.reCalcShow.connect(onChartReCalcShow);
        c.editFormulaPraram.connect(editFormulaPraram);
        c.removeSubChart.connect(removeSubChart);
        c.showTextDlg.connect(showTextDlg);
        c.showPaintBoardMenu.connect(showPaintBoardMenu);
        c.showRMenu.connect(showRMenu);
        c.showIntervalStatistics.connect(showIntervalStatistics);
        c.nextCode.connect(nextCode);
        c.preCode.connect(preCode);
        if (c.loadMoreKLine)
            c.loadMoreKLine.connect(loadMoreKLine);
        return c;
    }

    function detachQChart(c) {
        pmousePointChange.disconnect(c.onPmousePointChange);
        pcrosshairChange.disconnect(c.onPcrosshairChange);
        preCalcShow.disconnect(c.onPreCalcShow);
    }

    function addMainChart(fname, s, c) {
        fname = fname || "KLINE";
        mainQChart.clearFormula(false);
        mainQChart.removeSubFChart(0);
        mainQChart.addFormula(0, fname, s || "KSCALES", c || "KCROSSHAIR", 0);
        if (fname === "KLINE")
            mainQChart.addFormula(0, "MA", "NO", "NO", 0);
    }

    function addMainChartFormula(fname, s, c, index, mcolor) {
        mainQChart.addFormula(index || 0, fname || "KLINE", s || "NO", c || "NO",
                              index ? mcolor : undefined);
    }

    function addSubChart(fname, s, c, bStopReset) {
        fname = fname || "VOL";
        var sub = createQChart("subQChart");
        if (bStopReset)
            sub.resetBeginEndState(false);
        sub.addFormula(0, fname, s || "NO", c || "NO", 0);
        sub.setCycle(mainQChart.getCycle());
        sub.setLineType(mainQChart.getLineType());
        // Followers count their window in the leader's bars, before any bar arrives too.
        sub.setkShowNumber(mainQChart.getkShowNumber(), false);
        sub.setKData(mainQChart, 0);
        sub.bindSyncDataSignal(mainQChart, 0);
        sub.updateReCalcShow(mainQChart.getBegin(), mainQChart.getEnd(),
                             mainQChart.getkShowNumber(), mainQChart.getCrosshairPos());
        sub.setShowCrosshairLine(mainQChart.getShowCrosshairLine());
        var list = subQCharts.slice();
        list.push(sub);
        subQCharts = list;
        split.addItem(sub);
        divideHeights();
        if (fname !== "MLINE" && fname !== "分时成交") {
            sub.showSetToolsBar(true);
            sub.showSetToolsBarClose(true);
        }
        return sub;
    }

    function clearMainChartOther() {
        mainQChart.clearFormula(true);
    }

    function clearMainChartFormula(name) {
        mainQChart.clearFormulaOther(name);
    }

    function clearMainChartAll() {
        mainQChart.clearFormula(false);
        mainQChart.resetBeginEndState(true);
    }

    function clearMainChart(name) {
        if (name !== "MLINE" && name !== "KLINE")
            mainQChart.clearFormula(name);
    }

    function destroySub(sub) {
        sub.clearFormula(false);
        detachQChart(sub);
        sub.visible = false;
        split.removeItem(sub);
        sub.destroy();
    }

    function clearSubChartAll() {
        for (var i = 0; i < subQCharts.length; ++i)
            destroySub(subQCharts[i]);
        subQCharts = [];
        divideHeights();
    }

    function clearSubChart(name) {
        for (var i = 0; i < subQCharts.length; ++i) {
            if (subQCharts[i].name_tag_ === name) {
                removeSub(subQCharts[i]);
                return;
            }
        }
    }

    function removeSub(sub) {
        var list = subQCharts.slice();
        var i = list.indexOf(sub);
        if (i < 0)
            return;
        list.splice(i, 1);
        subQCharts = list;
        destroySub(sub);
        divideHeights();
    }

    function setPaintBoardQChart(class_name) {
        if (typeof mainQChart.setPaintBoardQChart === "function")
            mainQChart.setPaintBoardQChart(class_name);
    }

    function setStyleCommand(aIndex, c) {
        if (typeof mainQChart.setStyleCommand === "function")
            mainQChart.setStyleCommand(aIndex, c);
    }

    function showSetToolsBar(b, chart) {
        mainQChart.showSetToolsBar(b && chart === "kline");
        mainQChart.showSetToolsBarClose(false);
        for (var i = 0; i < subQCharts.length; ++i) {
            var show = b && subQCharts[i].name_tag_ !== "分时成交";
            subQCharts[i].showSetToolsBar(show);
            subQCharts[i].showSetToolsBarClose(show);
        }
    }

    function hideCrosshairLine() {
        mainQChart.setShowCrosshairLine(false);
        for (var i = 0; i < subQCharts.length; ++i)
            subQCharts[i].setShowCrosshairLine(false);
        valuePopup.shown = false;
    }

    function changeShowCrosshairLine() {
        var shown = mainQChart.changeShowCrosshairLine();
        if (shown === undefined)
            shown = mainQChart.getShowCrosshairLine();
        for (var i = 0; i < subQCharts.length; ++i)
            subQCharts[i].setShowCrosshairLine(shown);
        valuePopup.shown = shown;
        valuePopup.refresh();
    }

    function updateTimeBar() {
        timeBar.setChartType(mainQChart.getLineType());
        timeBar.setChartCycle(mainQChart.getCycle());
        timeBar.setBeginEnd(mainQChart.getBegin(), mainQChart.getEnd());
        timeBar.setScales(mainQChart.getTimeBarTime(5));
        valuePopup.refresh();
    }

    // ---- heights ----

    // count = n + 3 shares: the main chart three, each sub-chart one. A maximised sub-chart
    // takes what all sub-charts would have had.
    function divideHeights() {
        if (!mainQChart)
            return;
        var n = subQCharts.length;
        var h = split.height / (n + 3);
                mainQChart.splitMin = Math.max(3 * h - n * h / 2, 0);
        mainQChart.splitPref = 3 * h;
        mainQChart.splitMax = split.height;
        mainQChart.splitFill = true;
        var maxed = null;
        for (var i = 0; i < n; ++i)
            if (subQCharts[i].isMax)
                maxed = subQCharts[i];
        for (var j = 0; j < n; ++j) {
            var s = subQCharts[j];
                        if (maxed === null) {
                s.splitMin = h / 2;
                s.splitPref = h;
                s.splitMax = 1.5 * h;
                s.splitFill = false;
            } else if (s === maxed) {
                s.splitMin = n * h;
                s.splitPref = n * h;
                s.splitMax = n * h;
                s.splitFill = true;
            } else {
                s.splitMin = 0;
                s.splitPref = 0;
                s.splitMax = 0;
                s.splitFill = false;
            }
        }
    }

    function toggleMaximised(sub) {
        var wasMax = sub.isMax;
        for (var i = 0; i < subQCharts.length; ++i)
            subQCharts[i].isMax = false;
        sub.isMax = !wasMax;
        divideHeights();
    }

    // ---- chart signals ----

    function onChartMousePointChange(src, x, y) {
        pmousePointChange(src, x, y);
        updateTimeBar();
        timeBar.setCurX(x);
    }

    function onChartCrosshairChange(src, x, y) {
        var mx = src.getMousePosX();
        pcrosshairChange(src, mx, y);
        timeBar.setCurX(mx);
        timeBar.setCurScales(mainQChart.getPosTime(x));
        valuePopup.refresh();
    }

    function onChartReCalcShow(begin, end, showNumber, x_pos) {
        preCalcShow(begin, end, showNumber, x_pos);
        updateTimeBar();
    }

    function onChartDoubleClicked(src, x, y) {
        if (src !== mainQChart) {
            toggleMaximised(src);
            return;
        }
        var pos = src.getCrosshairPos();
        var last = src.getFirstKLineSize() - 1;
        if (src.getLineType() === "kline" && src.getCycle() === 33 && pos >= 0 && pos !== last) {
            var top = src.getPointY(src.getPosDataF(pos, "high")) - 5;
            var bottom = src.getPointY(src.getPosDataF(pos, "low")) + 5;
            if (y >= top && y <= bottom) {
                showHistoryMLine(src.getPosDataS(pos, "date"), src.getCurPosTime());
                return;
            }
        }
        changeShowCrosshairLine();
    }

    // ---- keys ----

    Keys.onPressed: {
        if (!mainQChart)
            return;
        var name = mainQChart.getMainName();
        switch (event.key) {
        case Qt.Key_Left:
            mainQChart.updateCrosshairPos(mainQChart.getCrosshairPos() - 1);
            break;
        case Qt.Key_Right:
            mainQChart.updateCrosshairPos(mainQChart.getCrosshairPos() + 1);
            break;
        case Qt.Key_Up:
            if (name !== "KLINE")
                return;
            mainQChart.setkShowNumber(Math.max(Math.floor(mainQChart.getkShowNumber() / 1.5), 8));
            break;
        case Qt.Key_Down:
            if (name !== "KLINE")
                return;
            mainQChart.setkShowNumber(Math.ceil(mainQChart.getkShowNumber() * 1.5));
            loadMoreKLine();
            break;
        case Qt.Key_PageUp:
            preCode();
            event.accepted = true;
            return;
        case Qt.Key_PageDown:
            nextCode();
            event.accepted = true;
            return;
        default:
            return;
        }
        event.accepted = true;
        updateTimeBar();
    }
}
