import QtQuick 2.15
import MQModel 1.0
import QStockTipModel 1.0
import QStockTipView 1.0
import "common"
import "monitor"
import "quote"
import "table"

// The short-term alert monitor: the whole market's live alerts ("短线精灵"), four live
// rankings of the market (the day's and the last five minutes' gainers and losers) and two
// small charts of the selected security. The alert list covers the whole market or only the
// selected security. Hidden, the charts and the alert subscription are cancelled (the
// rankings cancel their own); shown again, everything is asked for anew.
FocusScope {
    id: view
    objectName: "hotMonitor"

    readonly property int marketBlock: 1110
    // 0: "全市场", 1: "当前个股"
    property int scope: 0
    property var selected: null  // {code, market, name}
    readonly property alias tipModel: tipModel
    readonly property alias tipView: tipView
    property var query_map: ({})

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    readonly property var rankings: [
        ["当日涨幅排名", 34, 0, 5],
        ["当日跌幅排名", 34, 1, 5],
        ["5分钟涨幅排名", 36, 0, 6],
        ["5分钟跌幅排名", 36, 1, 6]
    ]

    function setQuery(query) {
        query_map = query || {};
    }
    function updateQuery(query) {
        setQuery(query);
    }

    function rankingAt(i) {
        return rankingGrid.itemAt(i).table;
    }

    function alertPageSize() {
        return Math.max(1, Math.floor(tipView.height / tipView.getRowHeight()));
    }

    // Asks for the alerts of the current scope; the list starts over.
    function requestAlerts() {
        if (!visible)
            return;
        if (scope === 1) {
            if (!selected) {
                tipSource.cancelStockTip();
                tipModel.clearData();
                return;
            }
            tipSource.getStockTipData(String(selected.code), Number(selected.market), alertPageSize());
        } else {
            tipSource.getStockTipData(marketBlock, alertPageSize());
        }
    }

    function setScope(s) {
        if (s === scope)
            return;
        scope = s;
        tipModel.clearData();
        requestAlerts();
    }

    function showSecurity(info) {
        if (!info || info.code === undefined)
            return;
        selected = { "code": info.code, "market": info.market, "name": info.name };
        for (var i = 0; i < 2; ++i)
            panels.itemAt(i).show(selected);
        if (scope === 1) {
            tipModel.clearData();
            requestAlerts();
        }
    }

    function openAlert(row) {
        if (row < 0 || row >= tipModel.count)
            return;
        changeToMQView({ "code": tipModel.getItem(row, tipModel.getRole("code")),
                         "market": tipModel.getItem(row, tipModel.getRole("market")),
                         "name": tipModel.getItem(row, tipModel.getRole("name")) });
    }

    onVisibleChanged: {
        for (var i = 0; i < panels.count; ++i) {
            var panel = panels.itemAt(i);
            if (!panel)
                continue;
            if (visible)
                panel.redraw();
            else
                panel.stop();
        }
        if (visible)
            requestAlerts();
        else
            tipSource.cancelStockTip();
    }

    Component.onCompleted: {
        tipModel.bindDataSignal(tipSource);
        tipView.setModel(tipModel);
        for (var i = 0; i < rankings.length; ++i)
            rankingAt(i).showBlock(marketBlock, rankings[i][1], rankings[i][2]);
        requestAlerts();
    }

    MQModel { id: tipSource }
    QStockTipModel { id: tipModel }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    // Four rankings, two by two.
    Grid {
        id: rankingArea
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.min(Math.max(640, parent.width * 0.48), 860)
        columns: 2
        spacing: 1
        Repeater {
            id: rankingGrid
            model: view.rankings
            Column {
                readonly property alias table: ranking
                width: (rankingArea.width - 1) / 2
                height: (rankingArea.height - 1) / 2
                SectionTitle {
                    width: parent.width
                    text: modelData[0]
                }
                RankingTable {
                    id: ranking
                    objectName: "hotRanking_" + index
                    width: parent.width
                    height: parent.height - Theme.chartTitleHeight - 4
                    headerMode: modelData[3]
                    selectFirstRow: index === 0
                    columnWidths: {
                        // The five columns share the width: number, code, name, price, gain.
                        var w = width - 5;
                        return [Math.floor(w * 0.12), Math.floor(w * 0.2), Math.floor(w * 0.26),
                                Math.floor(w * 0.2), w - Math.floor(w * 0.12) - Math.floor(w * 0.2)
                                - Math.floor(w * 0.26) - Math.floor(w * 0.2)];
                    }
                    pageChange: true
                    onRowClicked: view.showSecurity(codeInfo)
                    onChangeToMQView: view.changeToMQView(codeInfo)
                    onChangeToTabView: view.changeToTabView(title, url)
                }
            }
        }
    }

    // The alert list.
    Column {
        id: alertArea
        anchors.left: rankingArea.right
        anchors.leftMargin: 1
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.max(300, Math.min(380, view.width * 0.22))
        SectionTitle {
            width: parent.width
            text: "短线精灵"
            ChoiceButton {
                objectName: "scopeMarket"
                text: "全市场"
                height: 20
                marked: view.scope === 0
                onClicked: view.setScope(0)
            }
            ChoiceButton {
                objectName: "scopeSecurity"
                text: "当前个股"
                height: 20
                marked: view.scope === 1
                onClicked: view.setScope(1)
            }
        }
        QStockTipView {
            id: tipView
            objectName: "tipView"
            width: parent.width
            height: parent.height - Theme.chartTitleHeight - 4
            onHeightChanged: if (view.visible) alertResize.restart()
            Component.onCompleted: {
                setStyle(0);
                setRowHeight(24);
            }
            MouseArea {
                anchors.fill: parent
                onClicked: {
                    var row = tipView.rowAt(mouse.y);
                    if (row >= 0)
                        tipModel.selectIndex = row;
                }
                onDoubleClicked: view.openAlert(tipView.rowAt(mouse.y))
                onWheel: tipView.scrollBy(wheel.angleDelta.y > 0 ? -3 : 3)
            }
            Text {
                anchors.centerIn: parent
                visible: tipModel.count === 0
                text: view.scope === 1 && !view.selected ? "请先选择个股" : "暂无异动"
                color: Theme.textMuted
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
        }
        Timer {
            // A new height asks for a page of that height once the resize settles.
            id: alertResize
            interval: 200
            onTriggered: view.requestAlerts()
        }
    }

    // Two charts of the selected security.
    Column {
        anchors.left: alertArea.right
        anchors.leftMargin: 1
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        spacing: 1
        Repeater {
            id: panels
            model: 2
            SecurityChartPanel {
                objectName: "hotPanel_" + index
                width: parent.width
                height: (parent.height - 1) / 2
                cycle: index === 0 ? 32 : 33
            }
        }
    }
}
