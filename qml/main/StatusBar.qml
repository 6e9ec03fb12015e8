import QtQuick 2.15
import ServerStateModel 1.0
import IndexBoardModel 1.0
import "../common"
import "../js/http.js" as Http

// The status bar: quote-server state, live prices of the main indices, scrolling headlines.
Rectangle {
    id: bar
    // The server address of the headlines ("url.marque"); empty leaves the text blank.
    property string headline_url: ""
    readonly property alias serverState: stateModel.server_state
    readonly property alias stateText: stateLabel.text

    height: Theme.statusBarHeight
    color: Theme.frameBar

    ServerStateModel { id: stateModel }
    IndexBoardModel {
        id: indices
        Component.onCompleted: getIndexData()
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 1
        color: Theme.frameLine
    }

    Row {
        id: stateRow
        anchors.left: parent.left
        anchors.leftMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6
        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 8
            height: 8
            radius: 4
            color: stateLabel.color
        }
        Text {
            id: stateLabel
            objectName: "serverState"
            text: stateModel.server_state === 1 ? "已连接" : "断开"
            color: stateModel.server_state === 1 ? Theme.connected : Theme.disconnected
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
    }

    Row {
        id: indexRow
        objectName: "indexBar"
        anchors.left: stateRow.right
        anchors.leftMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        spacing: 0
        Repeater {
            model: indices.indexBoard
            Row {
                objectName: "indexTile_" + index
                readonly property color priceColor: modelData.rf_value > 0 ? Theme.rise
                                                    : modelData.rf_value < 0 ? Theme.fall
                                                                             : Theme.flat
                spacing: 6
                height: bar.height
                Rectangle {
                    width: 1
                    height: 12
                    anchors.verticalCenter: parent.verticalCenter
                    color: Theme.frameLine
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.name.length > 0 ? modelData.name : modelData.code
                    color: Theme.menuText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Text {
                    objectName: "indexPrice_" + index
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.close > 0 ? modelData.close.toFixed(2) : "--"
                    color: parent.priceColor
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.close > 0 ? (modelData.rf_value > 0 ? "+" : "")
                                                + modelData.rf_value.toFixed(2) : ""
                    color: parent.priceColor
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    rightPadding: 10
                    // The engine gives the change rate as a fraction.
                    text: modelData.close > 0 ? (modelData.rf_rate > 0 ? "+" : "")
                                                + (modelData.rf_rate * 100).toFixed(2) + "%" : ""
                    color: parent.priceColor
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
        }
    }

    // The headlines run from right to left in what room the index bar leaves.
    Item {
        id: ticker
        objectName: "headlines"
        anchors.left: indexRow.right
        anchors.leftMargin: 16
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        clip: true
        property string text: ""
        Text {
            id: tickerText
            objectName: "headlineText"
            anchors.verticalCenter: parent.verticalCenter
            text: ticker.text
            color: Theme.textDim
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
            NumberAnimation on x {
                id: scroll
                running: ticker.text.length > 0 && ticker.width > 0
                from: ticker.width
                to: -tickerText.implicitWidth
                duration: Math.max(1, (ticker.width + tickerText.implicitWidth) * 25)
                loops: Animation.Infinite
            }
        }
    }

    // Headlines are fetched again every ten minutes; a failed request keeps the last ones.
    Timer {
        interval: 600000
        running: bar.headline_url.length > 0
        repeat: true
        triggeredOnStart: true
        onTriggered: bar.fetchHeadlines()
    }

    function fetchHeadlines() {
        Http.getData(headline_url, {}, { "Content-Type": "application/json" }, function(ok, json) {
            if (!ok || !json || !Array.isArray(json.data))
                return;
            var titles = [];
            for (var i = 0; i < json.data.length; ++i) {
                if (json.data[i] && json.data[i].title)
                    titles.push(String(json.data[i].title));
            }
            ticker.text = titles.join("        ");
        });
    }
}
