import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/quote"

Item {
    id: host
    width: 1200
    height: 400

    Component {
        id: tabsComponent
        QuoteInfoTabs {
            width: host.width
            expanded: true
        }
    }

    TestCase {
        name: "QuoteInfoTabs"
        when: windowShown

        function shownTabs(tabs) {
            var out = [];
            for (var i = 0; i < 4; ++i)
                if (tabs.shown(i))
                    out.push(tabs.titles[i]);
            return out;
        }

        // The test's quote engine knows no index blocks, so an index has no members to list.
        function test_tabsOfSecurity_data() {
            return [
                { tag: "Shanghai stock keeps the chosen tab", security: { "code": "600000", "market": 1, "type": 2 }, chosen: 0,
                  tabs: ["关联板块", "资金", "新闻资讯", "研究报告"], current: 0 },
                { tag: "Shenzhen stock on its news", security: { "code": "000001", "market": 2, "type": 2 }, chosen: 2,
                  tabs: ["关联板块", "资金", "新闻资讯", "研究报告"], current: 2 },
                { tag: "stock of another market has no fund flow", security: { "code": "00700", "market": 20, "type": 2 }, chosen: 1,
                  tabs: ["关联板块", "新闻资讯", "研究报告"], current: 3 },
                { tag: "fund shows news and research only", security: { "code": "510300", "market": 1, "type": 3 }, chosen: 0,
                  tabs: ["新闻资讯", "研究报告"], current: 3 },
                { tag: "index without a block", security: { "code": "1A0001", "market": 1, "type": 1 }, chosen: 2,
                  tabs: ["新闻资讯", "研究报告"], current: 3 },
            ];
        }

        function test_tabsOfSecurity(data) {
            var tabs = createTemporaryObject(tabsComponent, host);
            tabs.current = data.chosen;
            tabs.setCodeInfo(data.security);
            compare(shownTabs(tabs), data.tabs);
            compare(tabs.current, data.current);
        }

        function test_indexNamesItsMembers() {
            var tabs = createTemporaryObject(tabsComponent, host);
            tabs.setCodeInfo({ "code": "399001", "market": 2, "type": 1 });
            compare(tabs.titles[0], "成份股");
            tabs.setCodeInfo({ "code": "600000", "market": 1, "type": 2 });
            compare(tabs.titles[0], "关联板块");
        }

        // The view hands the same record again once the snapshot named its type.
        function test_sameRecordWithNewType() {
            var tabs = createTemporaryObject(tabsComponent, host);
            var record = { "code": "510300", "market": 1, "type": 2 };
            tabs.current = 1;
            tabs.setCodeInfo(record);
            verify(tabs.shown(1));
            record.type = 3;
            tabs.setCodeInfo(record);
            verify(!tabs.shown(0));
            verify(!tabs.shown(1));
            compare(tabs.current, 3);
        }

        // Without server addresses the lists ask nothing and stay empty.
        function test_listsWithoutAddresses() {
            var tabs = createTemporaryObject(tabsComponent, host);
            tabs.setCodeInfo({ "code": "600000", "market": 1, "type": 2 });
            compare(tabs.newsList.loading, false);
            compare(tabs.researchList.loading, false);
            compare(tabs.newsList.rows.length, 0);
            compare(tabs.researchList.message, "");
        }
    }
}
