import QtQuick 2.15
import QtTest 1.15
import "../support/items.js" as Items

TestCase {
    name: "LoginAgainstServer"
    when: windowShown


    function test_demoLogin() {
        verify(testSetup.serverRunning(), testSetup.serverLog());
        var component = Qt.createComponent("qrc:/qml/LoginView.qml");
        compare(component.status, Component.Ready, component.errorString());
        var view = component.createObject(null);
        var closed = false;
        view.closing.connect(function() { closed = true; });
        tryCompare(view, "state_", "ready", 10000);
        Items.find(view.contentItem, "userField").text = "demo";
        Items.find(view.contentItem, "passwordField").text = "demo123";
        var started = Date.now();
        view.login();
        tryVerify(function() { return closed; }, 20000, "login chain did not finish: "
                  + view.statusText + " / " + view.popupItem().message);
        console.info("login round trip", Date.now() - started, "ms");

        // The login answer is the process-wide login document.
        verify(String(view.services.base.getLoginValue("user.sessionId")).length > 0);
        // A new account's watchlist: exactly ten groups 自选股1 … 自选股10.
        var groups = view.services.myStock.getJson().result;
        compare(groups.length, 10);
        for (var i = 0; i < 10; ++i)
            compare(groups[i].group_name, "自选股" + (i + 1));
        var pool = JSON.parse(testSetup.readDataFile("StockPool.json"));
        compare(pool.code, "0000");
        view.destroy();
    }
}
