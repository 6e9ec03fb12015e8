import QtQuick 2.15
import QtWebEngine 1.10
import "../common"

// The research pages of a security (F9, F10, F11) in an embedded browser.
Rectangle {
    id: pane
    objectName: "researchPane"
    property alias url: web.url
    color: Theme.background

    WebEngineView {
        id: web
        objectName: "researchWeb"
        anchors.fill: parent
        backgroundColor: Theme.background
    }
}
