import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQml 2.15
import "../common"
import "../main"

// One small chart of one security under a title strip: the name and code on the left and,
// unless `cycleButtons` is off, the cycle buttons "分时", "日线" and a third one holding the
// further cycles ("周线" until another is chosen). The panel remembers its security and cycle,
// so a screen coming back into sight redraws it with `redraw()`; without a security it shows
// nothing and asks for nothing.
Column {
    id: root

    property var security: null          // {code, market, name[, timestamp]}
    property int cycle: 32
    property int furtherCycle: 39
    property bool cycleButtons: true
    property string emptyText: ""
    readonly property alias chart: chart
    // Items shown at the right end of the title strip in place of the cycle buttons.
    property alias titleTools: toolSlot.data

    readonly property var moreChoices: [
        ["1分", 34], ["5分", 35], ["15分", 36], ["30分", 37], ["60分", 38], ["周线", 39], ["月线", 40]
    ]

    function nameOfCycle(c) {
        for (var i = 0; i < moreChoices.length; ++i)
            if (moreChoices[i][1] === c)
                return moreChoices[i][0];
        return "";
    }

    function valid(info) {
        return info && info.code !== undefined && String(info.code).length > 0;
    }

    // Shows `info` in the current cycle.
    function show(info) {
        if (!valid(info)) {
            clear();
            return;
        }
        security = info;
        redraw();
    }

    function redraw() {
        if (!valid(security))
            return;
        var code = String(security.code);
        var market = Number(security.market);
        if (cycle === 32) {
            chart.setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
            if (security.timestamp !== undefined && Number(security.timestamp) > 0)
                chart.showHistoryMinute(code, market, Number(security.timestamp));
            else
                chart.showMinute(code, market);
        } else {
            chart.setFormulas("KLINE", "KSCALES", "KCROSSHAIR", "MA", "VOL");
            chart.showKLine(code, market, cycle);
        }
    }

    function setCycle(c) {
        cycle = c;
        if (c !== 32 && c !== 33)
            furtherCycle = c;
        redraw();
    }

    // Stops the panel's requests; what it shows stays.
    function stop() {
        chart.stop();
    }

    // Stops and forgets the security: the panel goes blank.
    function clear() {
        chart.stop();
        security = null;
    }

    Rectangle {
        width: root.width
        height: Theme.chartTitleHeight
        color: Theme.headerBackground
        Text {
            objectName: "panelTitle"
            x: 6
            anchors.verticalCenter: parent.verticalCenter
            width: (root.cycleButtons ? cycleRow.x : toolSlot.x) - x - 6
            elide: Text.ElideRight
            text: root.valid(root.security) ? root.security.name + "(" + root.security.code + ")" : ""
            color: Theme.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
        Row {
            id: toolSlot
            visible: !root.cycleButtons
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
        }
        Row {
            id: cycleRow
            visible: root.cycleButtons
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            Repeater {
                model: [["分时", 32], ["日线", 33]]
                Text {
                    objectName: "cycleButton_" + modelData[1]
                    text: modelData[0]
                    color: root.cycle === modelData[1] ? Theme.highlight : Theme.textDim
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                    MouseArea {
                        anchors.fill: parent
                        anchors.margins: -3
                        onClicked: root.setCycle(modelData[1])
                    }
                }
            }
            Text {
                id: further
                objectName: "cycleMore"
                text: root.nameOfCycle(root.furtherCycle) + " ▾"
                color: root.cycle === root.furtherCycle ? Theme.highlight : Theme.textDim
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -3
                    // The label shows its cycle; the arrow offers the others.
                    onClicked: {
                        if (mouse.x > further.width - 12)
                            choices.popup(further, 0, further.height + 4);
                        else
                            root.setCycle(root.furtherCycle);
                    }
                }
                DropMenu {
                    id: choices
                    Instantiator {
                        model: root.moreChoices
                        delegate: MenuEntry {
                            text: modelData[0]
                            implicitWidth: 90
                            onTriggered: root.setCycle(modelData[1])
                        }
                        onObjectAdded: choices.insertItem(index, object)
                        onObjectRemoved: choices.removeItem(object)
                    }
                }
            }
        }
    }
    Item {
        width: root.width
        height: root.height - Theme.chartTitleHeight
        ChartPanel {
            id: chart
            objectName: "panelChart"
            anchors.fill: parent
            showNumber: 60
            visible: root.valid(root.security)
        }
        Rectangle {
            anchors.fill: parent
            visible: !chart.visible
            color: Theme.chartBackground
            Text {
                anchors.centerIn: parent
                text: root.emptyText
                color: Theme.textMuted
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
        }
    }
}
