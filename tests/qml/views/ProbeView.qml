import QtQuick 2.15

// A view for the tab-area tests: records what the tab area hands it.
FocusScope {
    id: probe
    objectName: "probeView"
    property var queries: []
    property var updates: []
    property int myStockChanges: 0
    property int keysSeen: 0
    signal updateTabsUrl(var item, var codeInfo)
    signal changeToMQView(var codeInfo)

    function setQuery(q) { queries = queries.concat([q]); }
    function updateQuery(q) { updates = updates.concat([q]); }
    function onMyStockChange() { myStockChanges += 1; }

    // Sees every key but takes none, so the tab area gets them after it.
    Keys.onPressed: keysSeen += 1
}
