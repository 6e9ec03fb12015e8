import QtQuick 2.15
import "../common"
import "../web"

// The research pages of a security (F9, F10, F11) in an embedded browser; their links open
// quote views and routes like those of any web tab.
Rectangle {
    id: pane
    objectName: "researchPane"
    property alias url: page.url
    readonly property alias view: page.view
    color: Theme.background

    WebPage {
        id: page
        objectName: "researchPage"
        view_name: "researchWeb"
        anchors.fill: parent
        in_tab: true
    }
}
