import QtQuick 2.15
import QtQuick.Window 2.15

// The title bar of dialog windows: icon, title and the close, maximise and minimise buttons.
QTitleBar {
    id: title
    property string title_text: "金融终端"
    property url icon_source: ""
    property bool show_close: true
    property bool show_max: true
    property bool show_min: true
    signal closeClicked()

    bar_color: "#335493"

    Image {
        id: icon
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: title.icon_source != "" ? 30 : 5
        height: 30
        source: title.icon_source
        fillMode: Image.PreserveAspectFit
    }
    Text {
        anchors.left: icon.right
        anchors.leftMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        text: title.title_text
        color: "#FFFFFF"
        font.family: "Microsoft YaHei"
        font.pixelSize: 14
    }
    Row {
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        layoutDirection: Qt.RightToLeft
        TitleButton {
            visible: title.show_close
            glyph: "✕"
            hover_color: "#CC351C"
            onClicked: {
                title.closeClicked();
                if (title.target_window)
                    title.target_window.close();
            }
        }
        TitleButton {
            visible: title.show_max
            glyph: title.target_window && title.target_window.visibility === Window.Maximized ? "❐" : "□"
            onClicked: {
                var w = title.target_window;
                if (!w)
                    return;
                if (w.visibility === Window.Maximized)
                    w.showNormal();
                else
                    w.showMaximized();
            }
        }
        TitleButton {
            visible: title.show_min
            glyph: "—"
            onClicked: if (title.target_window) title.target_window.showMinimized()
        }
    }
}
