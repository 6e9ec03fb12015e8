import QtQuick 2.15
import "../quote"

// "历史分时": the minute chart of one past day of a security.
FramedDialog {
    id: dialog
    objectName: "historyMLine"
    width: 600
    height: 480
    title_text: "历史分时"
    onCloseClicked: dialog.close()
    onClosing: panel.stop()

    // codeInfo {code, market, name}; date as the chart writes it ("yyyy-MM-dd dddd …").
    function getHMLineData(codeInfo, date, timestamp) {
        title_text = "历史分时 " + codeInfo.name + "(" + codeInfo.code + ") " + String(date).substr(0, 14);
        panel.setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
        panel.showHistoryMinute(codeInfo.code, codeInfo.market, timestamp);
    }

    ChartPanel {
        id: panel
        objectName: "historyPanel"
        anchors.fill: parent
        showNumber: 242
    }
}
