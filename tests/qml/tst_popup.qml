import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/common"

Item {
    id: host
    width: 400
    height: 300

    QPopup { id: popup }

    TestCase {
        name: "QPopup"
        when: windowShown

        property var answers: []

        function init() {
            answers = [];
        }

        function record(ok) {
            answers.push(ok);
        }

        function button(name) {
            var row = popup.contentItem.children[1];
            for (var i = 0; i < row.children.length; ++i)
                if (row.children[i].objectName === name)
                    return row.children[i];
            return null;
        }

        function test_confirmOnly() {
            popup.showMsg("保存成功", record, false);
            tryCompare(popup, "opened", true);
            verify(!button("cancelButton").visible);
            compare(button("confirmButton").width, popup.contentItem.width);
            compare(button("confirmButton").text, "确  定");
            mouseClick(button("confirmButton"));
            tryCompare(popup, "opened", false);
            compare(answers, [true]);
        }

        function test_cancelAndCustomTexts() {
            popup.showMsg("删除吗？", record, true, "不了", "删除");
            tryCompare(popup, "opened", true);
            // The row lays the two buttons out side by side before they can be clicked.
            tryCompare(button("confirmButton"), "x", popup.contentItem.width / 2);
            compare(button("cancelButton").text, "不了");
            compare(button("confirmButton").text, "删除");
            mouseClick(button("cancelButton"));
            tryCompare(popup, "opened", false);
            compare(answers, [false]);
        }

        function test_pressOutsideClosesWithoutCallback() {
            popup.showMsg("提示", record, false);
            tryCompare(popup, "opened", true);
            mouseClick(host, 2, 2);
            tryCompare(popup, "opened", false);
            compare(answers, []);
        }

        function test_escapeAndNullCallback() {
            popup.showMsg("提示", null, false);
            tryCompare(popup, "opened", true);
            keyClick(Qt.Key_Escape);
            tryCompare(popup, "opened", false);
            popup.showMsg("再来", null, false);
            tryCompare(popup, "opened", true);
            mouseClick(button("confirmButton"));  // a null callback is simply not called
            tryCompare(popup, "opened", false);
        }
    }
}
