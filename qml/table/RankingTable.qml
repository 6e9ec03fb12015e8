import QtQuick 2.15
import "../common"

// A block ranked live by one field: the quote table in a header mode of its own, three fixed
// columns, the page sized to its height. It asks for its list only while it can be seen:
// hidden (its tab in the background, its screen closed), the subscription is cancelled, and
// shown again the same page is asked for anew. Rankings, the composite ranking and the
// monitors are built from it.
QuoteTableView {
    id: ranking
    objectName: "rankingTable"

    // The header mode the ranking is shown in (the full ranking columns by default).
    property int headerMode: 4
    // The first page of a new list selects its first row, for screens that show the selected
    // security beside the table.
    property bool selectFirstRow: false

    fixedCount: 3
    columnWidths: Theme.rankingColumnWidths

    QtObject {
        id: d
        property bool asked: false
    }

    // Ranks `block` by `field` (0 descending, 1 ascending by `sort`); `page_size` in the query
    // fixes the page length instead of the height.
    function showRanking(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        q.mode = headerMode;
        // The model reports the same split (its fixed head) as the view draws.
        if (table_model.fixedColumnCount() !== fixedCount)
            table_model.setFixedColumn(fixedCount);
        d.asked = true;
        setQuery(q);
        if (!visible)
            table_model.cancel();
    }
    function showBlock(block, field, sort) {
        showRanking({ "block": block, "field": field, "sort": sort });
    }
    // Empties the table and forgets the selection and the scroll position.
    function clearRanking() {
        table_model.clear();
        resetXY();
    }

    onVisibleChanged: {
        if (!d.asked)
            return;
        if (visible)
            table_model.update();
        else
            table_model.cancel();
    }
    onDataChange: {
        if (selectFirstRow && selectIndex < 0 && rowCount > 0)
            select(0);
    }
}
