import QtQuick 2.15
import QtQuick.Controls 2.15
import QBaseService 1.0
import "../js/formula_params.js" as Params

// "指标设置": the parameters of one formula. Every accepted change is saved at once through the
// base service, which rounds and stores it; the view then reloads the chart's formulas.
FramedDialog {
    id: dialog
    objectName: "formulaParamDlg"
    property string formulaName: ""
    property var rows: []
    signal formulaParamSetFinal()

    width: 360
    height: 300
    title_text: "指标设置"
    onCloseClicked: dialog.close()

    QBaseService { id: baseService }

    function setFormulaName(name) {
        formulaName = name;
        title_text = "指标设置 - " + name;
        rows = Params.rows(baseService.getFormula(name));
    }

    function save() {
        baseService.setFormulaParam(formulaName, Params.args(rows));
        // The service rounds what it stores; show the stored values.
        rows = Params.rows(baseService.getFormula(formulaName));
        formulaParamSetFinal();
    }

    function setRowValue(index, value) {
        if (index < 0 || index >= rows.length || rows[index].value === value)
            return;
        var list = rows.slice();
        list[index] = Object.assign({}, list[index], { "value": value });
        rows = list;
        save();
    }

    function reset() {
        rows = Params.rows(baseService.getFormulaDefault(formulaName));
        save();
    }

    Rectangle {
        id: header
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: 28
        color: Theme.dialogHeader
        Row {
            anchors.fill: parent
            Text {
                width: parent.width / 2; height: parent.height
                text: "参数名称"; color: Theme.textDim
                horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily; font.pixelSize: Theme.fontNormal
            }
            Text {
                width: parent.width / 2; height: parent.height
                text: "参数值"; color: Theme.textDim
                horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily; font.pixelSize: Theme.fontNormal
            }
        }
    }

    ListView {
        id: list
        objectName: "paramList"
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: footer.top
        anchors.topMargin: 4
        clip: true
        model: dialog.rows.length
        delegate: Item {
            width: list.width
            height: 34
            Text {
                width: parent.width / 2; height: parent.height
                text: dialog.rows[index] ? dialog.rows[index].name : ""
                color: Theme.text
                horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily; font.pixelSize: Theme.fontNormal
            }
            SpinBox {
                id: spin
                objectName: "paramSpin_" + index
                x: parent.width / 2 + 20
                width: parent.width / 2 - 40
                height: 28
                anchors.verticalCenter: parent.verticalCenter
                editable: true
                from: dialog.rows[index] ? dialog.rows[index].min : 0
                to: dialog.rows[index] ? dialog.rows[index].max : 0
                value: dialog.rows[index] ? dialog.rows[index].value : 0
                stepSize: Params.kScale
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
                palette.base: Theme.dialogField
                palette.text: Theme.text
                palette.button: Theme.dialogHeader
                palette.buttonText: Theme.text
                palette.mid: Theme.border
                palette.dark: Theme.textDim
                palette.light: Theme.dialogHeader
                palette.highlight: Theme.accent
                palette.highlightedText: Theme.text
                validator: RegExpValidator { regExp: /-?\d*(\.\d{0,4})?/ }
                textFromValue: function(value) { return Params.text(value); }
                valueFromText: function(text) { return Params.parse(text, from, to, value); }
                onValueModified: dialog.setRowValue(index, value)
            }
        }
    }

    Item {
        id: footer
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 50
        PopupButton {
            objectName: "resetButton"
            anchors.centerIn: parent
            width: 100
            text: "重  置"
            onClicked: dialog.reset()
        }
    }
}
