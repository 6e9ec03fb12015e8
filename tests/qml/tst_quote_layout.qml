import QtQuick 2.15
import QtTest 1.15
import HFileIO 1.0
import "qrc:/qml/js/formula_map.js" as FormulaMap
import "qrc:/qml/js/superposition.js" as Overlays

TestCase {
    name: "QuoteViewFiles"

    HFileIO { id: fileio }

    function names(list) {
        return list.map(function(e) { return e.fname; });
    }

    // Damaged layout files fall back to the default for the damaged chart only.
    function test_layoutParse_data() {
        return [
            { tag: "missing", text: "", repaired: true, kline: ["KLINE", "MA"], klineSub: ["VOL", "MACD"] },
            { tag: "truncated", text: '{"kline":{"main_charts":[{"fname":"KLINE","s":"KSC',
              repaired: true, kline: ["KLINE", "MA"], klineSub: ["VOL", "MACD"] },
            { tag: "array", text: "[1,2]", repaired: true, kline: ["KLINE", "MA"], klineSub: ["VOL", "MACD"] },
            { tag: "main without bars", text: '{"kline":{"main_charts":[{"fname":"MA","s":"NO","c":"NO"}],"sub_charts":[]},'
              + '"mline":{"main_charts":[{"fname":"MLINE","s":"MSCALES","c":"MCROSSHAIR"}],"sub_charts":[]}}',
              repaired: true, kline: ["KLINE", "MA"], klineSub: ["VOL", "MACD"], mlineSub: [] },
            { tag: "entry without name", text: '{"kline":{"main_charts":[{"fname":"KLINE","s":"KSCALES","c":"KCROSSHAIR"}],"sub_charts":[{"s":"KSCALES"}]},'
              + '"mline":{"main_charts":[{"fname":"MLINE","s":"MSCALES","c":"MCROSSHAIR"}],"sub_charts":[]}}',
              repaired: true, kline: ["KLINE", "MA"], klineSub: ["VOL", "MACD"], mlineSub: [] },
            { tag: "user layout kept", text: '{"kline":{"main_charts":[{"fname":"KLINE","s":"KSCALES","c":"KCROSSHAIR"},{"fname":"BOLL","s":"NO","c":"NO"}],'
              + '"sub_charts":[{"fname":"KDJ","s":"KSCALES","c":"KCROSSHAIR"}]},'
              + '"mline":{"main_charts":[{"fname":"MLINE","s":"MSCALES","c":"MCROSSHAIR"}],"sub_charts":[]},"extra":1}',
              repaired: false, kline: ["KLINE", "BOLL"], klineSub: ["KDJ"], mlineSub: [] },
        ];
    }

    function test_layoutParse(data) {
        var r = FormulaMap.parse(data.text);
        compare(r.repaired, data.repaired);
        compare(names(r.layout.kline.main_charts), data.kline);
        compare(names(r.layout.kline.sub_charts), data.klineSub);
        compare(names(r.layout.mline.main_charts), ["MLINE"]);
        compare(names(r.layout.mline.sub_charts), data.mlineSub !== undefined ? data.mlineSub : ["分时成交", "MACD"]);
    }

    function test_defaultScalesAndCrosshairs() {
        var d = FormulaMap.defaultLayout();
        compare([d.kline.main_charts[0].s, d.kline.main_charts[0].c], ["KSCALES", "KCROSSHAIR"]);
        compare([d.kline.main_charts[1].s, d.kline.main_charts[1].c], ["NO", "NO"]);
        compare([d.mline.main_charts[0].s, d.mline.main_charts[0].c], ["MSCALES", "MCROSSHAIR"]);
        compare([d.mline.sub_charts[0].s, d.mline.sub_charts[0].c], ["KSCALES", "KCROSSHAIR"]);
    }

    // A corrupt file is rewritten with the default; the other files of the folder stay.
    function test_corruptFileReplaced() {
        fileio.writedFileDefaultPath("formula_map.json", '{"kline":{"main_');
        fileio.writedFileDefaultPath("formula.keep", "untouched");
        var layout = FormulaMap.load(fileio);
        compare(names(layout.kline.sub_charts), ["VOL", "MACD"]);
        compare(FormulaMap.parse(fileio.readFileDefaultPath("formula_map.json")).repaired, false);
        compare(fileio.readFileDefaultPath("formula.keep"), "untouched");
    }

    function test_indicatorChoice() {
        var l = FormulaMap.defaultLayout();
        verify(!FormulaMap.addSub(l, "kline", "VOL"), "a shown indicator is not added twice");
        verify(FormulaMap.addSub(l, "kline", "KDJ"));
        compare(names(l.kline.sub_charts), ["VOL", "MACD", "KDJ"]);
        verify(FormulaMap.removeSub(l, "kline", "MACD"));
        verify(!FormulaMap.removeSub(l, "kline", "MACD"));
        compare(names(l.kline.sub_charts), ["VOL", "KDJ"]);
        FormulaMap.setMain(l, "kline", "BOLL");
        compare(names(l.kline.main_charts), ["KLINE", "BOLL"]);
        FormulaMap.setMain(l, "kline", "KLINE");
        compare(names(l.kline.main_charts), ["KLINE"]);
        compare(names(l.mline.sub_charts), ["分时成交", "MACD"], "the other chart is untouched");
    }

    function test_group_data() {
        return [
            { tag: "fewer than sub-charts", group: ["BOLL", "KDJ"], main: ["KLINE", "BOLL"], sub: ["KDJ", "MACD"] },
            { tag: "more than sub-charts", group: ["EXPMA", "KDJ", "RSI", "WR"], main: ["KLINE", "EXPMA"], sub: ["KDJ", "RSI", "WR"] },
            { tag: "main only", group: ["BOLL"], main: ["KLINE", "BOLL"], sub: ["VOL", "MACD"] },
            { tag: "empty group", group: [], main: ["KLINE", "MA"], sub: ["VOL", "MACD"] },
        ];
    }

    function test_group(data) {
        var l = FormulaMap.defaultLayout();
        FormulaMap.applyGroup(l, "kline", data.group);
        compare(names(l.kline.main_charts), data.main);
        compare(names(l.kline.sub_charts), data.sub);
    }

    function test_panelIndicators() {
        var l = FormulaMap.defaultLayout();
        compare(FormulaMap.panelIndicators(l), { "main": "MA", "sub": "VOL" });
        FormulaMap.setMain(l, "kline", "KLINE");
        FormulaMap.removeSub(l, "kline", "VOL");
        FormulaMap.removeSub(l, "kline", "MACD");
        compare(FormulaMap.panelIndicators(l), { "main": "MA", "sub": "VOL" });
    }

    // Overlays: five per chart, each once, never the main security itself.
    function test_overlayAdd() {
        var doc = Overlays.parse("").doc;
        var codes = ["600001", "600002", "600003", "600004", "600005"];
        for (var i = 0; i < codes.length; ++i)
            compare(Overlays.add(doc, "kline", codes[i], 1, "600000", 1), "added");
        compare(Overlays.add(doc, "kline", "600003", 1, "600000", 1), "duplicate");
        compare(Overlays.add(doc, "kline", "600006", 1, "600000", 1), "full");
        compare(doc.kline.length, 5);
        compare(Overlays.add(doc, "mline", "600000", 1, "600000", 1), "duplicate");
        compare(Overlays.add(doc, "mline", "600000", 2, "600000", 1), "added");
        Overlays.clear(doc, "kline");
        compare(doc.kline.length, 0);
        compare(doc.mline.length, 1);
    }

    function test_overlayParse_data() {
        return [
            { tag: "garbage", text: "{{{", kline: 0, repaired: true },
            { tag: "not lists", text: '{"kline":3,"mline":"x"}', kline: 0, repaired: true },
            { tag: "seven with a duplicate", repaired: true, kline: 5,
              text: '{"kline":[{"code":"1","market":1},{"code":"1","market":1},{"code":"2","market":1},'
                    + '{"code":"3","market":1},{"code":"4","market":1},{"code":"5","market":1},{"code":"6","market":1}],"mline":[]}' },
            { tag: "well formed", text: '{"kline":[{"code":"600519","market":1}],"mline":[]}', kline: 1, repaired: false },
        ];
    }

    function test_overlayParse(data) {
        var r = Overlays.parse(data.text);
        compare(r.doc.kline.length, data.kline);
        compare(r.repaired, data.repaired);
    }

    function test_overlayColors() {
        compare(Overlays.colorText(1), "#CCCCCC");
        compare(Overlays.colorText(2), "#A84000");
        compare(Overlays.colorText(6), "#CCCCCC");
    }
}
