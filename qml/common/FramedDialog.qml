import QtQuick 2.15
import QtQuick.Window 2.15

// The frame of the small dialog windows: frameless and fixed in size, a dialog title bar, the
// grey body, and a one-pixel border drawn over everything.
Window {
    id: dialog
    property alias title_text: titleBar.title_text
    property alias show_close: titleBar.show_close
    default property alias content: body.data
    signal closeClicked()

    flags: Qt.FramelessWindowHint | Qt.MSWindowsFixedSizeDialogHint | Qt.Dialog
           | Qt.CustomizeWindowHint
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    color: Theme.dialogBody

    // Shown centred over the window that opened it, whatever the window manager does.
    onVisibleChanged: {
        var owner = transientParent;
        if (!visible || !owner)
            return;
        x = owner.x + Math.round((owner.width - width) / 2);
        y = owner.y + Math.round((owner.height - height) / 2);
        // The keys typed next are meant for the dialog.
        requestActivate();
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.dialogBody
    }
    QTitleView2 {
        id: titleBar
        anchors.top: parent.top
        target_window: dialog
        show_max: false
        show_min: false
        onCloseClicked: dialog.closeClicked()
    }
    Item {
        id: body
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 1
        anchors.topMargin: 0
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.dialogBorder
    }
}
