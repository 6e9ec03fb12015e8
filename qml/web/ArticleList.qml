import QtQuick 2.15
import QtQuick.Window 2.15
import QBaseService 1.0
import "../common"
import "../js/news_lists.js" as Lists
import "../js/http.js" as Http

// The news items or research reports of a security (or of the whole market) from the server;
// a double click opens an item in a browser window. Research reports are also handed out as
// markers for the K-line chart (researchLoaded).
Rectangle {
    id: list
    objectName: "articleList"
    // "新闻资讯" or "研究报告".
    property string kind: Lists.kNews
    // The main window (createWindow); by default the one this list lives in.
    property var host_window: null
    property var rows: []
    property bool loading: false
    property string message: ""
    property int serial: 0
    property bool showSource: true
    // The row last clicked (-1: none).
    property int chosen: -1
    readonly property alias listView: view

    signal researchLoaded(var group)
    signal itemOpened(string url, var window)

    color: Theme.chartBackground

    QBaseService { id: baseService }

    function addressOf(name) {
        var v = baseService.getServerAddressValue("url." + name);
        return v === undefined || v === null ? "" : String(v);
    }

    // Loads the list of `flag` (a kind; empty: this list's own) for `security` ({code, market,
    // …}; null for the whole market). A list without a server address stays empty and asks
    // nothing. A request still running is dropped: its answer is ignored.
    function getNewsListData(flag, security) {
        if (flag)
            kind = flag;
        var address = Lists.listAddress(kind, security || {}, addressOf);
        serial += 1;
        rows = [];
        chosen = -1;
        message = "";
        if (address.length === 0) {
            loading = false;
            return;
        }
        loading = true;
        var mine = serial;
        var askedKind = kind;
        Http.getData(address, {}, { "Content-Type": "application/json" }, function(ok, json) {
            if (mine !== list.serial)
                return;
            list.loading = false;
            if (!ok || json === null || typeof json !== "object" || !Array.isArray(json.data)) {
                list.message = ok ? Http.kRequestError : String(json);
                return;
            }
            list.rows = json.data;
            if (json.data.length === 0)
                list.message = askedKind === Lists.kResearch ? "暂无研究报告" : "暂无资讯";
            if (askedKind === Lists.kResearch) {
                var viewTemplate = list.addressOf(Lists.names(askedKind).view);
                list.researchLoaded(Lists.researchEvents(json.data, viewTemplate));
            }
        });
    }

    function hostWindow() {
        if (host_window)
            return host_window;
        var w = list.Window.window;
        return w && w.host_window ? w.host_window : w;
    }

    function openRow(index) {
        if (index < 0 || index >= rows.length)
            return;
        var url = Lists.viewAddress(kind, rows[index].id, addressOf);
        if (url.length === 0)
            return;
        var host = hostWindow();
        if (!host || !host.createWindow)
            return;
        var win = host.createWindow();
        if (win === null)
            return;
        win.url = url;
        itemOpened(url, win);
    }

    ListView {
        id: view
        objectName: "articleRows"
        anchors.fill: parent
        clip: true
        model: list.rows
        boundsBehavior: Flickable.StopAtBounds
        delegate: Rectangle {
            id: row
            objectName: "articleRow_" + index
            width: view.width
            height: Theme.rowHeight + 2
            color: index === list.chosen ? Theme.selection
                                               : (rowMouse.containsMouse ? Theme.tableRowHover
                                                                         : "transparent")
            Text {
                id: date
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: String(modelData.pubdate || "")
                color: Theme.textDim
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Text {
                id: source
                anchors.right: date.left
                anchors.rightMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                // A wide list shows the whole source; a narrow one keeps the room for the title.
                width: list.showSource ? Math.min(implicitWidth, Math.max(90, row.width / 5)) : 0
                visible: list.showSource
                text: String(modelData.source || "")
                elide: Text.ElideRight
                color: Theme.textMuted
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Text {
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.right: source.left
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                text: String(modelData.title || "")
                elide: Text.ElideRight
                color: Theme.menuText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: 1
                color: Theme.border
            }
            MouseArea {
                id: rowMouse
                anchors.fill: parent
                hoverEnabled: true
                onClicked: list.chosen = index
                onDoubleClicked: {
                    list.chosen = index;
                    list.openRow(index);
                }
            }
        }
    }

    Text {
        objectName: "articleMessage"
        anchors.centerIn: parent
        visible: !list.loading && list.message.length > 0
        text: list.message
        color: Theme.textMuted
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }

    // Turns once a second while the list loads.
    Canvas {
        id: spinner
        objectName: "articleLoading"
        anchors.centerIn: parent
        width: 24
        height: 24
        visible: list.loading
        onPaint: {
            var ctx = getContext("2d");
            ctx.reset();
            ctx.lineWidth = 3;
            ctx.strokeStyle = Theme.accent;
            ctx.beginPath();
            ctx.arc(width / 2, height / 2, width / 2 - 2, 0, Math.PI * 1.5);
            ctx.stroke();
        }
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: spinner.visible
        }
    }
}
