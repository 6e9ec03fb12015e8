import QtQuick 2.15
import QBaseService 1.0
import "../common"
import "../js/home.js" as Home
import "../js/http.js" as Http
import "../js/quote_query.js" as Query

// News and research reports of the current security (the whole market while there is
// none), in two tabs, from the lists our server publishes. A double click opens the item in
// a browser window.
Rectangle {
    id: news
    objectName: "newsBlock"
    // The security whose items are listed: {code, market, …} or null.
    property var security: null
    property int kind: 0
    property var rows: []
    property bool loading: false
    property string failure: ""
    property int hoverIndex: -1
    // Answers of requests given up on are ignored: only the latest request counts.
    property int requestSeq: 0
    // Lists answered (the tests wait on it).
    property int loadCount: 0
    signal openPage(string url)

    color: Theme.panelBackground
    border.width: 1
    border.color: Theme.frameLine

    QBaseService { id: base }

    function address(name) {
        var v = base.getServerAddressValue("url." + name);
        return v === undefined || v === null ? "" : String(v);
    }

    // Shows the list of tab `index`: without an address for it, nothing is asked for.
    function load(index) {
        kind = index;
        rows = [];
        failure = "";
        hoverIndex = -1;
        requestSeq += 1;
        var template = address(Home.kNewsKinds[index].list);
        if (template.length === 0) {
            loading = false;
            return;
        }
        var seq = requestSeq;
        loading = true;
        var url = Query.fillPlaceholders(template, security || {});
        Http.getData(url, {}, { "Content-Type": "application/json" }, function(ok, json) {
            if (seq !== news.requestSeq)
                return;
            news.loading = false;
            if (ok && json && Array.isArray(json.data)) {
                news.rows = json.data;
            } else {
                news.failure = "资讯加载失败";
            }
            news.loadCount += 1;
        });
    }

    function reload() {
        load(kind);
    }

    function open(i) {
        if (i < 0 || i >= rows.length)
            return;
        var url = Home.itemAddress(address(Home.kNewsKinds[kind].view), rows[i],
                                   Query.fillPlaceholders);
        if (url.length > 0)
            openPage(url);
    }

    Rectangle {
        id: strip
        x: 1
        y: 1
        width: parent.width - 2
        height: Theme.chartTitleHeight + 6
        color: Theme.headerBackground
        Row {
            height: parent.height
            Repeater {
                model: Home.kNewsKinds
                Item {
                    objectName: "newsTab_" + index
                    readonly property bool chosen: index === news.kind
                    width: tabText.implicitWidth + 28
                    height: strip.height
                    Text {
                        id: tabText
                        anchors.centerIn: parent
                        text: modelData.title
                        color: parent.chosen ? Theme.text : Theme.tabText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                        font.bold: parent.chosen
                    }
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 2
                        color: Theme.tabActiveLine
                        visible: parent.chosen
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: news.load(index)
                    }
                }
            }
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: Theme.frameLine
        }
    }

    ListView {
        id: list
        objectName: "newsList"
        x: 1
        anchors.top: strip.bottom
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        width: parent.width - 2
        clip: true
        model: news.rows
        boundsBehavior: Flickable.StopAtBounds
        delegate: Rectangle {
            objectName: "newsRow_" + index
            width: list.width
            height: Theme.rowHeight + 2
            color: index === news.hoverIndex ? Theme.tableRowHover : "transparent"
            Text {
                id: date
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: modelData.pubdate !== undefined ? String(modelData.pubdate) : ""
                color: Theme.textDim
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Text {
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.right: date.left
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                elide: Text.ElideRight
                text: modelData.title !== undefined ? String(modelData.title) : ""
                color: Theme.menuText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
            Rectangle {
                anchors.bottom: parent.bottom
                x: 10
                width: parent.width - 20
                height: 1
                color: Theme.gridLine
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onEntered: news.hoverIndex = index
                onExited: if (news.hoverIndex === index) news.hoverIndex = -1
                onDoubleClicked: news.open(index)
            }
        }
    }
    Spinner {
        anchors.centerIn: list
        running: news.loading
    }
    Text {
        anchors.centerIn: list
        visible: !news.loading && news.rows.length === 0
        text: news.failure.length > 0 ? news.failure : "暂无资讯"
        color: Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
}
