import QtQuick 2.15
import IndexSectionCountModel 1.0
import "../common"
import "../js/home.js" as Home
import "../js/http.js" as Http

// Rise and fall counts by band of change for four markets side by side, from the market
// breadth document, refreshed every five seconds while shown. A failed refresh keeps the
// last figures and says so.
Item {
    id: breadth
    objectName: "breadthLists"
    // The address of the breadth document ("url.market_total").
    property string url: ""
    property bool active: false
    property bool loaded: false
    property bool stale: false
    // Answers taken (the tests wait on it).
    property int loadCount: 0
    property var totals: [[0, 0], [0, 0], [0, 0], [0, 0]]
    readonly property var models: [hs, sh, sz, cy]

    IndexSectionCountModel { id: hs }
    IndexSectionCountModel { id: sh }
    IndexSectionCountModel { id: sz }
    IndexSectionCountModel { id: cy }

    function totalsOf(items) {
        var up = 0, down = 0;
        for (var i = 0; items && i < items.length; ++i) {
            if (items[i].section === "up_counts")
                up = Number(items[i].count) || 0;
            else if (items[i].section === "down_counts")
                down = Number(items[i].count) || 0;
        }
        return [up, down];
    }

    function take(doc) {
        var sums = [];
        for (var i = 0; i < Home.kBreadthMarkets.length; ++i) {
            var items = doc[Home.kBreadthMarkets[i].member];
            var list = Array.isArray(items) ? items : [];
            models[i].setSections(list);
            sums.push(totalsOf(list));
        }
        totals = sums;
        loaded = true;
        stale = false;
    }

    function fetch() {
        if (url.length === 0)
            return;
        Http.getData(url, {}, { "Content-Type": "application/json" }, function(ok, json, notJson) {
            if (ok && !notJson && json && typeof json === "object" && !Array.isArray(json))
                breadth.take(json);
            else
                breadth.stale = true;
            breadth.loadCount += 1;
        });
    }

    onActiveChanged: if (active) fetch()
    Timer {
        interval: 5000
        repeat: true
        running: breadth.active && breadth.url.length > 0
        onTriggered: breadth.fetch()
    }

    Row {
        anchors.fill: parent
        anchors.margins: 6
        spacing: 8
        Repeater {
            model: Home.kBreadthMarkets.length
            Item {
                id: column
                objectName: "breadthList_" + Home.kBreadthMarkets[index].member
                readonly property var source: breadth.models[index]
                width: (parent.width - 3 * 8) / 4
                height: parent.height
                Text {
                    id: head
                    text: Home.kBreadthMarkets[index].title
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                    font.bold: true
                }
                Row {
                    anchors.right: parent.right
                    anchors.verticalCenter: head.verticalCenter
                    spacing: 6
                    visible: breadth.loaded
                    Text {
                        text: "涨 " + breadth.totals[index][0]
                        color: Theme.rise
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                    }
                    Text {
                        text: "跌 " + breadth.totals[index][1]
                        color: Theme.fall
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                    }
                }
                ListView {
                    id: rows
                    anchors.top: head.bottom
                    anchors.topMargin: 4
                    anchors.bottom: parent.bottom
                    width: parent.width
                    interactive: false
                    visible: breadth.loaded
                    model: column.source
                    readonly property real rowHeight: Math.max(12, Math.min(20, height / Math.max(1, count)))
                    delegate: Item {
                        readonly property color tone: model.type > 0 ? Theme.rise : (model.type < 0 ? Theme.fall : Theme.flat)
                        width: rows.width
                        height: rows.rowHeight
                        Text {
                            id: nameText
                            width: 38
                            anchors.verticalCenter: parent.verticalCenter
                            text: model.name
                            elide: Text.ElideRight
                            color: "#92979D"
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontSmall
                        }
                        Text {
                            id: sectionText
                            x: 40
                            width: 36
                            anchors.verticalCenter: parent.verticalCenter
                            text: model.section
                            color: parent.tone
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontSmall
                        }
                        Rectangle {
                            x: 78
                            anchors.verticalCenter: parent.verticalCenter
                            height: Math.max(4, parent.height - 8)
                            width: Math.max(1, Math.round(model.ratio * (parent.width - 78 - 40)))
                            color: parent.tone
                        }
                        Text {
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            text: model.count
                            color: parent.tone
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontSmall
                        }
                    }
                }
            }
        }
    }
    Text {
        anchors.centerIn: parent
        visible: !breadth.loaded
        text: breadth.stale ? "涨跌分布暂不可用" : "加载中…"
        color: Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
}
