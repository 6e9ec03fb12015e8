import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"
import "../js/search.js" as Search

// The keyboard search: a typed digit or letter opens it; each change of the text looks the
// code or pinyin up in the security dictionary.
Popup {
    id: popup
    // The local database and the watchlist service of the window.
    property var db: null
    property var my_stock: null
    property alias text: field.text
    readonly property alias rows: resultModel
    property alias currentIndex: resultList.currentIndex
    // A row was chosen: open its route with its name as title.
    signal chosen(string title, string route)
    // The watchlist changed through an add/remove button.
    signal watchlistToggled(string code, int market, bool added)

    width: 320
    height: 372
    padding: 1
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    background: Rectangle {
        color: Theme.popupBackground
        border.width: 1
        border.color: Theme.dialogBorder
    }

    function openWith(first) {
        field.text = first;
        open();
        field.forceActiveFocus();
        field.cursorPosition = field.text.length;
    }

    // One query per change of the text; the rows go into the list in one insertion, so the
    // list lays itself out once.
    function refresh() {
        var found = Search.find(db, field.text);
        for (var i = 0; i < found.length; ++i)
            found[i].inWatchlist = my_stock ? my_stock.isExist(found[i].code, found[i].market)
                                            : false;
        resultModel.clear();
        if (found.length > 0)
            resultModel.append(found);
        resultList.currentIndex = resultModel.count > 0 ? 0 : -1;
    }

    // Row `index` as a plain object (the tests read the rows through it).
    function rowAt(index) {
        if (index < 0 || index >= resultModel.count)
            return null;
        var row = resultModel.get(index);
        return { "code": row.code, "market": row.market, "name": row.name, "type": row.type,
                 "typeName": row.typeName, "pinyin": row.pinyin, "active": row.active,
                 "inWatchlist": row.inWatchlist };
    }

    function chooseCurrent() {
        if (resultList.currentIndex < 0 || resultList.currentIndex >= resultModel.count)
            return;
        var row = resultModel.get(resultList.currentIndex);
        close();
        chosen(row.name, row.active);
    }

    function toggleWatchlist(index) {
        var row = resultModel.get(index);
        var added = !row.inWatchlist;
        watchlistToggled(row.code, row.market, added);
        resultModel.setProperty(index, "inWatchlist",
                                my_stock ? my_stock.isExist(row.code, row.market) : added);
    }

    contentItem: Column {
        TextField {
            id: field
            objectName: "searchField"
            width: parent.width
            height: 30
            placeholderText: "请输入代码或拼音"
            placeholderTextColor: Theme.textMuted
            color: Theme.text
            selectByMouse: true
            maximumLength: 200
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal + 1
            leftPadding: 8
            background: Rectangle {
                color: Theme.background
                Rectangle {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    height: 1
                    color: Theme.dialogBorder
                }
            }
            onTextChanged: popup.refresh()
            Keys.onUpPressed: resultList.currentIndex = Math.max(0, resultList.currentIndex - 1)
            Keys.onDownPressed: resultList.currentIndex = Math.min(resultModel.count - 1,
                                                                   resultList.currentIndex + 1)
            Keys.onReturnPressed: popup.chooseCurrent()
            Keys.onEnterPressed: popup.chooseCurrent()
            Keys.onEscapePressed: popup.close()
        }
        ListView {
            id: resultList
            objectName: "searchList"
            width: parent.width
            height: parent.height - field.height
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: ListModel { id: resultModel }
            highlightMoveDuration: 0
            // Rows are replaced on every keystroke: keep their items for the next list.
            reuseItems: true
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
            delegate: Rectangle {
                objectName: "searchRow_" + index
                width: resultList.width
                height: Theme.rowHeight
                color: ListView.isCurrentItem ? Theme.selection
                                              : (rowMouse.containsMouse ? Theme.panelBackground
                                                                        : "transparent")
                MouseArea {
                    id: rowMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: resultList.currentIndex = index
                    onDoubleClicked: {
                        resultList.currentIndex = index;
                        popup.chooseCurrent();
                    }
                }
                Text {
                    id: codeText
                    x: 8
                    width: 76
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.code
                    elide: Text.ElideRight
                    color: Theme.highlight
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Text {
                    x: codeText.x + codeText.width + 4
                    width: typeText.x - x - 4
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.name
                    elide: Text.ElideRight
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Text {
                    id: typeText
                    x: parent.width - 96
                    width: 34
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.typeName
                    color: Theme.textDim
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Rectangle {
                    id: watchButton
                    objectName: "watchButton_" + index
                    visible: model.type !== 0
                    anchors.right: parent.right
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    width: 46
                    height: 18
                    radius: 2
                    color: watchMouse.containsMouse ? Theme.buttonHover : "transparent"
                    border.width: 1
                    border.color: model.inWatchlist ? Theme.fall : Theme.rise
                    Text {
                        anchors.centerIn: parent
                        text: model.inWatchlist ? "删自选" : "加自选"
                        color: model.inWatchlist ? Theme.fall : Theme.rise
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall - 1
                    }
                    MouseArea {
                        id: watchMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: popup.toggleWatchlist(index)
                    }
                }
            }
        }
    }
}
