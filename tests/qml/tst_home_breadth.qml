import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/home"

// The breadth lists against a service that does not answer: the failure is said, figures
// already shown stay.
TestCase {
    id: testCase
    name: "HomeBreadth"
    when: windowShown

    Component {
        id: listsComponent
        BreadthLists { width: 720; height: 300 }
    }

    function band(name, section, count, type) {
        return { "name": name, "section": section, "count": count, "type": type };
    }

    function documentOf(count) {
        var doc = {};
        var members = ["HS", "SH", "SZ", "CY"];
        for (var i = 0; i < members.length; ++i)
            doc[members[i]] = [band("沪深", "涨停", count, 1), band("沪深", "平盘", 2 * count, 0),
                               band("沪深", "跌停", 0, -1), band("沪深", "up_counts", 900, 1),
                               band("沪深", "down_counts", 800, -1)];
        return doc;
    }

    function test_failedRefreshKeepsFigures() {
        var lists = createTemporaryObject(listsComponent, testCase);
        verify(lists !== null);
        // Nothing listens on the discard port: the first fetch fails and says so.
        lists.url = "http://127.0.0.1:9/market_total";
        lists.fetch();
        tryCompare(lists, "loadCount", 1, 10000);
        verify(lists.stale);
        verify(!lists.loaded);

        lists.take(documentOf(10));
        verify(lists.loaded && !lists.stale);
        compare(lists.models[0].count, 3);
        compare(lists.totals[2], [900, 800]);
        // The totals are no bands and set no scale: the flat band is the widest.
        compare(lists.models[1].getCurRatio(1), 1);
        compare(lists.models[1].getCurRatio(0), 0.5);

        lists.fetch();
        tryCompare(lists, "loadCount", 2, 10000);
        verify(lists.stale);
        verify(lists.loaded);
        compare(lists.models[3].count, 3);
        compare(lists.models[3].getMaxCount(), 20);
    }

    function test_missingMemberEmptiesItsList() {
        var lists = createTemporaryObject(listsComponent, testCase);
        var doc = documentOf(5);
        delete doc.CY;
        lists.take(doc);
        compare(lists.models[0].count, 3);
        compare(lists.models[3].count, 0);
        compare(lists.totals[3], [0, 0]);
    }
}
