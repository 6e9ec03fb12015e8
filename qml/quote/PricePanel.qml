import QtQuick 2.15
import "../common"

// The side panel's price header: name, code, last price, change and change rate against the
// previous close, and the figures of the bars on screen. It reads them from the main chart on
// every data update, so it moves with the market.
Rectangle {
    id: panel
    objectName: "pricePanel"
    property string name: ""
    property string code: ""
    property bool isIndex: false
    property real last: NaN
    property real preClose: NaN
    property real high: NaN
    property real low: NaN
    property real open: NaN
    property real volume: NaN
    property real amount: NaN
    property int decimals: 2
    property string period: ""

    color: Theme.panelBackground
    height: column.height + 12

    function valid(v) {
        return v !== undefined && v !== null && isFinite(v) && Math.abs(v) < 1e30;
    }

    function clear() {
        last = NaN; preClose = NaN; high = NaN; low = NaN; open = NaN; volume = NaN; amount = NaN;
        period = "";
    }

    // Today's figures: over the minute bars of the minute chart, or from the newest bar of a
    // K-line chart (whose period the panel names).
    function refresh(chart) {
        var n = chart ? chart.getFirstKLineSize() : 0;
        if (n === 0) {
            clear();
            return;
        }
        // Stocks, funds and blocks all have at least two decimals.
        decimals = Math.max(chart.getDecimal(), 2);
        var lastBar = n - 1;
        last = chart.getPosDataF(lastBar, "close");
        if (chart.getLineType() === "mline") {
            preClose = chart.getPosDataF(0, "p_close");
            var hi = -Infinity, lo = Infinity, vol = 0, sum = 0;
            for (var i = 0; i < n; ++i) {
                var c = chart.getPosDataF(i, "close");
                if (!valid(c))
                    continue;
                hi = Math.max(hi, c);
                lo = Math.min(lo, c);
                var v = chart.getPosDataF(i, "vol"), s = chart.getPosDataF(i, "sum");
                if (valid(v)) vol += v;
                if (valid(s)) sum += s;
            }
            open = chart.getPosDataF(0, "close");
            high = hi; low = lo; volume = vol; amount = sum;
            period = "今日";
        } else {
            preClose = chart.getPosDataF(lastBar, "p_close");
            open = chart.getPosDataF(lastBar, "open");
            high = chart.getPosDataF(lastBar, "high");
            low = chart.getPosDataF(lastBar, "low");
            volume = chart.getPosDataF(lastBar, "vol");
            amount = chart.getPosDataF(lastBar, "sum");
            period = "本周期";
        }
    }

    function colorOf(v) {
        if (!valid(v) || !valid(preClose) || v === preClose)
            return Theme.flat;
        return v > preClose ? Theme.rise : Theme.fall;
    }

    function price(v) {
        return valid(v) ? v.toFixed(decimals) : "-";
    }

    function big(v) {
        if (!valid(v))
            return "-";
        if (v >= 100000000)
            return (v / 100000000).toFixed(2) + "亿";
        if (v >= 10000)
            return (v / 10000).toFixed(2) + "万";
        return v.toFixed(0);
    }

    readonly property real change: valid(last) && valid(preClose) ? last - preClose : NaN
    readonly property real changeRate: valid(change) && preClose > 0 ? change / preClose * 100 : NaN

    Column {
        id: column
        x: 10
        y: 6
        width: parent.width - 20
        spacing: 4
        Row {
            spacing: 10
            Text {
                objectName: "priceName"
                text: panel.name
                color: Theme.highlight
                font.family: Theme.fontFamily
                font.pixelSize: 18
                font.bold: true
            }
            Text {
                objectName: "priceCode"
                anchors.baseline: parent.children[0].baseline
                text: panel.code
                color: Theme.text
                font.family: Theme.fontFamily
                font.pixelSize: 14
            }
        }
        Row {
            spacing: 14
            Text {
                objectName: "priceLast"
                text: panel.price(panel.last)
                color: panel.colorOf(panel.last)
                font.family: Theme.fontFamily
                font.pixelSize: 24
                font.bold: true
            }
            Text {
                objectName: "priceChange"
                anchors.bottom: parent.children[0].bottom
                anchors.bottomMargin: 3
                text: panel.valid(panel.change) ? (panel.change > 0 ? "+" : "") + panel.change.toFixed(panel.decimals) : "-"
                color: panel.colorOf(panel.last)
                font.family: Theme.fontFamily
                font.pixelSize: 15
            }
            Text {
                objectName: "priceChangeRate"
                anchors.bottom: parent.children[0].bottom
                anchors.bottomMargin: 3
                text: panel.valid(panel.changeRate) ? (panel.changeRate > 0 ? "+" : "") + panel.changeRate.toFixed(2) + "%" : "-"
                color: panel.colorOf(panel.last)
                font.family: Theme.fontFamily
                font.pixelSize: 15
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.border }
        Grid {
            columns: 2
            columnSpacing: 0
            rowSpacing: 2
            width: parent.width
            Repeater {
                model: [
                    { "k": "昨收", "v": panel.price(panel.preClose), "c": Theme.flat },
                    { "k": panel.period === "今日" ? "开盘" : "开", "v": panel.price(panel.open), "c": panel.colorOf(panel.open) },
                    { "k": "最高", "v": panel.price(panel.high), "c": panel.colorOf(panel.high) },
                    { "k": "最低", "v": panel.price(panel.low), "c": panel.colorOf(panel.low) },
                    { "k": "成交量", "v": panel.big(panel.volume), "c": Theme.highlight },
                    { "k": "成交额", "v": panel.big(panel.amount), "c": Theme.highlight }
                ]
                Item {
                    width: column.width / 2
                    height: 20
                    Text {
                        x: 0
                        anchors.verticalCenter: parent.verticalCenter
                        text: modelData.k
                        color: Theme.textDim
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    Text {
                        anchors.right: parent.right
                        anchors.rightMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        text: modelData.v
                        color: modelData.c
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                }
            }
        }
        Text {
            text: panel.period === "" ? "" : "统计区间：" + panel.period
            color: Theme.textMuted
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
    }
}
