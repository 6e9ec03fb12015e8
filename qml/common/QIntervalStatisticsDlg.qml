import QtQuick 2.15
import QtQuick.Controls 2.15

// "区间统计": figures of a range of bars. The two date pickers choose the range again; the chart
// recomputes and hands the new figures back through setModel.
FramedDialog {
    id: dialog
    objectName: "intervalStatisticsDlg"
    property var dates: []
    property var leftRows: []
    property var rightRows: []
    // Set while setModel moves the pickers, so that only a user's choice asks for new figures.
    property bool applying: false
    signal setStartEndDate(string sdate, string edate)
    signal clickedClose()

    width: 320
    height: 320
    title_text: "区间统计"
    onCloseClicked: dialog.close()
    onClosing: dialog.clickedClose()

    function setModel(json) {
        applying = true;
        var list = json && Array.isArray(json.dates) ? json.dates : [];
        if (list.join("\n") !== dates.join("\n"))
            dates = list;
        var s = dates.indexOf(json ? json.sdate : "");
        if (s >= 0)
            startPicker.currentIndex = s;
        var e = dates.indexOf(json ? json.edate : "");
        if (e >= 0)
            endPicker.currentIndex = e;
        leftRows = json && Array.isArray(json.array1) ? json.array1 : [];
        rightRows = json && Array.isArray(json.array2) ? json.array2 : [];
        applying = false;
    }

    function pickerChanged() {
        if (applying || startPicker.currentIndex < 0 || endPicker.currentIndex < 0)
            return;
        setStartEndDate(dates[startPicker.currentIndex], dates[endPicker.currentIndex]);
    }

    component DatePicker: Row {
        property alias label: caption.text
        property alias currentIndex: box.currentIndex
        property alias box: box
        spacing: 4
        height: 28
        Text {
            id: caption
            height: parent.height
            verticalAlignment: Text.AlignVCenter
            color: Theme.text
            font.family: Theme.fontFamilySong
            font.pixelSize: 14
        }
        ComboBox {
            id: box
            width: 150
            height: parent.height
            model: dialog.dates
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
            palette.button: Theme.dialogField
            palette.buttonText: Theme.text
            palette.base: Theme.dialogField
            palette.text: Theme.text
            palette.window: Theme.dialogField
            palette.windowText: Theme.text
            palette.highlight: Theme.selection
            palette.highlightedText: Theme.text
            palette.dark: Theme.textDim
            onActivated: dialog.pickerChanged()
            indicator: Text {
                x: box.width - width - 8
                y: (box.height - height) / 2
                text: "▾"
                color: Theme.textDim
                font.pixelSize: 11
            }
        }
    }

    Component {
        id: figureRow
        Item {
            width: ListView.view ? ListView.view.width : 0
            height: 30
            Text {
                width: parent.width / 2; height: parent.height
                text: modelData.name
                color: Theme.textDim
                horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamilySong; font.pixelSize: 14
            }
            Text {
                x: parent.width / 2
                width: parent.width / 2; height: parent.height
                text: modelData.vol
                color: Theme.text
                horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily; font.pixelSize: 13
            }
        }
    }

    Column {
        anchors.fill: parent
        anchors.topMargin: 6
        spacing: 4
        DatePicker {
            id: startPicker
            objectName: "startDatePicker"
            anchors.horizontalCenter: parent.horizontalCenter
            label: "起始日期 "
        }
        DatePicker {
            id: endPicker
            objectName: "endDatePicker"
            anchors.horizontalCenter: parent.horizontalCenter
            label: "结束日期 "
        }
        Row {
            width: parent.width
            height: parent.height - 2 * 28 - 2 * 4 - 6
            ListView {
                objectName: "leftFigures"
                interactive: false
                delegate: figureRow
                width: parent.width / 2
                height: parent.height
                model: dialog.leftRows
            }
            Rectangle { width: 1; height: parent.height; color: Theme.border }
            ListView {
                objectName: "rightFigures"
                interactive: false
                delegate: figureRow
                width: parent.width / 2 - 1
                height: parent.height
                model: dialog.rightRows
            }
        }
    }
}
