import QtQuick 2.15
import QtQml 2.15
import QtQuick.Window 2.15
import QBaseService 1.0
import QMyStockService 1.0
import "common"
import "home"
import "table"
import "js/home.js" as Home

// The landing page after login: the first watchlist group, the main indices with the minute
// chart of the chosen one, news and research, the strongest and weakest concept blocks and
// the market breadth. Hidden, every block drops its subscriptions; shown again, it asks anew.
FocusScope {
    id: view
    objectName: "homeView"

    property var query_map: ({})
    // The watchlist table's order: engine order until a header is clicked.
    property int field: -1
    property int sort: 0
    // The security the news block follows: the first stock of the watchlist, or the stock
    // row clicked last.
    property var currentSecurity: null
    property bool watchlistSeen: false
    // A watchlist change while hidden is asked for when the view shows again.
    property bool watchlistDirty: false
    // Every block has shown its first data; logged once with the time it took.
    readonly property bool painted: watchlistSeen && indexBlock.tilesReady && indexBlock.chartReady
                                    && concepts.ready && breadth.loaded && news.loadCount > 0
    property real createdAt: 0
    property bool paintLogged: false

    signal changeToMQView(var codeInfo)

    QBaseService { id: base }
    QMyStockService { id: myStock }
    LoggingCategory { id: timing; name: "vq.timing" }

    function setQuery(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        query_map = q;
    }
    function updateQuery(query) {
        setQuery(query);
    }

    function address(name) {
        var v = base.getServerAddressValue("url." + name);
        return v === undefined || v === null ? "" : String(v);
    }

    function firstGroupSize() {
        var groups = myStock.getJson().result;
        if (!Array.isArray(groups) || groups.length === 0 || !Array.isArray(groups[0].codes))
            return 0;
        return groups[0].codes.length;
    }

    function requestWatchlist() {
        watchlistDirty = false;
        if (firstGroupSize() === 0) {
            // Nothing to ask for: the table stays empty and no security becomes current.
            table.table_model.cancel();
            table.table_model.clear();
            watchlistSeen = true;
            return;
        }
        table.table_model.getMyStockRealTime2(0, field, sort, table.getShowPageSize());
    }

    // The watchlist changed (a stock added or removed anywhere in the terminal).
    function onMyStockChange() {
        if (visible)
            requestWatchlist();
        else
            watchlistDirty = true;
    }

    function setCurrent(info) {
        if (!info || Number(info.type) !== 2)
            return;
        if (currentSecurity && currentSecurity.code === info.code
                && Number(currentSecurity.market) === Number(info.market))
            return;
        currentSecurity = info;
    }

    function openBrowser(url) {
        var host = view.Window.window;
        var win = host && typeof host.createWindow === "function" ? host.createWindow() : null;
        if (win === null) {
            var component = Qt.createComponent("qrc:/qml/main/BrowserWindow.qml");
            win = component.createObject(null);
            if (win === null)
                return;
            win.show();
        }
        win.url = url;
    }

    function start() {
        requestWatchlist();
        indexBlock.start();
        concepts.start();
        breadth.active = true;
    }
    function stop() {
        table.table_model.cancel();
        indexBlock.stop();
        concepts.stop();
        breadth.active = false;
    }

    onVisibleChanged: {
        if (!createdAt)
            return;
        if (visible)
            start();
        else
            stop();
    }
    // The news follow the current security, first once the watchlist has answered.
    onCurrentSecurityChanged: {
        news.security = currentSecurity;
        if (watchlistSeen)
            news.reload();
    }
    onWatchlistSeenChanged: if (watchlistSeen && news.loadCount === 0 && !news.loading) news.reload()
    onPaintedChanged: if (painted && !paintLogged) paintTimer.armed = true

    // The first frame after every block has its data.
    Connections {
        id: paintTimer
        property bool armed: false
        target: view.Window.window
        enabled: armed
        function onFrameSwapped() {
            paintTimer.armed = false;
            view.paintLogged = true;
            console.info(timing, "home view: every block painted", Date.now() - view.createdAt,
                         "ms after the view was created");
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    readonly property int gap: 4
    readonly property real topHeight: Math.round((height - 3 * gap) * 0.56)

    HomeBlock {
        id: watchBlock
        objectName: "watchlistBlock"
        title: "自选股"
        x: view.gap
        y: view.gap
        width: 470
        height: view.topHeight
        QuoteTableView {
            id: table
            objectName: "homeWatchlist"
            anchors.fill: parent
            fixedCount: 2
            pageChange: true
            columnWidths: {
                var w = [45, 100, 80, 85];
                for (var i = 0; i < 40; ++i)
                    w.push(95);
                return w;
            }
            focus: true
            onDataChange: {
                if (!view.watchlistSeen || view.currentSecurity === null) {
                    var rows = [];
                    for (var r = 0; r < rowCount; ++r)
                        rows.push(table_model.getCodeInfo(r));
                    if (!view.watchlistSeen || rows.length > 0)
                        view.setCurrent(Home.firstStock(rows));
                }
                view.watchlistSeen = true;
            }
            onRowSelectChange: view.setCurrent(codeInfo)
            onChangeToMQView: view.changeToMQView(codeInfo)
            onChangeFieldSort: {
                var f = table_model.getSortField(column);
                if (f < 0)
                    return;
                view.field = f;
                view.sort = type;
                view.requestWatchlist();
            }
            Component.onCompleted: table_model.initHeader(2)
        }
        Text {
            anchors.centerIn: parent
            visible: view.watchlistSeen && table.rowCount === 0
            text: "自选股为空"
            color: Theme.textDim
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
        }
    }

    HomeBlock {
        id: indexFrame
        objectName: "indexBlock"
        title: "指数"
        anchors.left: watchBlock.right
        anchors.leftMargin: view.gap
        anchors.right: news.left
        anchors.rightMargin: view.gap
        y: view.gap
        height: view.topHeight
        IndexBlock {
            id: indexBlock
            objectName: "indexBoard"
            anchors.fill: parent
            onOpenQuote: view.changeToMQView(codeInfo)
        }
    }

    NewsBlock {
        id: news
        anchors.right: parent.right
        anchors.rightMargin: view.gap
        y: view.gap
        width: Math.max(380, Math.round(view.width * 0.27))
        height: view.topHeight
        onOpenPage: view.openBrowser(url)
    }

    HomeBlock {
        id: conceptFrame
        objectName: "conceptBlock"
        title: "概念板块"
        x: view.gap
        y: view.topHeight + 2 * view.gap
        width: Math.round((view.width - 3 * view.gap) * 0.52)
        height: view.height - y - view.gap
        ConceptBoard {
            id: concepts
            anchors.fill: parent
            onOpenQuote: view.changeToMQView(codeInfo)
        }
    }

    HomeBlock {
        id: breadthFrame
        objectName: "breadthBlock"
        title: breadth.stale && breadth.loaded ? "涨跌分布（更新失败，显示上次数据）" : "涨跌分布"
        anchors.left: conceptFrame.right
        anchors.leftMargin: view.gap
        anchors.right: parent.right
        anchors.rightMargin: view.gap
        y: conceptFrame.y
        height: conceptFrame.height
        BreadthLists {
            id: breadth
            anchors.fill: parent
            url: view.address("market_total")
        }
    }

    Component.onCompleted: {
        createdAt = Date.now();
        start();
    }
}
