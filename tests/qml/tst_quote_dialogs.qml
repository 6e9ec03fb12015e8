import QtQuick 2.15
import QtTest 1.15
import QBaseService 1.0
import "qrc:/qml/common"
import "../support/items.js" as Items

Item {
    id: host
    width: 400
    height: 300

    QBaseService { id: base }

    Component {
        id: paramDialog
        FormulaParamDlg {}
    }
    Component {
        id: statsDialog
        QIntervalStatisticsDlg {}
    }

    TestCase {
        name: "QuoteDialogs"
        when: windowShown

        property var dlg: null
        property int saves: 0

        function cleanup() {
            if (dlg)
                dlg.destroy();
            dlg = null;
            saves = 0;
        }

        function openParams(name) {
            dlg = paramDialog.createObject(host);
            dlg.formulaParamSetFinal.connect(function() { saves += 1; });
            dlg.setFormulaName(name);
            dlg.show();
            waitForRendering(dlg.contentItem);
            return dlg;
        }

        function values(name) {
            return base.getFormula(name).map(function(p) { return p.value; });
        }

        // Typed text is clamped to the parameter's range and saved at once, rounded by the
        // service; text with more than four decimals is not accepted.
        function test_typedValue_data() {
            return [
                { tag: "within range", typed: "12", stored: 12 },
                { tag: "above maximum", typed: "500", stored: 90 },
                { tag: "below minimum", typed: "1", stored: 2 },
                { tag: "decimals", typed: "7.25", stored: 7.25 },
                { tag: "four decimals", typed: "7.1234", stored: 7.123 },
            ];
        }

        function test_typedValue(data) {
            openParams("KDJ");
            dlg.reset();
            saves = 0;
            var spin = Items.find(dlg.contentItem, "paramSpin_0");
            verify(spin);
            // The dialog is a window of its own; the typed text takes the spin box's path.
            verify(spin.validator.regExp.test(data.typed));
            dlg.setRowValue(0, spin.valueFromText(data.typed, spin.locale));
            tryCompare(dlg.rows[0], "value", Math.round(data.stored * 10000));
            compare(values("KDJ")[0], data.stored);
            compare(saves, 1);
            compare(values("KDJ").slice(1), [3, 3], "the other parameters are untouched");
        }

        function test_stepAndReset() {
            openParams("VOL");
            dlg.reset();
            saves = 0;
            var spin = Items.find(dlg.contentItem, "paramSpin_1");
            spin.increase();
            spin.valueModified();
            compare(values("VOL"), [5, 11]);
            mouseClick(Items.find(dlg.contentItem, "resetButton"));
            compare(values("VOL"), [5, 10]);
            compare(saves, 2, "one reload per saved change, one for the reset");
            compare(Items.find(dlg.contentItem, "paramSpin_1").displayText, "10");
        }

        function test_formulaWithoutParameters() {
            openParams("KLINE");
            compare(dlg.rows.length, 0);
            dlg.reset();
            compare(saves, 1);
            compare(base.getFormula("KLINE").length, 0);
        }

        function statistics(sdate, edate) {
            return { "dates": ["2026-12-01", "2026-12-02", "2026-12-03", "2026-12-04"],
                     "sdate": sdate, "edate": edate,
                     "array1": [{ "name": "总数", "vol": "2个" }, { "name": "阴线", "vol": "1个" }],
                     "array2": [{ "name": "阳线", "vol": "1个" }] };
        }

        // Pickers follow the model silently; only a user's choice asks the chart again.
        function test_statisticsPickers() {
            dlg = statsDialog.createObject(host);
            var asked = [];
            dlg.setStartEndDate.connect(function(s, e) { asked.push([s, e]); });
            dlg.setModel(statistics("2026-12-02", "2026-12-03"));
            dlg.show();
            waitForRendering(dlg.contentItem);
            var start = Items.find(dlg.contentItem, "startDatePicker");
            var end = Items.find(dlg.contentItem, "endDatePicker");
            compare(start.currentIndex, 1);
            compare(end.currentIndex, 2);
            compare(asked.length, 0);
            end.box.currentIndex = 3;
            end.box.activated(3);
            compare(asked, [["2026-12-02", "2026-12-04"]]);
            // A date the list lacks leaves the picker where it was.
            dlg.setModel(statistics("1999-01-01", "2026-12-04"));
            compare(start.currentIndex, 1);
            compare(asked.length, 1);
            compare(Items.find(dlg.contentItem, "leftFigures").count, 2);
            compare(Items.find(dlg.contentItem, "rightFigures").count, 1);
        }

        function test_statisticsClose() {
            dlg = statsDialog.createObject(host);
            var closed = 0;
            dlg.clickedClose.connect(function() { closed += 1; });
            dlg.setModel(statistics("2026-12-01", "2026-12-04"));
            dlg.show();
            dlg.close();
            compare(closed, 1);
        }
    }
}
