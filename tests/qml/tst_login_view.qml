import QtQuick 2.15
import QtTest 1.15
import "../support/items.js" as Items
import QtQuick.LocalStorage 2.15 as Storage

TestCase {
    id: test
    name: "LoginView"
    when: windowShown

    property var view: null

    function db() {
        return Storage.LocalStorage.openDatabaseSync("kvst", "", "stock db", 100000);
    }

    function count(sql) {
        var n = -1;
        db().readTransaction(function(tx) { n = tx.executeSql(sql).rows.item(0).n; });
        return n;
    }


    function openView() {
        var component = Qt.createComponent("qrc:/qml/LoginView.qml");
        compare(component.status, Component.Ready, component.errorString());
        view = component.createObject(null);
        verify(view !== null);
        return view;
    }

    function cleanup() {
        if (view) {
            view.destroy();
            view = null;
        }
        wait(0);
    }

    function init() {
        testSetup.resetServer();
        testSetup.useControlServer(true);
        db().transaction(function(tx) {
            tx.executeSql("CREATE TABLE IF NOT EXISTS user_info (user_name text primary key not null, user_password text)");
            tx.executeSql("DELETE FROM user_info");
        });
    }

    function test_presetCommandsAndTables() {
        openView();
        compare(count("SELECT count(*) AS n FROM StockDictionary WHERE type = 0 AND market = 0"), 51);
        compare(count("SELECT count(*) AS n FROM mystock_cmd"), 0);
        var route = "";
        db().readTransaction(function(tx) {
            route = tx.executeSql("SELECT active FROM StockDictionary WHERE code = '7' AND market = 0").rows.item(0).active;
        });
        compare(route, "app://qml/qml/QRankingView.qml?tab=1100#block=1101&field=1&sort=0");
        // A second start rewrites the same rows instead of adding more.
        cleanup();
        openView();
        compare(count("SELECT count(*) AS n FROM StockDictionary WHERE market = 0"), 51);
    }

    function test_loginWaitsForServerAddresses() {
        openView();
        var button = Items.find(view.contentItem, "loginButton");
        tryCompare(button, "enabled", true, 5000);
        compare(view.state_, "ready");
    }

    function test_serverAddressFailure() {
        testSetup.useControlServer(false);
        openView();
        var popup = view.popupItem();
        tryCompare(popup, "opened", true, 10000);
        compare(popup.message, "链接服务器失败，\n稍后重试！");
        compare(Items.find(view.contentItem, "loginButton").enabled, false);
        // The message dismissed by a press outside leaves the window trying again; once the
        // server answers, the window is ready and the message is gone.
        popup.close();
        testSetup.useControlServer(true);
        tryCompare(view, "state_", "ready", 10000);
        compare(popup.opened, false);
        compare(Items.find(view.contentItem, "loginButton").enabled, true);
    }

    function test_emptyFields_data() {
        return [
            { tag: "no user name", user: "", password: "x", message: "用户名不能为空" },
            { tag: "no password", user: "demo", password: "", message: "密码不能为空" }
        ];
    }

    function test_emptyFields(data) {
        openView();
        tryCompare(view, "state_", "ready", 5000);
        Items.find(view.contentItem, "userField").text = data.user;
        Items.find(view.contentItem, "passwordField").text = data.password;
        view.login();
        var popup = view.popupItem();
        tryCompare(popup, "opened", true, 2000);
        compare(popup.message, data.message);
        compare(view.state_, "ready");
    }

    function test_wrongPasswordShowsServerInfo() {
        openView();
        tryCompare(view, "state_", "ready", 5000);
        Items.find(view.contentItem, "userField").text = "demo";
        Items.find(view.contentItem, "passwordField").text = "wrong";
        view.login();
        var popup = view.popupItem();
        tryCompare(popup, "opened", true, 5000);
        compare(popup.message, "用户名或密码错误");
        compare(view.state_, "ready");
    }

    function test_fullChain() {
        testSetup.writeDataFile("formula.json", "kept");
        testSetup.writeDataFile("stock_rzrq.json", "old margin list");
        openView();
        tryCompare(view, "state_", "ready", 5000);
        Items.find(view.contentItem, "userField").text = "demo";
        // Characters of the form syntax reach the server as typed.
        Items.find(view.contentItem, "passwordField").text = "de&mo=1";
        Items.find(view.contentItem, "rememberBox").checked = true;
        var closed = false;
        view.closing.connect(function() { closed = true; });
        view.login();
        tryVerify(function() { return closed; }, 10000);

        verify(testSetup.lastLoginForm().indexOf("menu=v2") >= 0);
        // An empty watchlist gets its ten groups once.
        compare(testSetup.groupUpdates(), 1);
        // No formula address: the old file stays as it was.
        compare(testSetup.readDataFile("formula.json"), "kept");
        var pool = JSON.parse(testSetup.readDataFile("StockPool.json"));
        compare(pool.code, "0000");
        compare(pool.result.length, 1);
        compare(pool.result[0].codes[0].code, "600519");
        compare(pool.result[0].codes[0].market_id, "1");
        compare(JSON.parse(testSetup.readDataFile("board.json")).code, "0000");
        // A failed answer writes nothing.
        compare(testSetup.readDataFile("stock_rzrq.json"), "old margin list");
        compare(count("SELECT count(*) AS n FROM action_cmd WHERE do_action = 'LOGIN'") > 0, true);
        compare(count("SELECT count(*) AS n FROM user_info"), 1);

        // The next start shows the remembered user with the password deciphered.
        cleanup();
        openView();
        compare(Items.find(view.contentItem, "userField").text, "demo");
        compare(Items.find(view.contentItem, "passwordField").text, "de&mo=1");
        compare(Items.find(view.contentItem, "rememberBox").checked, true);
    }
}
