import QtQuick 2.15
import QStockPoolService 1.0
import "common"
import "table"

// The stock pools handed out by the server, one group each, as live quote tables.
// "?group_id=N" opens with that pool selected.
GroupQuoteView {
    id: view
    objectName: "stockPoolView"
    namePrefix: "stockPool"
    firstColumnWidth: 45

    property var query_map: ({})
    property string url: ""
    signal changeToTabView(string title, string url)

    requestGroup: function(model, position, field, sort, pageSize) {
        model.getStockPoolRealTime(position, field, sort, pageSize);
    }

    function setQuery(query) {
        var q = {};
        for (var k in query_map)
            q[k] = query_map[k];
        for (k in query)
            q[k] = query[k];
        query_map = q;
        var groups = pool.getJson().result || [];
        setGroups(groups, q.group_id !== undefined ? String(q.group_id) : "");
    }
    function updateQuery(query) {
        setQuery(query);
    }

    QStockPoolService { id: pool }
}
