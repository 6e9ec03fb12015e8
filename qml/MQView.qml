import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import QBaseService 1.0
import HFileIO 1.0
import MQModel 1.0
import MultiStockModel 1.0
import "common"
import "quote"
import "quote/panel"
import "quote/paint"
import "table"
import "js/cycles.js" as Cycles
import "js/formula_map.js" as FormulaMap
import "js/superposition.js" as Overlays
import "js/quote_query.js" as Query
import "js/kvst.js" as Kvst

// The quote view of one security: its minute or K-line chart with indicator sub-charts, the
// price panel, the tick list, the cycle-resonance grid and the research pages.
FocusScope {
    id: view
    objectName: "mqView"
    property var query_map_: ({})
    property string chart: ""
    property int cycle: 33
    property string code: ""
    property int market: 0
    property string name: ""
    property int type: 2
    property bool isIndex: type === 1
    property var record: null
    property var layout: FormulaMap.defaultLayout()
    property var overlays: Overlays.emptyDocument()
    property var ring: []
    property string ringJson: ""
    readonly property alias statsDialog: dialogs.statsDialog
    property double requestStarted: 0
    property bool waitingFirstPaint: false
    readonly property alias messagePopup: popup
    readonly property alias superpositionEdit: superposition

    signal changeToMQView(var codeInfo)
    signal updateTabsUrl(var item, var codeInfo)
    signal chartPainted(string chart, int cycle, real elapsed)

    focus: true

    LoggingCategory { id: timing; name: "vq.timing" }
    QBaseService { id: baseService }
    HFileIO { id: fileio }
    MQModel { id: model }
    // The list the view was opened from, for the previous and next security.
    MultiStockModel {
        id: ringModel
        onDataChange: view.ring = data
    }

    Component.onCompleted: {
        layout = FormulaMap.load(fileio);
        overlays = Overlays.load(fileio);
        toolBar.mainNames = namesOf(baseService.getFormulaNames(0));
        indicatorBar.names = namesOf(baseService.getFormulaNames(1));
        toolBar.groupNames = namesOf(baseService.getFormulaGroupNames());
    }

    function namesOf(list) {
        var out = [];
        if (!list)
            return out;
        for (var i = 0; i < list.length; ++i)
            if (list[i] && list[i].name)
                out.push(String(list[i].name));
        return out;
    }

    // ---- the query ----

    function getQuery() {
        return query_map_;
    }

    function updateQuery(q) {
        setQuery(Query.merge(query_map_, q));
    }

    function setQuery(q) {
        q = Query.merge({}, q || {});
        if (q.json && q.json !== ringJson)
            setupRing(q.json);
        if (q.chart === "mk_line" || q.chart === "mk_cycle") {
            var next = q.chart === "mk_line" ? Cycles.toggleLine(chart, cycle) : Cycles.stepCycle(chart, cycle);
            q.chart = next.chart;
            q.cycle = next.cycle;
        }
        if (!q.code) {
            console.warn("quote view: a route without a security");
            return;
        }
        requestStarted = Date.now();
        lookUp(String(q.code), Number(q.market || 0), q);
        stopRequests();

        var wanted = q.chart;
        var keep = !wanted || wanted === "default" || !Cycles.isKnownView(wanted);
        var nextChart = keep ? (Cycles.isChart(chart) ? chart : "mline") : wanted;
        if (isIndex && (nextChart === "f9" || nextChart === "f10" || nextChart === "f11"))
            nextChart = "mline";
        var nextCycle = q.cycle !== undefined && q.cycle !== "" ? Cycles.cycleOf(q.cycle)
                                                                : (keep ? cycle : Cycles.kDay);
        chart = nextChart;
        cycle = nextCycle;
        q.chart = chart;
        q.cycle = cycle;
        query_map_ = q;

        initCharts();
        showPane();
        subscribe();
        showCodeInfo();
    }

    // The information panel follows the security; a renewed chart gets the report markers again.
    function showCodeInfo() {
        var s = infoTabs.security;
        if (!s || s.code !== code || Number(s.market) !== market)
            infoTabs.setCodeInfo(record);
        else if (infoTabs.researchGroup)
            markResearch(infoTabs.researchGroup);
    }

    function markResearch(group) {
        if (stack.mainQChart)
            stack.mainQChart.syncUpdateDividend(group);
    }

    // The security's dictionary row decides name and type; the query fills what it lacks.
    function lookUp(c, m, q) {
        var row = null;
        if (record && record.code === c && Number(record.market) === m && record.pinyin !== undefined) {
            // The same security: its row is known.
            row = record;
        } else try {
            var db = Kvst.open();
            db.readTransaction(function(tx) {
                var rs = tx.executeSql("SELECT code, market, name, type, pinyin FROM StockDictionary "
                                       + "WHERE code = ? AND market = ? LIMIT 1", [c, m]);
                if (rs.rows.length > 0)
                    row = rs.rows.item(0);
            });
        } catch (e) {
            row = null;
        }
        code = c;
        market = m;
        record = row ? { "code": row.code, "market": row.market, "name": row.name, "type": row.type,
                         "pinyin": row.pinyin }
                     : { "code": c, "market": m, "name": q.name || c, "type": Number(q.type || 2) };
        type = Number(record.type);
        name = record.name || q.name || c;
        q.type = type;
        q.name = name;
    }

    function stopRequests() {
        if (paintTools.visible) {
            saveDrawings();
            paintTools.visible = false;
        }
        model.cancelKLine(0);
        model.cancelMinute(0);
        model.cancelPrice();
        model.cancelDetail();
        if (resonance.item)
            resonance.item.stop();
        minuteList.rows = [];
        detailList.rows = [];
    }

    // ---- charts ----

    function initCharts() {
        stack.hideCrosshairLine();
        stack.clearSubChartAll();
        stack.renewMainChart();
        var main = stack.mainQChart;
        var lineChart = chart === "kline" ? "kline" : "mline";
        main.setLineType(lineChart);
        main.setCycle(lineChart === "kline" ? cycle : 32);
        main.setkShowNumber(lineChart === "kline" ? 120 : 242, false);
        main.bindDataSignal(model, -1);
        main.dataUpdate.connect(onMainData);
        var entries = FormulaMap.chartOf(layout, lineChart);
        for (var i = 0; i < entries.main_charts.length; ++i) {
            var e = entries.main_charts[i];
            main.addFormula(0, e.fname, e.s, e.c, 0);
        }
        for (var j = 0; j < entries.sub_charts.length; ++j) {
            var s = entries.sub_charts[j];
            stack.addSubChart(s.fname, s.s, s.c, false);
        }
        stack.showSetToolsBar(true, lineChart);
        indicatorBar.shown = entries.sub_charts.map(function(x) { return x.fname; });
        toolBar.mainIndicator = FormulaMap.mainIndicator(layout, lineChart);
        if (lineChart === "kline" && query_map_.formula_group_name)
            applyGroup(String(query_map_.formula_group_name));
    }

    function showPane() {
        toolBar.currentKey = Cycles.buttonKey(chart, cycle);
        stack.visible = Cycles.isChart(chart);
        detailList.visible = chart === "detail";
        if (chart === "cycel") {
            resonance.active = true;
            resonance.visible = true;
        } else {
            resonance.visible = false;
        }
        if (chart === "f9" || chart === "f10" || chart === "f11") {
            var template = baseService.getServerAddressValue("url." + chart);
            research.active = true;
            research.visible = true;
            research.item.url = Query.fillPlaceholders(template ? String(template) : "", record);
        } else {
            research.visible = false;
        }
        if (stack.visible)
            stack.forceActiveFocus();
        else
            view.forceActiveFocus();
    }

    function subscribe() {
        waitingFirstPaint = Cycles.isChart(chart);
        if (chart === "kline") {
            model.setDividendCmd(query_map_.kcmd ? String(query_map_.kcmd) : "");
            model.getKLineData(code, market, 512, cycle, 0);
        } else {
            // Every other view keeps the (hidden) minute chart, which feeds the side panel.
            model.getMinuteData(code, market, 0);
            if (chart === "cycel")
                resonance.item.show(code, market, FormulaMap.panelIndicators(layout));
        }
        model.getPriceData(code, market);
        model.getDetailData(code, market, -1, 9999);
        if (Cycles.isChart(chart)) {
            var list = Overlays.listOf(overlays, chart);
            for (var i = 0; i < list.length; ++i)
                attachOverlay(list[i].code, list[i].market, i + 1);
        }
    }

    // The side panel reads the chart after the chart has painted, so that the first picture of
    // a chart waits for nothing else.
    function refreshSide() {
        var main = stack.mainQChart;
        minuteList.refresh(main);
        if (chart === "detail")
            detailList.refresh(main);
    }

    // The snapshot names the security's type too; a security the dictionary did not know yet
    // (the code list arrives after the first view opened) gets its panels and buttons right.
    Connections {
        target: model
        function onCodeInfoChanged() {
            if (model.code !== view.code || model.market !== view.market || model.type === view.type)
                return;
            view.type = model.type;
            view.query_map_.type = model.type;
            view.record.type = model.type;
            infoTabs.setCodeInfo(view.record);
        }
    }

    function onMainData() {
        var main = stack.mainQChart;
        Qt.callLater(refreshSide);
        if (waitingFirstPaint && main.getFirstKLineSize() > 0) {
            waitingFirstPaint = false;
            var shownChart = chart, shownCycle = cycle, started = requestStarted;
            var win = view.Window.window;
            if (!win) {
                chartPainted(shownChart, shownCycle, Date.now() - started);
                return;
            }
            var painted = function() {
                win.frameSwapped.disconnect(painted);
                var ms = Date.now() - started;
                console.info(timing, "quote view " + code + ": request → first painted "
                             + (shownChart === "kline" ? Cycles.label(shownCycle) + " K-line" : "minute chart")
                             + " " + ms + " ms");
                chartPainted(shownChart, shownCycle, ms);
            };
            win.frameSwapped.connect(painted);
        }
    }

    // ---- overlays ----

    function addSuperChart(c, m, chartKind) {
        var result = Overlays.add(overlays, chartKind, c, m, code, market);
        if (result === "full") {
            popup.showMsg(Overlays.kFullMessage, null, false);
            return;
        }
        if (result !== "added")
            return;
        Overlays.save(fileio, overlays);
        if (chartKind === chart)
            attachOverlay(c, m, Overlays.listOf(overlays, chartKind).length);
    }

    function attachOverlay(c, m, slot) {
        var color = Overlays.color(slot);
        if (chart === "kline") {
            stack.addMainChartFormula("SKLINE", "NO", "NO", slot, color);
            model.getKLineData(c, m, Math.max(512, stack.mainQChart.getFirstKLineSize()), cycle, slot);
        } else if (chart === "mline") {
            stack.addMainChartFormula("SMLINE", "MSCALES", "MCROSSHAIR", slot, color);
            model.getMinuteData(c, m, slot);
        }
    }

    function clearOverlays() {
        if (!Cycles.isChart(chart))
            return;
        model.cancelKLine(1);
        model.cancelMinute(1);
        Overlays.clear(overlays, chart);
        Overlays.save(fileio, overlays);
        setQuery(query_map_);
    }

    // ---- indicators ----

    function recordUsage(name) {
        try {
            var db = Kvst.open();
            Kvst.createTables(db);
            Kvst.appendAction(db, "FML", name);
        } catch (e) {
            console.warn("quote view: usage row not written", e);
        }
    }

    function lineChart() {
        return chart === "kline" ? "kline" : "mline";
    }

    function toggleSubIndicator(name) {
        if (!Cycles.isChart(chart))
            return;
        if (FormulaMap.removeSub(layout, lineChart(), name)) {
            stack.clearSubChart(name);
        } else {
            recordUsage(name);
            FormulaMap.addSub(layout, lineChart(), name);
            stack.addSubChart(name, "KSCALES", "KCROSSHAIR", true);
        }
        FormulaMap.save(fileio, layout);
        indicatorBar.shown = FormulaMap.chartOf(layout, lineChart()).sub_charts.map(function(x) { return x.fname; });
    }

    function chooseMainIndicator(name) {
        if (chart !== "kline")
            return;
        recordUsage(name);
        FormulaMap.setMain(layout, "kline", name);
        FormulaMap.save(fileio, layout);
        stack.clearMainChartOther();
        if (name !== "KLINE")
            stack.addMainChartFormula(name, "NO", "NO", 0);
        toolBar.mainIndicator = FormulaMap.mainIndicator(layout, "kline");
    }

    function applyGroup(groupName) {
        var names = baseService.getFormulaGroup(groupName);
        if (!names || names.length === 0)
            return;
        names = Array.prototype.slice.call(names).map(String);
        stack.clearMainChartOther();
        for (var i = 0; i < names.length; ++i)
            recordUsage(names[i]);
        stack.addMainChartFormula(names[0], "NO", "NO", 0);
        for (var j = 1; j < names.length; ++j) {
            if (j - 1 < stack.subQCharts.length)
                stack.subQCharts[j - 1].replaceFormulaEx(names[j]);
            else
                stack.addSubChart(names[j], "KSCALES", "KCROSSHAIR", true);
        }
        FormulaMap.applyGroup(layout, "kline", names);
        FormulaMap.save(fileio, layout);
        indicatorBar.shown = FormulaMap.chartOf(layout, "kline").sub_charts.map(function(x) { return x.fname; });
        toolBar.mainIndicator = FormulaMap.mainIndicator(layout, "kline");
    }

    function editFormula(chartItem, formulaName) {
        var component = Qt.createComponent("common/FormulaParamDlg.qml");
        if (component.status !== Component.Ready) {
            console.warn("quote view:", component.errorString());
            return;
        }
        var dlg = component.createObject(view);
        dlg.setFormulaName(formulaName);
        dlg.formulaParamSetFinal.connect(function() { chartItem.reLoadFormula(); });
        dlg.closing.connect(function() { dlg.destroy(); });
        dlg.show();
        dlg.requestActivate();
        return dlg;
    }

    function removeSubChart(chartItem) {
        FormulaMap.removeSub(layout, lineChart(), chartItem.name_tag_);
        FormulaMap.save(fileio, layout);
        stack.removeSub(chartItem);
        indicatorBar.shown = FormulaMap.chartOf(layout, lineChart()).sub_charts.map(function(x) { return x.fname; });
    }

    // ---- the chart's menu ----

    function openChartMenu(chartItem, x, y) {
        if (chart !== "kline" && chart !== "mline")
            return;
        chartMenu.popupChart({ "chart": chart, "code": code, "market": market, "type": type,
                               "name": name, "kcmd": query_map_.kcmd ? String(query_map_.kcmd) : "",
                               "crosshair": stack.mainQChart !== null
                                            && stack.mainQChart.getShowCrosshairLine() },
                             chartItem, x, y);
    }

    // Entries the view itself performs: crosshair, hold mode, and route parameters (chart
    // switches, ex-rights).
    function chartMenuChosen(q) {
        var active = q.active === undefined ? "" : String(q.active);
        if (active === "crosshair") {
            var want = String(q.crosshair) === "true";
            if (stack.mainQChart && stack.mainQChart.getShowCrosshairLine() !== want)
                stack.changeShowCrosshairLine();
        } else if (active === "hold") {
            toolBar.hold = String(q.hold) === "true";
            toolBar.holdToggled(toolBar.hold);
        } else if (active === "") {
            var route = {};
            for (var k in q)
                route[k] = q[k];
            updateQuery(route);
        }
    }

    // ---- previous / next ----

    function setupRing(encoded) {
        ringJson = encoded;
        ring = [];
        var ctx = Query.listContext(encoded);
        if (!ctx)
            return;
        ringModel.setCtx(JSON.stringify(ctx));
    }

    function stepRing(step) {
        var n = Query.neighbour(ring, code, market, step);
        if (!n || (n.code === code && Number(n.market) === market))
            return;
        saveDrawings();
        var q = Query.merge(query_map_, { "code": n.code, "market": Number(n.market), "name": n.name || "" });
        setQuery(q);
        updateTabsUrl(view, { "code": code, "market": market, "name": name, "type": type,
                              "chart": chart, "cycle": cycle });
    }

    // ---- statistics ----

    function serverAddress(name) {
        var value = baseService.getServerAddressValue(name);
        return value ? String(value) : "";
    }

    function saveDrawings() {
        if (chart === "kline" && stack.mainQChart)
            stack.mainQChart.savePaintData(code, market, cycle);
    }

    function openHistoryMinute(date, timestamp) {
        return dialogs.openHistoryMinute(date, timestamp);
    }

    // ---- keys ----

    Keys.onPressed: {
        var route = null;
        switch (event.key) {
        case Qt.Key_Return:
        case Qt.Key_Enter:
        case Qt.Key_F5:
            route = { "chart": "mk_line" };
            break;
        case Qt.Key_F8:
            route = { "chart": "mk_cycle" };
            break;
        case Qt.Key_F1:
            route = { "chart": "detail" };
            break;
        case Qt.Key_F9:
            route = { "chart": "f9" };
            break;
        case Qt.Key_F10:
            route = { "chart": "f10" };
            break;
        case Qt.Key_F11:
            route = { "chart": "f11" };
            break;
        default:
            return;
        }
        event.accepted = true;
        if (isIndex && (route.chart === "f9" || route.chart === "f10" || route.chart === "f11"))
            return;
        updateQuery(route);
    }

    // ---- layout ----

    QuoteToolBar {
        id: toolBar
        objectName: "quoteToolBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        isIndex: view.isIndex
        chartKind: view.chart
        dividendCmd: view.query_map_.kcmd ? String(view.query_map_.kcmd) : ""
        onRouteClicked: view.updateQuery(route)
        onMainChosen: view.chooseMainIndicator(name)
        onGroupChosen: view.applyGroup(name)
        onDividendChosen: view.updateQuery({ "kcmd": cmd })
        onOverlayClicked: superposition.show(view.chart)
        onClearOverlaysClicked: view.clearOverlays()
        onIntervalClicked: if (view.chart === "kline") stack.mainQChart.startIS()
        onDrawClicked: {
            if (view.chart !== "kline")
                return;
            paintTools.visible = !paintTools.visible;
            if (!paintTools.visible)
                paintTools.closed();
        }
        onHoldToggled: {
            stack.mainQChart.setHold(on);
            for (var i = 0; i < stack.subQCharts.length; ++i)
                stack.subQCharts[i].setHold(on);
        }
    }

    Item {
        id: chartArea
        objectName: "chartArea"
        anchors.left: parent.left
        anchors.top: toolBar.bottom
        anchors.bottom: infoTabs.top
        width: parent.width - Theme.sidePanelWidth - 1

        ChartStack {
            id: stack
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: indicatorBar.top
            focus: true
            onEditFormulaPraram: view.editFormula(self, name)
            onRemoveSubChart: view.removeSubChart(self)
            onShowIntervalStatistics: dialogs.openIntervalStatistics(json)
            onShowHistoryMLine: view.openHistoryMinute(date, timestamp)
            onNextCode: view.stepRing(1)
            onPreCode: view.stepRing(-1)
            onLoadMoreKLine: if (view.chart === "kline") model.loadMoreKLine(512)
            onShowTextDlg: dialogs.openTextDialog(qchart, editP, text, color, fontStr)
            onShowPaintBoardMenu: paintMenu.popupFor(qchart, type, x, y, qchart)
            onShowRMenu: view.openChartMenu(self, x, y)
        }
        IndicatorBar {
            id: indicatorBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            visible: stack.visible
            height: visible ? 24 : 0
            onToggled: view.toggleSubIndicator(name)
        }
        // The latest ticks (a stock's) beside the day's trades minute by minute.
        Rectangle {
            id: tickPane
            objectName: "tickPane"
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            width: view.isIndex ? 0 : Math.min(parent.width / 3, 420)
            visible: detailList.visible && !view.isIndex
            color: Theme.chartBackground
            Text {
                id: tickCaption
                x: 10
                height: 24
                text: "分笔成交"
                color: Theme.textDim
                verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
            TickList {
                anchors.fill: parent
                anchors.topMargin: 24
                anchors.rightMargin: 1
                ticks: quotePanel.detailModel
            }
            Rectangle { anchors.right: parent.right; width: 1; height: parent.height; color: Theme.border }
        }
        MinuteList {
            id: detailList
            objectName: "detailList"
            anchors.left: tickPane.right
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            visible: false
            minuteCaption: "分时成交明细"
            columns: view.isIndex ? 4 : 3
        }
        Loader {
            id: resonance
            objectName: "resonanceLoader"
            anchors.fill: parent
            active: false
            visible: false
            sourceComponent: ResonanceGrid {}
        }
        Loader {
            id: research
            objectName: "researchLoader"
            anchors.fill: parent
            active: false
            visible: false
            source: "quote/ResearchPane.qml"
        }
    }

    QuoteInfoTabs {
        id: infoTabs
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        width: chartArea.width
        detailModel: quotePanel.detailModel
        onChangeToMQView: view.changeToMQView(codeInfo)
        onResearchLoaded: view.markResearch(group)
    }

    Rectangle {
        anchors.left: chartArea.right
        anchors.top: toolBar.bottom
        anchors.bottom: parent.bottom
        width: 1
        color: Theme.border
    }

    Column {
        id: side
        objectName: "sidePanel"
        anchors.right: parent.right
        anchors.top: toolBar.bottom
        anchors.bottom: parent.bottom
        width: Theme.sidePanelWidth
        // An index's panel: header, quote information and market breadth.
        IndexPanel {
            id: indexPanel
            width: parent.width
            height: implicitHeight
            visible: view.isIndex
            mqModel: model
            code: view.code
            market: view.market
            name: view.name
            breadthUrl: view.isIndex ? view.serverAddress("url.market_total") : ""
        }
        Rectangle { width: parent.width; height: 1; color: Theme.border; visible: view.isIndex }
        MinuteList {
            id: minuteList
            objectName: "sideMinuteList"
            width: parent.width
            visible: view.isIndex
            height: Math.max(0, side.height - indexPanel.height - 1)
            maxRows: 120
        }
        // A stock's panel: header, order book, quote information and the latest ticks.
        QuotePanel {
            id: quotePanel
            width: parent.width
            height: side.height
            visible: !view.isIndex
            mqModel: model
            code: view.code
            market: view.market
            onShowAllTicks: view.updateQuery({ "chart": "detail" })
        }
    }

    // Over the side panel while shown, beside the K-line chart it follows.
    ChipPanel {
        id: chipPanel
        anchors.right: parent.right
        anchors.top: toolBar.bottom
        anchors.bottom: parent.bottom
        width: Theme.sidePanelWidth
        z: 5
        visible: toolBar.chipShown && view.chart === "kline"
        chart: stack.mainQChart
        securityName: view.name
        onClosed: toolBar.chipShown = false
    }

    PaintToolPanel {
        id: paintTools
        objectName: "paintTools"
        parent: chartArea
        // Just inside the plot, clear of the price axis on its left.
        x: 61
        y: 24
        z: 20
        visible: false
        chart: stack.mainQChart
        onClosed: {
            view.saveDrawings();
            visible = false;
            stack.mainQChart.setPaintBoardActive(false);
        }
    }

    QuoteContextMenu {
        id: chartMenu
        onRouteChosen: view.chartMenuChosen(query)
        onChangeToMQView: view.changeToMQView(codeInfo)
    }

    QuoteDialogs {
        id: dialogs
        host: view
        chartStack: stack
        onDrawingTextSet: view.saveDrawings()
    }

    PaintMenu {
        id: paintMenu
        onStyleCommand: view.saveDrawings()
    }

    QSuperpositionEdit {
        id: superposition
        parent: view
        onAddSuperChart: view.addSuperChart(code, market, chart)
        onClosed: view.forceActiveFocus()
    }

    QPopup {
        id: popup
        objectName: "quotePopup"
        parent: view
    }

    Component.onDestruction: {
        if (paintTools.visible)
            saveDrawings();
    }
}
