import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQml 2.15
import "../common"
import "../js/cycles.js" as Cycles

// The quote view's tool bar: the chart and cycle buttons on the left; on the right the main
// pane indicator, formula groups, ex-rights, overlays, interval statistics and hold mode.
Rectangle {
    id: bar
    property bool isIndex: false
    property string chartKind: "mline"
    property string currentKey: "mline_"
    property var mainNames: []
    property var groupNames: []
    property string mainIndicator: ""
    property bool hold: false
    // The chip-distribution pane beside a K-line chart.
    property bool chipShown: false
    signal routeClicked(var route)
    signal mainChosen(string name)
    signal groupChosen(string name)
    property string dividendCmd: ""
    signal dividendChosen(string cmd)
    signal overlayClicked()
    signal clearOverlaysClicked()
    signal intervalClicked()
    signal holdToggled(bool on)
    signal drawClicked()

    height: 30
    color: Theme.headerBackground

    // The fragment of a button's route as a query update.
    function routeQuery(b) {
        var q = { "chart": b.chart };
        if (b.cycle !== undefined)
            q.cycle = b.cycle;
        return q;
    }

    Row {
        id: buttons
        x: 4
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1
        Repeater {
            model: Cycles.buttons(bar.isIndex)
            ToolButtonFlat {
                objectName: "cycleButton_" + modelData.key
                text: modelData.sub && bar.currentKey === modelData.sub.key ? modelData.sub.label : modelData.label
                checked: bar.currentKey === modelData.key || (modelData.sub !== undefined && bar.currentKey === modelData.sub.key)
                hasMenu: modelData.sub !== undefined
                onClicked: bar.routeClicked(bar.routeQuery(modelData))
                onMenuClicked: subMenu.popup()
                Menu {
                    id: subMenu
                    palette.window: Theme.panelBackground
                    palette.windowText: Theme.text
                    palette.base: Theme.panelBackground
                    palette.text: Theme.text
                    palette.light: Theme.panelBackground
                    palette.highlight: Theme.selection
                    palette.highlightedText: Theme.highlight
                    MenuItem {
                        text: modelData.label
                        onTriggered: bar.routeClicked(bar.routeQuery(modelData))
                    }
                    MenuItem {
                        text: modelData.sub ? modelData.sub.label : ""
                        onTriggered: bar.routeClicked(bar.routeQuery(modelData.sub))
                    }
                }
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6
        visible: bar.chartKind === "kline" || bar.chartKind === "mline"

        ToolCombo {
            objectName: "mainIndicatorBox"
            visible: bar.chartKind === "kline"
            width: 132
            caption: "主图"
            model: ["KLINE"].concat(bar.mainNames.filter(function(n) { return n !== "KLINE"; }))
            currentIndex: Math.max(0, model.indexOf(bar.mainIndicator === "" ? "KLINE" : bar.mainIndicator))
            onActivated: bar.mainChosen(model[index])
        }
        ToolCombo {
            objectName: "groupBox"
            visible: bar.chartKind === "kline" && bar.groupNames.length > 0
            width: 150
            caption: "组合"
            model: bar.groupNames
            currentIndex: -1
            displayText: "指标组合"
            onActivated: bar.groupChosen(model[index])
        }
        ToolCombo {
            objectName: "dividendBox"
            visible: bar.chartKind === "kline"
            width: 92
            model: ["不复权", "前复权", "后复权"]
            // Follows the view's mode however it was chosen (here or in the chart's menu).
            Binding on currentIndex {
                value: Math.max(0, ["", "fd", "bd"].indexOf(bar.dividendCmd))
            }
            onActivated: bar.dividendChosen(["", "fd", "bd"][index])
        }
        ToolButtonFlat {
            objectName: "overlayButton"
            text: "叠加"
            onClicked: bar.overlayClicked()
        }
        ToolButtonFlat {
            objectName: "clearOverlayButton"
            text: "清除叠加"
            onClicked: bar.clearOverlaysClicked()
        }
        ToolButtonFlat {
            objectName: "intervalButton"
            visible: bar.chartKind === "kline"
            text: "区间统计"
            onClicked: bar.intervalClicked()
        }
        ToolButtonFlat {
            objectName: "drawButton"
            visible: bar.chartKind === "kline"
            text: "画线"
            onClicked: bar.drawClicked()
        }
        ToolButtonFlat {
            objectName: "chipButton"
            visible: bar.chartKind === "kline"
            text: "筹码"
            checked: bar.chipShown
            onClicked: bar.chipShown = !bar.chipShown
        }
        ToolButtonFlat {
            objectName: "holdButton"
            visible: bar.chartKind === "kline"
            text: "拖动"
            checked: bar.hold
            onClicked: {
                bar.hold = !bar.hold;
                bar.holdToggled(bar.hold);
            }
        }
    }
}
