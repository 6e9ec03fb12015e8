import QtQuick 2.15
import "../common"
import "../web"
import "../js/news_lists.js" as Lists

// The quote view's information panel under the chart: the security's blocks (an index's
// members), its fund flow, its news and its research reports. A click on the chosen tab folds
// the panel to its tab bar; a click on another tab opens it.
Item {
    id: tabs
    objectName: "quoteInfoTabs"
    property var security: null
    // The tab shown: 0 blocks, 1 fund flow, 2 news, 3 research.
    property int current: 2
    property bool expanded: false
    // A header and eight rows of the quote tables.
    property int bodyHeight: 25 + 8 * 27 + 1
    readonly property bool isIndex: security !== null && Number(security.type) === 1
    readonly property bool isStock: security !== null && Number(security.type) === 2
    property bool blocksShown: true
    property bool fundsShown: true
    // The quote view's tick list, from which the fund flow is computed.
    property var detailModel: null
    // The security's research reports as chart markers, once loaded.
    property var researchGroup: null
    readonly property var titles: [isIndex ? "成份股" : "关联板块", "资金", Lists.kNews, Lists.kResearch]
    readonly property alias newsList: newsList
    readonly property alias researchList: researchList
    readonly property alias relatedBlocks: relatedBlocks

    signal changeToMQView(var codeInfo)
    signal researchLoaded(var group)

    height: bar.height + (expanded ? bodyHeight : 0)
    clip: true

    function shown(index) {
        return index === 0 ? blocksShown : (index === 1 ? fundsShown : true);
    }

    // A new security: which tabs it has, and what loads now.
    function setCodeInfo(s) {
        // A copy: the view may hand the same record again after learning its type.
        var copy = null;
        if (s) {
            copy = {};
            for (var k in s)
                copy[k] = s[k];
        }
        security = copy;
        researchGroup = null;
        // An index lists the members of its own block, when it has one; a stock lists the
        // blocks the quote service names for it.
        var blockId = s && isIndex ? relatedBlocks.memberTable.table_model.getBlockId(String(s.code), Number(s.market)) : 0;
        blocksShown = isStock || (isIndex && blockId !== 0);
        var market = s ? Number(s.market) : 0;
        fundsShown = isStock && (market === 1 || market === 2);
        relatedBlocks.setSecurity(s);
        fundFlow.clear();
        if (!fundsShown || (!isStock && !isIndex)) {
            select(3);
            return;
        }
        if (!shown(current))
            current = 3;
        if (current === 2)
            newsList.getNewsListData(Lists.kNews, s);
        // Research loads in any case: the chart marks the reports.
        researchList.getNewsListData(Lists.kResearch, s);
    }

    function select(index) {
        current = index;
        if (index === 2)
            newsList.getNewsListData(Lists.kNews, security);
        else if (index === 3)
            researchList.getNewsListData(Lists.kResearch, security);
    }

    Rectangle {
        id: bar
        objectName: "infoTabBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 24
        color: Theme.frameBar
        Rectangle { width: parent.width; height: 1; color: Theme.border }
        Row {
            x: 4
            height: parent.height
            Repeater {
                model: tabs.titles
                Rectangle {
                    readonly property bool chosen: index === tabs.current && tabs.expanded
                    objectName: "infoTab_" + index
                    visible: tabs.shown(index)
                    width: visible ? label.implicitWidth + 24 : 0
                    height: parent.height
                    color: chosen ? Theme.tabActive : (tabMouse.containsMouse ? Theme.panelBackground
                                                                              : "transparent")
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 2
                        color: Theme.tabActiveLine
                        visible: parent.chosen
                    }
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: modelData
                        color: parent.chosen ? Theme.text : Theme.tabText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    MouseArea {
                        id: tabMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            if (index === tabs.current && tabs.expanded) {
                                tabs.expanded = false;
                                return;
                            }
                            tabs.expanded = true;
                            tabs.select(index);
                        }
                    }
                }
            }
        }
        Text {
            objectName: "infoFold"
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: tabs.expanded ? "▾" : "▴"
            color: Theme.textDim
            font.pixelSize: Theme.fontNormal
            MouseArea {
                anchors.fill: parent
                anchors.margins: -6
                onClicked: tabs.expanded = !tabs.expanded
            }
        }
    }

    Item {
        id: body
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: bar.bottom
        height: tabs.bodyHeight
        visible: tabs.expanded

        RelatedBlocks {
            id: relatedBlocks
            anchors.fill: parent
            visible: body.visible && tabs.current === 0 && tabs.blocksShown
            onChangeToMQView: tabs.changeToMQView(codeInfo)
        }
        FundFlow {
            id: fundFlow
            anchors.fill: parent
            visible: body.visible && tabs.current === 1 && tabs.fundsShown
            detailModel: tabs.detailModel
        }
        ArticleList {
            id: newsList
            objectName: "newsList"
            anchors.fill: parent
            visible: tabs.current === 2
            kind: Lists.kNews
        }
        ArticleList {
            id: researchList
            objectName: "researchList"
            anchors.fill: parent
            visible: tabs.current === 3
            kind: Lists.kResearch
            onResearchLoaded: {
                tabs.researchGroup = group;
                tabs.researchLoaded(group);
            }
        }
    }
}
