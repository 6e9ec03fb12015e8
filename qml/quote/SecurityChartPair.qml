import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQml 2.15
import "../common"
import "../main"

// Two small charts stacked beside a quote list: panel 1 the selected security, panel 2 the
// index of its market. Each panel has a title (name and code) and its own cycle buttons:
// "分时", "日线" and a third button holding the further cycles, "周线" until another is chosen.
Column {
    id: pair
    objectName: "securityChartPair"

    property var panelCodes: [null, null]  // {code, market, name[, timestamp]} per panel
    property var panelCycles: [32, 32]
    property var furtherCycles: [39, 39]   // the cycle the third button of each panel stands for

    readonly property var moreChoices: [
        ["1分", 34], ["5分", 35], ["15分", 36], ["30分", 37], ["60分", 38], ["周线", 39], ["月线", 40]
    ]

    spacing: 1

    function nameOfCycle(cycle) {
        for (var i = 0; i < moreChoices.length; ++i)
            if (moreChoices[i][1] === cycle)
                return moreChoices[i][0];
        return "";
    }

    // Shanghai's composite for a security of market 1 (and any unknown market), Shenzhen's
    // component index for market 2.
    function indexOf(market) {
        return Number(market) === 2 ? { "code": "399001", "market": 2, "name": "深证成指" }
                                    : { "code": "1A0001", "market": 1, "name": "上证指数" };
    }

    // The chart panel of slot `i`; null until the slots are made.
    function panelAt(i) {
        var slot = panels.itemAt(i);
        return slot ? slot.panel : null;
    }

    function showPanel(i, info) {
        var codes = panelCodes.slice();
        codes[i] = info;
        panelCodes = codes;
        var p = panelAt(i);
        if (!p)
            return;
        var cycle = panelCycles[i];
        if (cycle === 32) {
            p.setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
            if (info.timestamp !== undefined && Number(info.timestamp) > 0)
                p.showHistoryMinute(info.code, Number(info.market), Number(info.timestamp));
            else
                p.showMinute(info.code, Number(info.market));
        } else {
            p.setFormulas("KLINE", "KSCALES", "KCROSSHAIR", "MA", "VOL");
            p.showKLine(info.code, Number(info.market), cycle);
        }
    }

    // The security in panel 1, its market's index in panel 2.
    function showSecurity(info) {
        if (!info || info.code === undefined || String(info.code).length === 0)
            return;
        showPanel(0, info);
        showPanel(1, indexOf(info.market));
    }

    function setCycle(i, cycle) {
        var c = panelCycles.slice();
        c[i] = cycle;
        panelCycles = c;
        if (cycle !== 32 && cycle !== 33) {
            var f = furtherCycles.slice();
            f[i] = cycle;
            furtherCycles = f;
        }
        if (panelCodes[i])
            showPanel(i, panelCodes[i]);
    }

    // Stops both panels' requests; `forget` also clears what they show and their titles.
    function stop(forget) {
        for (var i = 0; i < 2; ++i)
            if (panelAt(i))
                panelAt(i).stop();
        if (forget)
            panelCodes = [null, null];
    }

    Repeater {
        id: panels
        model: 2
        Column {
            id: slotColumn
            readonly property int slot: index
            readonly property var panel: chart
            width: pair.width
            height: (pair.height - 1) / 2
            Rectangle {
                width: parent.width
                height: Theme.chartTitleHeight
                color: Theme.headerBackground
                Text {
                    x: 6
                    anchors.verticalCenter: parent.verticalCenter
                    objectName: "panelTitle_" + slotColumn.slot
                    text: pair.panelCodes[slotColumn.slot]
                          ? pair.panelCodes[slotColumn.slot].name + "(" + pair.panelCodes[slotColumn.slot].code + ")"
                          : ""
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Row {
                    anchors.right: parent.right
                    anchors.rightMargin: 4
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 8
                    Repeater {
                        model: [["分时", 32], ["日线", 33]]
                        Text {
                            objectName: "cycleButton_" + slotColumn.slot + "_" + modelData[1]
                            text: modelData[0]
                            color: pair.panelCycles[slotColumn.slot] === modelData[1] ? Theme.highlight
                                                                                     : Theme.textDim
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontSmall
                            MouseArea {
                                anchors.fill: parent
                                anchors.margins: -3
                                onClicked: pair.setCycle(slotColumn.slot, modelData[1])
                            }
                        }
                    }
                    Text {
                        id: further
                        objectName: "cycleMore_" + slotColumn.slot
                        readonly property int cycle: pair.furtherCycles[slotColumn.slot]
                        text: pair.nameOfCycle(cycle) + " ▾"
                        color: pair.panelCycles[slotColumn.slot] === cycle ? Theme.highlight : Theme.textDim
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                        MouseArea {
                            anchors.fill: parent
                            anchors.margins: -3
                            // The label shows the cycle; the arrow offers the others.
                            onClicked: {
                                if (mouse.x > further.width - 12)
                                    choices.popup(further, 0, further.height + 4);
                                else
                                    pair.setCycle(slotColumn.slot, further.cycle);
                            }
                        }
                        DropMenu {
                            id: choices
                            objectName: "cycleChoices_" + slotColumn.slot
                            Instantiator {
                                model: pair.moreChoices
                                delegate: MenuEntry {
                                    text: modelData[0]
                                    implicitWidth: 90
                                    onTriggered: pair.setCycle(slotColumn.slot, modelData[1])
                                }
                                onObjectAdded: choices.insertItem(index, object)
                                onObjectRemoved: choices.removeItem(object)
                            }
                        }
                    }
                }
            }
            ChartPanel {
                id: chart
                objectName: "securityChart_" + slotColumn.slot
                width: parent.width
                height: parent.height - Theme.chartTitleHeight
                showNumber: 60
            }
        }
    }
}
