import QtQuick 2.15
import "../common"
import "../web"
import "../js/web_links.js" as Links

// A web page in a tab; its title follows the page once the page has named itself.
Item {
    id: tab
    property alias url: page.url
    property alias host_window: page.host_window
    property alias refresh_menu: page.refresh_menu
    readonly property string pageTitle: Links.tabTitle(page.title, page.url, page.loading)
    readonly property alias view: page.view
    readonly property alias page: page

    WebPage {
        id: page
        objectName: "webPage"
        anchors.fill: parent
        in_tab: true
    }
}
