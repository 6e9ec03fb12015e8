import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/quote/panel"
import "qrc:/qml/js/market_breadth.js" as Breadth
import "qrc:/qml/js/chart_events.js" as Events

Item {
    id: host
    width: 280
    height: 900

    Component {
        id: panelComponent
        IndexPanel { width: 280; interval: 300 }
    }

    TestCase {
        name: "IndexPanel"
        when: windowShown

        function cleanup() {
            testSetup.setBreadthMode(0);
        }

        function test_bands_data() {
            return [
                { tag: "totals are no bands and set no scale",
                  list: [{ name: "沪深", section: "涨停", count: 10, type: 1 },
                         { name: "沪深", section: "0-2%", count: 40, type: 1 },
                         { name: "沪深", section: "up_counts", count: 4000, type: 1 },
                         { name: "沪深", section: "down_counts", count: 900, type: -1 }],
                  sections: ["涨停", "0-2%"], ratios: [0.25, 1] },
                { tag: "a market without members", list: [{ name: "深市", section: "涨停", count: 0, type: 1 }],
                  sections: ["涨停"], ratios: [0] },
                { tag: "rows without a count are dropped",
                  list: [{ name: "x", section: "a", count: "7", type: 1 }, null, { section: "b", count: 3, type: 0 }],
                  sections: ["b"], ratios: [1] },
                { tag: "not a list", list: { "HS": [] }, sections: [], ratios: [] },
            ];
        }

        function test_bands(data) {
            var rows = Breadth.bands(data.list);
            compare(rows.map(function(r) { return r.section; }), data.sections);
            compare(rows.map(function(r) { return r.ratio; }), data.ratios);
        }

        function test_barWidth_data() {
            return [
                { tag: "largest band full width", ratio: 1, width: 120, px: 120 },
                { tag: "empty band one pixel", ratio: 0, width: 120, px: 1 },
                { tag: "tiny band one pixel", ratio: 0.001, width: 120, px: 1 },
            ];
        }

        function test_barWidth(data) {
            compare(Breadth.barWidth(data.ratio, data.width), data.px);
        }

        function test_eventDate() {
            compare(Events.dateOf(new Date(2026, 11, 1, 15).getTime() / 1000), "2026-12-01");
        }

        function rowCount(chart) {
            var n = 0;
            for (var i = 0; i < 20; ++i)
                if (findChild(chart, "breadthRow_" + i))
                    ++n;
            return n;
        }

        // The panel fetches at once, draws both markets, and keeps its figures when the service
        // fails, saying since when they stand.
        function test_failureKeepsFigures() {
            var panel = createTemporaryObject(panelComponent, host,
                                              { "code": "1A0001", "market": 1,
                                                "breadthUrl": testSetup.serviceUrl("/market_total") });
            tryVerify(function() { return panel.document !== null; }, 5000);
            var whole = findChild(panel, "breadthWhole"), own = findChild(panel, "breadthOwn");
            tryCompare(whole, "members", 512);
            compare(rowCount(whole), 4);
            compare(own.title, "沪市");
            compare(own.members, 205);
            verify(!findChild(panel, "breadthStatus").visible);

            testSetup.setBreadthMode(1);
            tryCompare(panel, "failed", true, 5000);
            compare(whole.members, 512);
            compare(rowCount(whole), 4);
            var status = findChild(panel, "breadthStatus");
            verify(status.visible);
            verify(status.text.indexOf(panel.updatedAt) >= 0);

            // A body that is not the document counts as a failure too.
            testSetup.setBreadthMode(0);
            tryCompare(panel, "failed", false, 5000);
            testSetup.setBreadthMode(2);
            tryCompare(panel, "failed", true, 5000);
            compare(whole.members, 512);
        }

        // Only a shown panel asks the service.
        function test_hiddenPanelDoesNotPoll() {
            var panel = createTemporaryObject(panelComponent, host,
                                              { "code": "399001", "market": 2,
                                                "breadthUrl": testSetup.serviceUrl("/market_total") });
            tryVerify(function() { return panel.document !== null; }, 5000);
            compare(findChild(panel, "breadthOwn").title, "深市");
            compare(findChild(panel, "breadthOwn").members, 0);
            compare(findChild(findChild(panel, "breadthOwn"), "breadthTotals").text, "无成分股");
            panel.visible = false;
            wait(50);
            var asked = testSetup.breadthRequests();
            wait(900);
            compare(testSetup.breadthRequests(), asked);
            panel.visible = true;
            tryVerify(function() { return testSetup.breadthRequests() > asked; }, 2000);
        }

        // Without a breadth service the panel says so instead of showing empty charts only.
        function test_noService() {
            var panel = createTemporaryObject(panelComponent, host, { "code": "1A0001", "market": 1 });
            var status = findChild(panel, "breadthStatus");
            verify(status.visible);
            compare(status.text, "服务器未提供涨跌分布服务");
            verify(!findChild(panel, "breadthTimer").running);
        }
    }
}
