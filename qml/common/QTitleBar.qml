import QtQuick 2.15
import QtQuick.Window 2.15

// The title bar of a frameless window: drag to move, double click to maximise or restore.
Rectangle {
    id: bar
    property var target_window: Window.window
    property color line_color: "#171717"
    property color bar_color: "#252B33"
    property bool allow_double_click: true

    height: 31
    anchors.left: parent ? parent.left : undefined
    anchors.right: parent ? parent.right : undefined
    color: bar_color

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: bar.line_color
    }

    MouseArea {
        id: dragArea
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        property point pressPos: Qt.point(0, 0)
        property bool moveBlocked: false

        onPressed: {
            pressPos = Qt.point(mouse.x, mouse.y);
            cursorShape = Qt.SizeAllCursor;
        }
        onPositionChanged: {
            if (!pressed || moveBlocked || !bar.target_window)
                return;
            var w = bar.target_window;
            if (w.visibility === Window.Maximized || w.visibility === Window.FullScreen)
                w.showNormal();
            w.x += mouse.x - pressPos.x;
            w.y += mouse.y - pressPos.y;
        }
        onReleased: {
            moveBlocked = false;
            cursorShape = Qt.ArrowCursor;
        }
        onDoubleClicked: {
            if (!bar.allow_double_click || !bar.target_window)
                return;
            var w = bar.target_window;
            if (w.visibility === Window.Maximized || w.visibility === Window.FullScreen)
                w.showNormal();
            else
                w.showMaximized();
            moveBlocked = true;
        }
    }
}
