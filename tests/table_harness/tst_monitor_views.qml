import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/http.js" as Http

// The alert monitor, the block monitor and the strategy dashboard against a real server:
// each live once shown, the alert monitor's two scopes, the dashboard's index choice, and
// hidden means unsubscribed — the server stops counting the screen's lists and charts while
// it is hidden and counts them again once it is shown.
Item {
    id: root
    width: 1500
    height: 900

    property var view: null

    TestCase {
        name: "MonitorViews"
        when: windowShown

        function answer(call) {
            var out = { "done": false };
            call(function(ok, json) { out.done = true; out.ok = ok; out.json = json; });
            tryVerify(function() { return out.done; }, 10000);
            return out;
        }
        function subscriptions() {
            var r = answer(function(cb) {
                Http.getData(testSetup.controlUrl() + "/quote_stats", {}, {}, cb);
            });
            verify(r.ok, "no quote statistics");
            return Number(r.json.subscriptions);
        }
        function open(path) {
            var component = Qt.createComponent("qrc:/qml/" + path);
            compare(component.status, Component.Ready, component.errorString());
            var v = component.createObject(root, { "width": root.width, "height": root.height });
            verify(v !== null);
            v.setQuery({});
            return v;
        }
        function close() {
            if (view)
                view.destroy();
            view = null;
            wait(0);
        }
        function titleOf(name) {
            return findChild(findChild(view, name), "panelTitle").text;
        }
        function rows(name) { return findChild(view, name).rowCount; }

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
        }

        // Lists, charts and alerts live once the screen is up; `lists` are the rankings that
        // fill, `panels` the charts that show a security, `fewest` the subscriptions it keeps
        // at least.
        function test_1_hiddenMeansUnsubscribed_data() {
            return [
                { tag: "alert monitor", path: "QMarketHotMonitor.qml", fewest: 7,
                  lists: ["hotRanking_0", "hotRanking_1", "hotRanking_2", "hotRanking_3"],
                  panels: ["hotPanel_0", "hotPanel_1"] },
                { tag: "block monitor", path: "QMarketBlockMonitor.qml", fewest: 4,
                  lists: ["blockTable", "memberTable"], panels: ["blockPanel", "memberPanel"] },
                { tag: "strategy dashboard", path: "QStrategyView.qml", fewest: 5,
                  lists: ["strategyBlockTable", "strategyMemberTable"],
                  panels: ["strategyPanel_0", "strategyPanel_1", "strategyPanel_3"] }
            ];
        }
        function test_1_hiddenMeansUnsubscribed(data) {
            var before = subscriptions();
            view = open(data.path);
            tryVerify(function() {
                for (var i = 0; i < data.lists.length; ++i)
                    if (rows(data.lists[i]) === 0)
                        return false;
                for (i = 0; i < data.panels.length; ++i)
                    if (titleOf(data.panels[i]) === "")
                        return false;
                return true;
            }, 20000, "the screen's lists and charts");
            tryVerify(function() { return subscriptions() >= before + data.fewest; }, 10000);
            // Settled: the first rows select themselves and the charts follow them.
            wait(800);
            var shown = subscriptions();
            view.visible = false;
            tryVerify(function() { return subscriptions() <= shown - data.fewest; }, 10000,
                      "subscriptions while shown: " + shown);
            view.visible = true;
            tryVerify(function() { return subscriptions() === shown; }, 10000);
            close();
            tryVerify(function() { return subscriptions() === before; }, 10000);
        }

        // "全市场" lists the whole market's alerts; "当前个股" only the selected security's;
        // picking another security leaves the market's list alone.
        function test_2_alertScopes() {
            view = open("QMarketHotMonitor.qml");
            var tips = view.tipModel;
            tryVerify(function() { return tips.count > 0; }, 20000, "alerts of the market");
            var codes = {};
            for (var i = 0; i < tips.count; ++i)
                codes[tips.getItem(i, tips.getRole("code"))] = true;
            verify(Object.keys(codes).length > 1, "alerts of more than one security");
            tryVerify(function() { return view.selected !== null; }, 10000);
            var held = tips.count;
            view.showSecurity(findChild(view, "hotRanking_1").table_model.getCodeInfo(0));
            compare(tips.count >= held, true);

            // A security that has alerts: the one of the newest.
            var last = tips.count - 1;
            var code = String(tips.getItem(last, tips.getRole("code")));
            view.showSecurity({ "code": code, "market": tips.getItem(last, tips.getRole("market")),
                                "name": tips.getItem(last, tips.getRole("name")) });
            view.setScope(1);
            tryVerify(function() { return tips.count > 0; }, 10000, "alerts of " + code);
            for (i = 0; i < tips.count; ++i)
                compare(String(tips.getItem(i, tips.getRole("code"))), code);
            // A double click below the last alert opens nothing; on an alert, its quote view.
            var opened = [];
            view.changeToMQView.connect(function(info) { opened.push(info); });
            var list = view.tipView;
            if (tips.count < list.visibleRows()) {
                mouseDoubleClickSequence(list, 20, list.height - 2);
                compare(opened.length, 0);
            }
            mouseDoubleClickSequence(list, 20, list.getRowHeight() * 1.5);
            compare(opened.length, 1);
            compare(String(opened[0].code), code);
            close();
        }

        // The index panel always shows a minute chart; "深证指数" shows 399001 titled 深证成指.
        function test_3_indexChoice() {
            view = open("QStrategyView.qml");
            tryVerify(function() { return titleOf("strategyPanel_3") === "上证指数(1A0001)"; }, 10000);
            mouseClick(findChild(view, "indexButton_1"));
            compare(titleOf("strategyPanel_3"), "深证成指(399001)");
            var chart = findChild(findChild(view, "strategyPanel_3"), "panelMainChart");
            tryVerify(function() {
                return chart.getLineType() === "mline" && chart.getFirstKLineSize() > 0;
            }, 15000);
            // The blocks of a category come on one page of 200 whatever the table's height.
            var blocks = findChild(view, "strategyBlockTable");
            compare(JSON.parse(blocks.table_model.getCtx()).page_.length, 200);
            close();
        }
    }
}
