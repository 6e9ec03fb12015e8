import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import "../common"

// The main window's title bar: the user's menus (three levels, each entry a route) and the
// window buttons. The close button asks first.
QTitleBar {
    id: bar
    // The "menus" of the login answer: {name, active, menus: [...]}.
    property var menus: []
    signal activated(string title, string route)
    signal closeRequested()

    height: Theme.titleBarHeight
    bar_color: Theme.frameBar
    line_color: Theme.frameLine

    Text {
        id: appTitle
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: "金融终端"
        color: Theme.highlight
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontLarge - 1
        font.bold: true
    }

    Row {
        id: menuRow
        objectName: "menuBar"
        anchors.left: appTitle.right
        anchors.leftMargin: 18
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        Repeater {
            model: bar.menus
            Rectangle {
                id: entry
                objectName: "menu_" + index
                width: menuText.implicitWidth + 22
                height: menuRow.height
                color: entryMouse.containsMouse || dropDown.opened ? Theme.menuHover : "transparent"
                Text {
                    id: menuText
                    anchors.centerIn: parent
                    text: bar.text(modelData.name)
                    color: Theme.menuText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                MouseArea {
                    id: entryMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        var subs = bar.children_(modelData);
                        if (subs.length === 0) {
                            bar.go(modelData);
                            return;
                        }
                        bar.fill(dropDown, subs);
                        dropDown.popup(entry, 0, entry.height);
                    }
                }
                DropMenu {
                    id: dropDown
                    objectName: "menuPopup_" + index
                }
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: -1
        TitleButton {
            objectName: "minimiseButton"
            glyph: "—"
            onClicked: if (bar.target_window) bar.target_window.showMinimized()
        }
        TitleButton {
            objectName: "maximiseButton"
            glyph: bar.target_window && bar.target_window.visibility === Window.Maximized ? "❐"
                                                                                         : "□"
            onClicked: {
                var w = bar.target_window;
                if (w.visibility === Window.Maximized || w.visibility === Window.FullScreen)
                    w.showNormal();
                else
                    w.showMaximized();
            }
        }
        TitleButton {
            objectName: "closeButton"
            glyph: "✕"
            hover_color: "#CC351C"
            onClicked: bar.closeRequested()
        }
    }

    Component {
        id: itemComponent
        MenuEntry {
            onTriggered: bar.go(entry)
        }
    }
    Component {
        id: menuComponent
        DropMenu {}
    }

    function text(value) {
        return value === undefined || value === null ? "" : String(value);
    }

    function children_(entry) {
        return entry && Array.isArray(entry.menus) ? entry.menus : [];
    }

    function go(entry) {
        var route = text(entry ? entry.active : "");
        if (route.length > 0)
            activated(text(entry.name), route);
    }

    // Rebuilds `menu` from `entries`; an entry with entries of its own becomes a sub-menu.
    function fill(menu, entries) {
        while (menu.count > 0)
            menu.takeItem(0).destroy();
        for (var i = 0; i < entries.length; ++i) {
            var subs = children_(entries[i]);
            if (subs.length > 0) {
                var sub = menuComponent.createObject(bar, { "title": text(entries[i].name) });
                fill(sub, subs);
                menu.addMenu(sub);
            } else {
                // Made under the bar (an item of the scene); the menu takes it over.
                menu.addItem(itemComponent.createObject(bar, { "text": text(entries[i].name),
                                                               "entry": entries[i] }));
            }
        }
    }
}
