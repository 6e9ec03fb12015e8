import QtQuick 2.15
import "../common"

// Cycle resonance: the same security in nine small charts, the minute chart and every K-line
// cycle, three rows of three.
Rectangle {
    id: grid
    objectName: "resonanceGrid"
    property var panels: []
    // The K-line panels' indicators: {main, sub}.
    property var indicators: ({ "main": "MA", "sub": "VOL" })
    readonly property var kinds: [
        { "title": "分时线", "cycle": 0 }, { "title": "日线", "cycle": 33 }, { "title": "1分钟", "cycle": 34 },
        { "title": "5分钟", "cycle": 35 }, { "title": "15分钟", "cycle": 36 }, { "title": "30分钟", "cycle": 37 },
        { "title": "60分钟", "cycle": 38 }, { "title": "周线", "cycle": 39 }, { "title": "月线", "cycle": 40 }
    ]

    color: Theme.border

    Grid {
        id: layout
        anchors.fill: parent
        columns: 3
        rows: 3
        spacing: 1
        Repeater {
            id: repeater
            model: grid.kinds
            ChartPanel {
                objectName: "resonancePanel_" + index
                width: (layout.width - 2) / 3
                height: (layout.height - 2) / 3
                title: modelData.title
                showNumber: 60
                onClicked: grid.select(panel)
            }
        }
    }

    function panelAt(i) {
        return repeater.itemAt(i);
    }

    function select(panel) {
        for (var i = 0; i < repeater.count; ++i)
            repeater.itemAt(i).selected = repeater.itemAt(i) === panel;
    }

    // Applies the formulas, then asks every panel for the security's data.
    function show(code, market, ind) {
        indicators = ind;
        for (var i = 0; i < repeater.count; ++i) {
            var p = repeater.itemAt(i);
            if (kinds[i].cycle === 0) {
                p.setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
                p.showMinute(code, market);
            } else {
                p.setFormulas("KLINE", "KSCALES", "KCROSSHAIR", ind.main, ind.sub);
                p.showKLine(code, market, kinds[i].cycle);
            }
        }
    }

    function stop() {
        for (var i = 0; i < repeater.count; ++i)
            repeater.itemAt(i).stop();
    }
}
