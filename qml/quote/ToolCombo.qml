import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"

// A compact dark drop-down of the quote view's tool bar: a caption, then the choices.
ComboBox {
    id: box
    property string caption: ""
    height: 24
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontNormal
    palette.button: Theme.headerBackground
    palette.buttonText: Theme.text
    palette.base: Theme.panelBackground
    palette.text: Theme.text
    palette.window: Theme.panelBackground
    palette.windowText: Theme.text
    palette.highlight: Theme.selection
    palette.highlightedText: Theme.highlight
    palette.light: Theme.panelBackground
    palette.midlight: Theme.headerBackground
    palette.mid: Theme.border
    palette.dark: Theme.textDim
    displayText: caption.length > 0 ? caption + "：" + currentText : currentText
    background: Rectangle {
        implicitWidth: 110
        color: box.hovered ? Theme.selection : Theme.headerBackground
        border.width: 1
        border.color: Theme.border
        radius: 2
    }
    delegate: ItemDelegate {
        width: box.popup.width
        height: 24
        highlighted: box.highlightedIndex === index
        contentItem: Text {
            text: modelData
            color: highlighted ? Theme.highlight : Theme.text
            font: box.font
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle { color: highlighted ? Theme.selection : Theme.panelBackground }
    }
    indicator: Text {
        x: box.width - width - 6
        y: (box.height - height) / 2
        text: "▾"
        color: Theme.textDim
        font.pixelSize: 10
    }
    contentItem: Text {
        leftPadding: 8
        rightPadding: 16
        text: box.displayText
        color: Theme.text
        font: box.font
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    popup.background: Rectangle { color: Theme.panelBackground; border.width: 1; border.color: Theme.border }
}
