import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/common"
import "qrc:/qml/quote/paint"

// The text dialog of text drawings, the drawing tool palette and the drawing menu, against a
// chart that records the calls it gets.
Item {
    id: host
    width: 400
    height: 700

    QtObject {
        id: chart
        property var calls: []
        function setPaintBoardQChart(name) { calls.push("tool " + name); }
        function setPaintBoardActive(b) { calls.push("active " + b); }
        function setStyleCommand(i, c) { calls.push("style " + i + " " + c); }
    }

    Component { id: textDialog; QTextEditDlg {} }
    Component { id: panelComponent; PaintToolPanel {} }
    Component { id: menuComponent; PaintMenu {} }

    TestCase {
        name: "PaintDialogs"
        when: windowShown

        function init() { chart.calls = []; }

        function test_textDialogHandsBackTextColourAndSize() {
            var dlg = textDialog.createObject(host);
            var got = null;
            dlg.clickedOK.connect(function(t, c, f) { got = [t, c, f]; });
            dlg.setText("第一行\n\"第二行\"");
            dlg.setColor("#ff3d3d");
            dlg.setFont("Microsoft YaHei,-1,12,5,50,0,0,0,0,0");
            compare(dlg.pixelSize(), 12);
            dlg.font = dlg.withPixelSize(20);
            dlg.accept();
            compare(got[0], "第一行\n\"第二行\"");
            compare(got[1], "#ff3d3d");
            compare(got[2], "Microsoft YaHei,-1,20,5,50,0,0,0,0,0");
            dlg.destroy();
        }

        function test_textDialogCancel() {
            var dlg = textDialog.createObject(host);
            var cancelled = 0;
            dlg.clickedCancel.connect(function() { cancelled += 1; });
            dlg.cancel();
            compare(cancelled, 1);
            dlg.destroy();
        }

        function test_panelChoosesEveryToolKind_data() {
            return [
                { tag: "segment", name: "CPaintSegment" },
                { tag: "trend line", name: "CPaintTrendLine" },
                { tag: "text", name: "CPaintText" },
                { tag: "golden collection", name: "CPaintGoldenCollect" },
                { tag: "clear", name: "clear" }
            ];
        }

        function test_panelChoosesEveryToolKind(data) {
            var panel = panelComponent.createObject(host, { "chart": chart });
            compare(panel.tools.length, 22);
            var button = findChild(panel, "paintTool_" + data.name);
            verify(button);
            mouseClick(button);
            compare(chart.calls[chart.calls.length - 1], "tool " + data.name);
            compare(panel.chosen, data.name === "clear" ? "" : data.name);
            panel.destroy();
        }

        function test_menuCommands_data() {
            return [
                { tag: "delete", index: 1, value: 0 },
                { tag: "thick", index: 8, value: 0 },
                { tag: "dotted", index: 5, value: 0 },
                { tag: "text", index: 2, value: 0 }
            ];
        }

        function test_menuCommands(data) {
            var menu = menuComponent.createObject(host);
            var seen = [];
            menu.styleCommand.connect(function(i, v) { seen.push([i, v]); });
            menu.popupFor(chart, "line", 10, 10, host);
            menu.command(data.index, data.value);
            compare(chart.calls[0], "style " + data.index + " " + data.value);
            compare(seen.length, 1);
            menu.destroy();
        }

        function test_menuColourIsAnRgbInteger() {
            var menu = menuComponent.createObject(host);
            compare(menu.colorValue("#0fc351"), 0x0fc351);
            menu.popupFor(chart, "text", 10, 10, host);
            menu.command(0, menu.colorValue("#ff3d3d"));
            compare(chart.calls[0], "style 0 " + 0xff3d3d);
            menu.destroy();
        }
    }
}
