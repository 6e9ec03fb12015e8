import QtQuick 2.15
import HUtil 1.0
import "../../common"

// The five-level book: five asks (level 5 at the top) above five bids.
Column {
    id: book
    property var price: null  // a PriceModel
    HUtil { id: util }

    function levelRow(tags, prices, vols, i) {
        return { "tag": tags[i], "price": prices[i], "vol": vols[i] };
    }

    Repeater {
        model: 10
        Item {
            readonly property bool ask: index < 5
            readonly property int level: ask ? index : index - 5
            readonly property var p: book.price
            readonly property real levelPrice: p ? (ask ? p.sell_price[level] : p.buy_price[level]) : 0
            readonly property real levelVol: p ? (ask ? p.sell_vol[level] : p.buy_vol[level]) : 0
            objectName: "bookLevel_" + index
            width: book.width
            height: Theme.panelRowHeight
            Rectangle {
                visible: index === 5
                width: parent.width
                height: 1
                color: Theme.border
            }
            Text {
                x: 8
                anchors.verticalCenter: parent.verticalCenter
                text: p ? (ask ? p.sell_tag[level] : p.buy_tag[level]) : ""
                color: Theme.panelLabel
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
            Text {
                objectName: "bookPrice"
                anchors.right: parent.horizontalCenter
                anchors.rightMargin: -30
                anchors.verticalCenter: parent.verticalCenter
                text: p ? util.formatPrice(levelPrice, p.decimal) : "-"
                color: p ? util.getPriceColor(levelPrice, p.pre_close) : Theme.flat
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
            Text {
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: util.formatVol(levelVol)
                color: Theme.volume
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
        }
    }
}
