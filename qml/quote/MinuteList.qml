import QtQuick 2.15
import "../common"

// Trades of the day minute by minute (time, price, volume), newest last, read from a minute
// chart whenever its data changes.
Rectangle {
    id: list
    property var rows: []
    property int maxRows: 0     // 0: every minute of the day
    property int columns: 1     // rows fill the columns top to bottom, left to right
    property string minuteCaption: "分时成交"
    property string caption: minuteCaption

    color: Theme.panelBackground

    function refresh(chart) {
        if (!chart) {
            rows = [];
            return;
        }
        var minute = chart.getLineType() === "mline";
        caption = minute ? minuteCaption : "周期行情";
        var n = chart.getFirstKLineSize();
        var from = maxRows > 0 ? Math.max(n - maxRows, 0) : 0;
        var d = Math.max(chart.getDecimal(), 2);
        var out = [];
        for (var i = from; i < n; ++i) {
            var price = chart.getPosDataF(i, "close");
            var pre = chart.getPosDataF(i, "p_close");
            var when = chart.getPosDataS(i, "time");
            out.push({ "t": minute ? when.slice(-8, -3) : (chart.getCycle() >= 34 && chart.getCycle() <= 38 ? when.slice(5, 10) + " " + when.slice(-8, -3) : when.slice(0, 10)),
                       "p": isFinite(price) && Math.abs(price) < 1e30 ? price.toFixed(d) : "-",
                       "c": price > pre ? Theme.rise : (price < pre ? Theme.fall : Theme.flat),
                       "v": Math.round(chart.getPosDataF(i, "vol") / 100) });
        }
        // Newest at the bottom; the list follows it unless the user scrolled back.
        var follow = rows.length === 0 || view.atYEnd;
        rows = out;
        if (follow)
            Qt.callLater(function() {
                view.forceLayout();
                view.positionViewAtEnd();
            });
    }

    Text {
        id: title
        x: 10
        height: 24
        text: list.caption
        color: Theme.textDim
        verticalAlignment: Text.AlignVCenter
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
    GridView {
        id: view
        objectName: "minuteListView"
        anchors.top: title.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        flow: list.columns > 1 ? GridView.FlowTopToBottom : GridView.FlowLeftToRight
        cellWidth: Math.floor(width / list.columns)
        cellHeight: 20
        boundsBehavior: Flickable.StopAtBounds
        model: list.rows
        delegate: Item {
            width: view.cellWidth
            height: 20
            Text { x: 10; text: modelData.t; color: Theme.textDim; font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall; anchors.verticalCenter: parent.verticalCenter }
            Text { anchors.right: parent.right; anchors.rightMargin: parent.width * 0.36; text: modelData.p; color: modelData.c; font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall; anchors.verticalCenter: parent.verticalCenter }
            Text { anchors.right: parent.right; anchors.rightMargin: 12; text: modelData.v; color: Theme.highlight; font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall; anchors.verticalCenter: parent.verticalCenter }
            Rectangle { visible: list.columns > 1; anchors.right: parent.right; width: 1; height: parent.height; color: Theme.border }
        }
    }
}
