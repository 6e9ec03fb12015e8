import QtQuick 2.15
import "../js/cycles.js" as Cycles

// The small windows a quote view opens over its charts: the interval statistics, the text of
// a text drawing and one day's minute chart. Each is a child window of the view.
QtObject {
    id: dialogs
    // The quote view: the windows' parent, and the chart, cycle and record they depend on.
    property Item host: null
    // The chart stack whose main chart the statistics act on.
    property Item chartStack: null
    property var statsDialog: null
    // A text drawing got its text from the dialog: the drawings have changed.
    signal drawingTextSet()

    function create(url) {
        var component = Qt.createComponent(url);
        if (component.status !== Component.Ready) {
            console.warn("quote view:", component.errorString());
            return null;
        }
        return component.createObject(host);
    }

    function openIntervalStatistics(json) {
        if (!statsDialog) {
            statsDialog = create("../common/QIntervalStatisticsDlg.qml");
            if (!statsDialog)
                return;
            statsDialog.setStartEndDate.connect(function(s, e) { chartStack.mainQChart.setISStartEnd(s, e); });
            statsDialog.clickedClose.connect(closeIntervalStatistics);
        }
        statsDialog.setModel(json);
        statsDialog.show();
    }

    function closeIntervalStatistics() {
        var dlg = statsDialog;
        statsDialog = null;
        chartStack.mainQChart.clearIS();
        if (typeof chartStack.mainQChart.setPaintBoardActive === "function")
            chartStack.mainQChart.setPaintBoardActive(false);
        if (dlg)
            dlg.destroy();
    }

    // The text of a text drawing: the dialog hands text, colour and font back to the chart.
    function openTextDialog(qchart, editP, text, color, fontStr) {
        var dlg = create("../common/QTextEditDlg.qml");
        if (!dlg)
            return null;
        dlg.setText(text || "");
        dlg.setColor(color || "#ffffff");
        dlg.setFont(fontStr || "");
        dlg.clickedOK.connect(function(t, c, f) {
            qchart.setPaintBoardEditText(editP, t, c, f);
            drawingTextSet();
        });
        dlg.closing.connect(function() { dlg.destroy(); });
        dlg.show();
        dlg.setTextFocus(true);
        return dlg;
    }

    function openHistoryMinute(date, timestamp) {
        if (host.chart !== "kline" || host.cycle !== Cycles.kDay || !host.record || !host.record.name)
            return null;
        var w = create("../common/HistoryMLine.qml");
        if (!w)
            return null;
        w.closing.connect(function() { w.destroy(); });
        w.getHMLineData(host.record, date, timestamp);
        w.show();
        return w;
    }
}
