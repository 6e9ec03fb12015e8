import QtQuick 2.15
import QBaseService 1.0
import QVoverIvevoService 1.0
import "common"
import "table"
import "js/kvst.js" as Kvst

// The results of cloud screening, one group per run, as live quote tables; "云选股" opens
// the screening window, "管理" renames and deletes results. A run that finds securities
// shows up here as a new group at once.
GroupQuoteView {
    id: view
    objectName: "voverIvevoView"
    namePrefix: "cloud"
    firstColumnWidth: 40
    toolBarHeight: 28

    property var query_map: ({})
    property string url: ""
    property bool opened: false
    property string libraryMessage: ""
    signal changeToTabView(string title, string url)

    requestGroup: function(model, position, field, sort, pageSize) {
        model.getGroupStockRealTime(position, field, sort, pageSize);
    }

    function reloadGroups(preferredId) {
        setGroups(cloud.getJson().result || [], preferredId);
    }
    function openScreening() {
        var info = baseService.getBaseInfo() || {};
        cloud.showVoverIvevo(String(info.appName || ""),
                             String(baseService.getServerAddressValue("url.condition_stock") || ""),
                             String(baseService.getLoginValue("user.id") || ""),
                             String(baseService.getLoginValue("sessionId") || ""), 1);
        libraryMessage = cloud.libraryError();
    }
    function setQuery(query) {
        query_map = query || {};
        reloadGroups();
        if (!opened) {
            opened = true;
            if (groups.length === 0)
                openScreening();
        }
    }
    function updateQuery(query) {
        setQuery(query);
    }

    QBaseService { id: baseService }
    QVoverIvevoService {
        id: cloud
        // The newest run is first: show it.
        onUpdateVoverIvevo: {
            var result = cloud.getJson().result || [];
            view.reloadGroups(result.length > 0 ? String(result[0].group_id) : undefined);
        }
        onUpdateActionCmd: Kvst.appendAction(Kvst.open(), "CND", str)
    }

    ScreeningGroupEditor {
        id: editor
        parent: view
        service: cloud
        onConfirmed: view.reloadGroups()
    }

    toolBar: Rectangle {
        anchors.fill: parent
        color: Theme.frameBar
        Row {
            x: 4
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6
            Repeater {
                model: [["云选股", "screenButton"], ["管理", "manageButton"]]
                Rectangle {
                    objectName: modelData[1]
                    width: buttonText.implicitWidth + 20
                    height: 22
                    color: area.containsMouse ? Theme.menuHover : Theme.tabActive
                    border.color: Theme.frameLine
                    Text {
                        id: buttonText
                        anchors.centerIn: parent
                        text: modelData[0]
                        color: index === 0 ? Theme.highlight : Theme.menuText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    MouseArea {
                        id: area
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: index === 0 ? view.openScreening() : editor.openWith(cloud.getJson())
                    }
                }
            }
            Text {
                objectName: "screeningLibraryMessage"
                anchors.verticalCenter: parent.verticalCenter
                text: view.libraryMessage
                color: Theme.rise
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
        }
        Text {
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: view.groups.length > 0 ? "共 " + view.groups.length + " 个选股结果" : ""
            color: Theme.textDim
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
    }
}
