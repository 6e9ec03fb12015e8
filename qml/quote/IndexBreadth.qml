import QtQuick 2.15
import "../common"

// Rise and fall counts of the index's market, by band of change ("url.market_total").
Rectangle {
    id: panel
    objectName: "indexBreadth"
    property var items: []
    property int up: 0
    property int down: 0
    property int maxCount: 1

    color: Theme.panelBackground
    height: 40 + bands.height

    function setItems(list) {
        var bandsList = [], u = 0, d = 0, m = 1;
        for (var i = 0; i < list.length; ++i) {
            var it = list[i];
            if (it.section === "up_counts")
                u = it.count;
            else if (it.section === "down_counts")
                d = it.count;
            else {
                bandsList.push(it);
                m = Math.max(m, it.count);
            }
        }
        up = u; down = d; maxCount = m; items = bandsList;
    }

    Row {
        x: 10
        y: 8
        spacing: 16
        Text { text: "上涨 " + panel.up; color: Theme.rise; font.family: Theme.fontFamily; font.pixelSize: Theme.fontNormal }
        Text { text: "下跌 " + panel.down; color: Theme.fall; font.family: Theme.fontFamily; font.pixelSize: Theme.fontNormal }
    }
    Column {
        id: bands
        x: 10
        y: 32
        width: parent.width - 20
        spacing: 2
        Repeater {
            model: panel.items
            Item {
                width: bands.width
                height: 16
                Text {
                    width: 44
                    text: modelData.section
                    color: Theme.textDim
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Rectangle {
                    x: 48
                    y: 3
                    height: 10
                    width: Math.max(1, (parent.width - 100) * modelData.count / panel.maxCount)
                    color: modelData.type > 0 ? Theme.rise : (modelData.type < 0 ? Theme.fall : Theme.flat)
                }
                Text {
                    anchors.right: parent.right
                    text: modelData.count
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
        }
    }
}
