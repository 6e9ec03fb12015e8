import QtQuick 2.15
import HUtil 1.0
import PriceModel 1.0
import "../../common"
import "../../js/http.js" as Http
import "../../js/market_breadth.js" as Breadth
import "../../js/quote_query.js" as Query
import ".."

// The right-hand column of an index's quote view: header, the index's quote information and
// the market breadth of the whole market and of the index's own exchange, fetched from
// "url.market_total" at once and every 5 s while the panel is shown. When the service fails the
// panel keeps the figures it has and says since when they stand.
Rectangle {
    id: panel
    objectName: "indexPanel"
    property var mqModel: null
    property string code: ""
    property int market: 0
    property string name: ""
    // The breadth service; empty when the server offers none.
    property string breadthUrl: ""
    property int interval: 5000
    readonly property alias priceModel: price
    readonly property string secondTag: Query.statsTag(code, market)
    // The last document the service answered with, and when.
    property var document: null
    property string updatedAt: ""
    property bool failed: false
    property bool busy: false
    property int generation: 0
    property bool infoFolded: false

    color: Theme.chartBackground
    clip: true
    implicitHeight: blocks.height

    PriceModel { id: price }
    HUtil { id: util }

    onMqModelChanged: if (mqModel) price.bindDataSignal(mqModel)
    onCodeChanged: restart()
    onMarketChanged: restart()
    onBreadthUrlChanged: restart()
    onVisibleChanged: if (visible) fetch()

    // Another index keeps the whole-market figures until the new answer; a stale answer of an
    // earlier request is dropped.
    function restart() {
        generation += 1;
        busy = false;
        if (visible)
            fetch();
    }

    function fetch() {
        if (breadthUrl === "" || busy)
            return;
        busy = true;
        var asked = generation;
        Http.getData(breadthUrl, {}, { "Content-Type": "application/json" }, function(ok, value, notJson) {
            if (asked !== generation)
                return;
            busy = false;
            if (ok && !notJson && Breadth.usable(value)) {
                document = value;
                failed = false;
                updatedAt = Qt.formatTime(new Date(), "hh:mm:ss");
            } else {
                failed = true;
            }
        }, Math.max(1000, interval - 500));
    }

    Timer {
        id: poll
        objectName: "breadthTimer"
        interval: panel.interval
        repeat: true
        running: panel.visible && panel.breadthUrl !== ""
        onTriggered: panel.fetch()
    }

    function fmtPrice(v) { return util.formatPrice(v, Math.max(price.decimal, 2)); }
    function colorOf(v, ref) { return util.getPriceColor(v, ref); }
    readonly property bool hasMembers: price.rise_count + price.fall_count + price.flat_count > 0
    function countText(n) { return hasMembers ? String(n) : "--"; }

    Column {
        id: blocks
        width: parent.width

        Item {
            width: parent.width
            height: 30
            Row {
                x: 8
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6
                Text {
                    objectName: "indexName"
                    text: price.name !== "" ? price.name : panel.name
                    color: Theme.highlight
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontLarge
                    font.bold: true
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: price.code !== "" ? price.code : panel.code
                    color: Theme.highlight
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
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
                    objectName: "indexLatest"
                    text: panel.fmtPrice(price.close)
                    color: panel.colorOf(price.close, price.pre_close)
                    font.family: Theme.fontFamily
                    font.pixelSize: 20
                    font.bold: true
                }
                Text {
                    anchors.baseline: latest.baseline
                    text: util.formatFixed(price.rf_value, Math.max(price.decimal, 2))
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

        Item {
            width: parent.width
            height: Theme.panelRowHeight
            PanelTitle { anchors.fill: parent; title: "行情信息" }
            Text {
                objectName: "infoFold"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: panel.infoFolded ? "▸" : "▾"
                color: Theme.textDim
                font.pixelSize: Theme.fontNormal
            }
            MouseArea { anchors.fill: parent; onClicked: panel.infoFolded = !panel.infoFolded }
        }
        Grid {
            id: info
            objectName: "indexInfo"
            x: 8
            width: parent.width - 16
            visible: !panel.infoFolded
            columns: 2
            columnSpacing: 16
            readonly property real cellWidth: (width - columnSpacing) / 2
            Repeater {
                model: [
                    ["开盘价", panel.fmtPrice(price.open), panel.colorOf(price.open, price.pre_close)],
                    ["昨收价", panel.fmtPrice(price.pre_close), Theme.flat],
                    ["最高价", panel.fmtPrice(price.high), panel.colorOf(price.high, price.pre_close)],
                    ["最低价", panel.fmtPrice(price.low), panel.colorOf(price.low, price.pre_close)],
                    ["成交量", util.formatVol(price.vol), Theme.volume],
                    ["成交额", util.formatVol(price.sum), Theme.turnover],
                    ["上涨家数", panel.countText(price.rise_count), Theme.rise],
                    ["下跌家数", panel.countText(price.fall_count), Theme.fall],
                    ["平盘家数", panel.countText(price.flat_count), Theme.flat],
                    ["换手率", util.formatPrice(price.swap * 100, 2) + "%", Theme.panelLabel]
                ]
                PanelLine {
                    objectName: "indexInfo_" + modelData[0]
                    width: info.cellWidth
                    label: modelData[0]
                    value: modelData[1]
                    valueColor: modelData[2]
                }
            }
        }
        Text {
            objectName: "noMembers"
            x: 8
            height: visible ? 20 : 0
            visible: !panel.infoFolded && price.code !== "" && !panel.hasMembers
            verticalAlignment: Text.AlignVCenter
            text: "该指数暂无成分股涨跌统计"
            color: Theme.textMuted
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }

        PanelTitle { width: parent.width; title: "涨跌分布" }
        Text {
            objectName: "breadthStatus"
            x: 8
            width: parent.width - 16
            height: visible ? 20 : 0
            visible: panel.failed || panel.breadthUrl === ""
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: panel.breadthUrl === "" ? "服务器未提供涨跌分布服务"
                  : (panel.updatedAt !== "" ? "更新失败，显示" + panel.updatedAt + "的数据"
                                            : "涨跌分布数据请求失败")
            color: Theme.highlight
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
        IndexBreadth {
            id: whole
            objectName: "breadthWhole"
            width: parent.width
            height: implicitHeight
            title: "沪深"
            list: panel.document ? panel.document.HS : []
        }
        IndexBreadth {
            id: own
            objectName: "breadthOwn"
            width: parent.width
            height: implicitHeight
            visible: panel.secondTag !== "HS"
            title: ({ "SH": "沪市", "SZ": "深市", "CY": "创业板" })[panel.secondTag] || ""
            list: panel.document ? panel.document[panel.secondTag] : []
        }
    }
}
