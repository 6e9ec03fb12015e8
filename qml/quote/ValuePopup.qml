import QtQuick 2.15
import "../common"

// The values of the bar under the crosshair, in the main chart's top left corner while the
// crosshair is shown.
Rectangle {
    id: popup
    property var chart: null
    property bool shown: false
    property var rows: []

    visible: shown && rows.length > 0
    width: 128
    height: column.height + 8
    color: "#E0101216"
    border.width: 1
    border.color: Theme.border

    function fixed(v, decimals) {
        return v === undefined || v === null || !isFinite(v) || Math.abs(v) > 1e30 ? "-" : v.toFixed(decimals);
    }

    function priceColor(v, base) {
        if (!isFinite(v) || !isFinite(base) || Math.abs(v) > 1e30 || Math.abs(base) > 1e30 || v === base)
            return Theme.flat;
        return v > base ? Theme.rise : Theme.fall;
    }

    function volumeText(v) {
        if (!isFinite(v) || Math.abs(v) > 1e30)
            return "-";
        if (v >= 100000000)
            return (v / 100000000).toFixed(2) + "亿";
        if (v >= 10000)
            return (v / 10000).toFixed(2) + "万";
        return v.toFixed(0);
    }

    function refresh() {
        if (!chart || !shown || chart.getFirstKLineSize() === 0) {
            rows = [];
            return;
        }
        var pos = chart.getCrosshairPos();
        if (pos < 0 || pos >= chart.getFirstKLineSize())
            pos = chart.getFirstKLineSize() - 1;
        var d = Math.max(chart.getDecimal(), 2);
        var pre = chart.getPosDataF(pos, "p_close");
        var close = chart.getPosDataF(pos, "close");
        var when = chart.getPosDataS(pos, "time");
        var minute = chart.getLineType() === "mline";
        var list = [{ "k": minute ? "时间" : "日期", "v": minute ? when.slice(-8, -3) : when.slice(0, 10), "c": Theme.text }];
        if (!minute) {
            list.push({ "k": "开盘", "v": fixed(chart.getPosDataF(pos, "open"), d), "c": priceColor(chart.getPosDataF(pos, "open"), pre) });
            list.push({ "k": "最高", "v": fixed(chart.getPosDataF(pos, "high"), d), "c": priceColor(chart.getPosDataF(pos, "high"), pre) });
            list.push({ "k": "最低", "v": fixed(chart.getPosDataF(pos, "low"), d), "c": priceColor(chart.getPosDataF(pos, "low"), pre) });
        }
        list.push({ "k": minute ? "价格" : "收盘", "v": fixed(close, d), "c": priceColor(close, pre) });
        if (minute)
            list.push({ "k": "均价", "v": fixed(chart.getPosDataF(pos, "avg_price"), d), "c": priceColor(chart.getPosDataF(pos, "avg_price"), pre) });
        var change = close - pre;
        list.push({ "k": "涨跌", "v": fixed(change, d), "c": priceColor(close, pre) });
        list.push({ "k": "涨幅", "v": pre > 0 ? fixed(change / pre * 100, 2) + "%" : "-", "c": priceColor(close, pre) });
        list.push({ "k": "成交量", "v": volumeText(chart.getPosDataF(pos, "vol")), "c": Theme.highlight });
        list.push({ "k": "成交额", "v": volumeText(chart.getPosDataF(pos, "sum")), "c": Theme.highlight });
        rows = list;
        // Inside the plot, below the title strip, on the side away from the crosshair.
        var left = 62, right = chart.width - 62 - width;
        x = chart.getMousePosX() < chart.width / 2 ? right : left;
    }

    Column {
        id: column
        x: 6
        y: 4
        width: popup.width - 12
        Repeater {
            model: popup.rows
            Item {
                width: column.width
                height: 18
                Text {
                    text: modelData.k
                    color: Theme.textDim
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.v
                    color: modelData.c
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
        }
    }
}
