import QtQuick 2.15
import HUtil 1.0
import PriceModel 1.0
import QDetailedModel 1.0
import QMyStockService 1.0
import "../../common"
import "../../js/kvst.js" as Kvst
import "../../js/background_sync.js" as Sync

// The right-hand column of a stock's quote view: header, five-level book, quote information
// and the latest ticks, all live from the view's MQModel and coloured against the previous
// close. The view asks the MQModel for the snapshot (getPriceData) and the ticks
// (getDetailData); the panel only listens.
Rectangle {
    id: panel
    objectName: "quotePanel"
    property var mqModel: null
    // The security shown; a change clears the ticks of the previous one before the view's
    // new requests are answered.
    property string code: ""
    property int market: 0
    onCodeChanged: detail.clearData()
    onMarketChanged: detail.clearData()
    readonly property alias priceModel: price
    readonly property alias detailModel: detail
    signal showAllTicks(string route)
    signal mystockChange()

    color: Theme.chartBackground
    clip: true

    PriceModel { id: price }
    QDetailedModel { id: detail }
    HUtil { id: util }
    QMyStockService { id: mystock }

    onMqModelChanged: {
        detail.clearData();
        if (mqModel) {
            price.bindDataSignal(mqModel);
            detail.bindDataSignal(mqModel);
        }
    }

    property bool inWatchlist: false
    function refreshWatchlist() {
        inWatchlist = price.code !== "" && mystock.isExist(price.code, price.market);
    }
    Connections {
        target: price
        function onDataChanged() {
            if (price.code !== panel.shownCode) {
                panel.shownCode = price.code;
                panel.refreshWatchlist();
            }
        }
    }
    property string shownCode: ""

    function toggleWatchlist() {
        if (price.code === "")
            return;
        var db = Kvst.open();
        if (inWatchlist) {
            var group = mystock.getGroup(price.code, price.market);
            mystock.removeStock(price.code, price.market);
            if (group)
                Sync.queueWatchlistCommand(db, "DELETE", price.code, price.market,
                                           group.group_id, group.group_name);
        } else {
            mystock.addStock(0, price.code, price.market);
            var first = mystock.getJson().result;
            var g = first && first.length > 0 ? first[0] : {};
            Sync.queueWatchlistCommand(db, "ADD", price.code, price.market, g.group_id,
                                       g.group_name);
        }
        refreshWatchlist();
        mystockChange();
    }

    function fmtPrice(v) { return util.formatPrice(v, price.decimal); }
    function colorOf(v, ref) { return util.getPriceColor(v, ref); }

    Column {
        id: blocks
        width: parent.width

        // Header
        Item {
            width: parent.width
            height: 30
            Row {
                x: 8
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6
                Text {
                    objectName: "panelName"
                    text: price.name
                    color: Theme.highlight
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontLarge
                    font.bold: true
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: price.code
                    color: Theme.highlight
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Rectangle {
                    objectName: "marginMark"
                    visible: price.margin_trading
                    anchors.verticalCenter: parent.verticalCenter
                    width: 18; height: 18; radius: 2
                    color: Theme.marginMark
                    Text { anchors.centerIn: parent; text: "融"; color: Theme.text; font.pixelSize: 12; font.family: Theme.fontFamily }
                }
                Rectangle {
                    visible: price.market_name !== ""
                    anchors.verticalCenter: parent.verticalCenter
                    width: 18; height: 18; radius: 2
                    color: Theme.marketMark
                    Text { anchors.centerIn: parent; text: price.market_name; color: Theme.text; font.pixelSize: 12; font.family: Theme.fontFamily }
                }
            }
            Rectangle {
                objectName: "watchlistButton"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                width: 58; height: 20; radius: 2
                color: "transparent"
                border.color: Theme.border
                Text {
                    anchors.centerIn: parent
                    text: panel.inWatchlist ? "删自选" : "+自选"
                    color: Theme.accent
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                MouseArea { anchors.fill: parent; onClicked: panel.toggleWatchlist() }
            }
        }
        Item {
            width: parent.width
            height: 30
            Row {
                x: 8
                anchors.verticalCenter: parent.verticalCenter
                spacing: 14
                Text {
                    id: latest
                    objectName: "panelLatest"
                    text: panel.fmtPrice(price.close)
                    color: panel.colorOf(price.close, price.pre_close)
                    font.family: Theme.fontFamily
                    font.pixelSize: 20
                    font.bold: true
                }
                Text {
                    anchors.baseline: latest.baseline
                    text: util.formatFixed(price.rf_value, price.decimal)
                    color: panel.colorOf(price.rf_value, 0)
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Text {
                    anchors.baseline: latest.baseline
                    text: util.formatFixed(price.rf_rate * 100, 2) + "%"
                    color: panel.colorOf(price.rf_rate, 0)
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
            }
        }

        PanelTitle { width: parent.width; title: "五档盘口" }
        OrderBook { width: parent.width; price: price }

        PanelTitle { width: parent.width; title: "行情信息" }
        Grid {
            id: info
            x: 8
            width: parent.width - 16
            columns: 2
            columnSpacing: 16
            readonly property real cellWidth: (width - columnSpacing) / 2
            Repeater {
                model: [
                    ["开盘价", panel.fmtPrice(price.open), panel.colorOf(price.open, price.pre_close)],
                    ["昨收价", panel.fmtPrice(price.pre_close), Theme.flat],
                    ["最高价", panel.fmtPrice(price.high), panel.colorOf(price.high, price.pre_close)],
                    ["最低价", panel.fmtPrice(price.low), panel.colorOf(price.low, price.pre_close)],
                    ["平均价", panel.fmtPrice(price.avg_price), panel.colorOf(price.avg_price, price.pre_close)],
                    ["振幅", util.formatPrice(price.amplitude * 100, 2) + "%", panel.colorOf(price.amplitude, 0)],
                    ["成交量", util.formatVol(price.vol), Theme.volume],
                    ["成交额", util.formatVol(price.sum), Theme.turnover],
                    ["换手率", util.formatPrice(price.swap * 100, 2) + "%", Theme.panelLabel],
                    ["量比", util.formatPrice(price.vol_rate, 2), Theme.panelLabel],
                    ["外盘", util.formatVol(price.red_vol), Theme.rise],
                    ["内盘", util.formatVol(price.green_vol), Theme.fall],
                    ["涨停价", panel.fmtPrice(price.rise_limit), panel.colorOf(price.rise_limit, price.pre_close)],
                    ["跌停价", panel.fmtPrice(price.fall_limit), panel.colorOf(price.fall_limit, price.pre_close)],
                    ["总股本", util.formatVol(price.total_shares), Theme.panelLabel],
                    ["流通股", util.formatVol(price.float_shares), Theme.panelLabel],
                    ["总市值", util.formatVol(price.total_shares_sum), Theme.panelLabel],
                    ["流通值", util.formatVol(price.float_shares_sum), Theme.panelLabel],
                    ["市盈率", util.formatPrice(price.pe, 2), Theme.panelLabel],
                    ["每股净收", util.formatPrice(price.eps, 2), Theme.panelLabel]
                ]
                PanelLine {
                    objectName: "info_" + modelData[0]
                    width: info.cellWidth
                    label: modelData[0]
                    value: modelData[1]
                    valueColor: modelData[2]
                }
            }
        }

        Item {
            width: parent.width
            height: Theme.panelRowHeight
            PanelTitle { anchors.fill: parent; title: "分笔成交" }
            Text {
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: "全部>"
                color: Theme.accent
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
                MouseArea {
                    anchors.fill: parent
                    onClicked: panel.showAllTicks("app://curview/?#chart=detail")
                }
            }
        }
    }
    TickList {
        objectName: "panelTicks"
        anchors.top: blocks.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        ticks: detail
    }
}
