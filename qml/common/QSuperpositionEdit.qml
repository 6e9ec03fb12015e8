import QtQuick 2.15
import QtQuick.Controls 2.15
import HFileIO 1.0
import "../js/kvst.js" as Kvst
import "../js/superposition.js" as Overlays

// "自定义叠加": finds a security to overlay on the quote view's chart.
Popup {
    id: popup
    objectName: "superpositionEdit"
    property string chart: "kline"
    property var rows: []
    property var added: ({})
    signal addSuperChart(string code, int market, string chart)

    width: 260
    height: 320
    anchors.centerIn: parent
    modal: false
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    background: Rectangle { color: Theme.overlayPanel; border.width: 1; border.color: Theme.border }

    HFileIO { id: fileio }

    function show(chartType) {
        chart = chartType;
        field.text = "";
        rows = [];
        open();
        field.forceActiveFocus();
    }

    onClosed: field.text = ""

    function typeName(type) {
        return ["指令", "指数", "股票", "基金", "债券", "权证"][type] || "未知";
    }

    function search(text) {
        if (!text) {
            rows = [];
            return;
        }
        var doc = Overlays.load(fileio);
        var found = [];
        var db = Kvst.open();
        db.readTransaction(function(tx) {
            var rs = tx.executeSql("SELECT code, market, name, type FROM StockDictionary "
                                   + "WHERE (code LIKE ? OR pinyin LIKE ?) AND market IN (0, 1, 2, 20) "
                                   + "AND type <> 0 ORDER BY type, market, length(code), code LIMIT 100",
                                   ["%" + text + "%", "%" + text + "%"]);
            for (var i = 0; i < rs.rows.length; ++i) {
                var r = rs.rows.item(i);
                found.push({ "code": r.code, "market": r.market, "name": r.name, "type": r.type,
                             "added": Overlays.contains(doc, popup.chart, r.code, r.market) });
            }
        });
        rows = found;
    }

    function add(index) {
        var r = rows[index];
        if (!r || Overlays.contains(Overlays.load(fileio), chart, r.code, r.market))
            return;
        addSuperChart(r.code, r.market, chart);
        var list = rows.slice();
        list[index] = Object.assign({}, r, { "added": true });
        rows = list;
    }

    contentItem: Item {
        Text {
            x: 10
            y: 6
            text: "自定义叠加"
            color: Theme.overlayTitle
            font.family: Theme.fontFamily
            font.pixelSize: 15
        }
        Rectangle {
            objectName: "superpositionClose"
            x: parent.width - 26
            y: 6
            width: 20
            height: 20
            color: closeArea.containsMouse ? "#CC351C" : "transparent"
            Text { anchors.centerIn: parent; text: "✕"; color: Theme.text; font.pixelSize: 12 }
            MouseArea { id: closeArea; anchors.fill: parent; hoverEnabled: true; onClicked: popup.close() }
        }
        TextField {
            id: field
            objectName: "superpositionField"
            x: 10
            y: 34
            width: parent.width - 20
            height: 28
            placeholderText: "请输入代码或拼音"
            color: Theme.text
            placeholderTextColor: Theme.textMuted
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
            maximumLength: 32
            background: Rectangle { color: Theme.dialogField; border.width: 1; border.color: Theme.border }
            onTextChanged: popup.search(text)
        }
        ListView {
            id: list
            objectName: "superpositionList"
            x: 0
            y: 68
            width: parent.width
            height: parent.height - 70
            clip: true
            model: popup.rows
            delegate: Rectangle {
                width: list.width
                height: 25
                color: rowArea.containsMouse ? Theme.selection : "transparent"
                MouseArea { id: rowArea; anchors.fill: parent; hoverEnabled: true }
                Text {
                    x: 10; width: 40; height: parent.height
                    text: popup.typeName(modelData.type)
                    color: Theme.textDim
                    verticalAlignment: Text.AlignVCenter
                    font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall
                }
                Text {
                    x: 52; width: 62; height: parent.height
                    text: modelData.code
                    color: Theme.text
                    verticalAlignment: Text.AlignVCenter
                    font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall
                }
                Text {
                    x: 116; width: 90; height: parent.height
                    text: modelData.name
                    color: Theme.text
                    elide: Text.ElideRight
                    verticalAlignment: Text.AlignVCenter
                    font.family: Theme.fontFamily; font.pixelSize: Theme.fontSmall
                }
                PopupButton {
                    objectName: "addOverlay_" + index
                    visible: !modelData.added
                    x: parent.width - 44
                    y: 3
                    width: 36
                    height: 19
                    text: "叠加"
                    onClicked: popup.add(index)
                }
            }
        }
    }
}
