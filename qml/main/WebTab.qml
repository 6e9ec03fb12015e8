import QtQuick 2.15
import QtWebEngine 1.10
import "../common"

// A web page in a tab; its title follows the page once the page has named itself.
Item {
    id: tab
    property alias url: web.url
    // "加载中" until the page gives a title of its own (before that the engine reports the
    // address or the site's name).
    readonly property string pageTitle: {
        var t = web.title;
        if (!t || t.length === 0)
            return web.loading ? "加载中" : String(web.url);
        if (web.loading && (t === String(web.url) || t.indexOf(hostOf(web.url)) >= 0))
            return "加载中";
        return t;
    }
    readonly property alias view: web

    function hostOf(u) {
        var m = /^[a-z]+:\/\/([^\/:?#]+)/i.exec(String(u));
        return m ? m[1] : "\u0000";
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }
    WebEngineView {
        id: web
        objectName: "webView"
        anchors.fill: parent
        backgroundColor: Theme.background
        onNewViewRequested: request.openIn(web)
    }
}
