// The command rows of the keyboard search: typing the code runs the command.
.pragma library

function ranking(block, field, sort) {
    return "app://qml/qml/QRankingView.qml?tab=1100#block=" + block + "&field=" + field
            + "&sort=" + sort;
}

function composite(block) {
    return "app://qml/qml/QMarketTopMonitor.qml?tab=1100#block=" + block;
}

function cycle(code) {
    return "app://curview/?chart=kline&cycle=" + code;
}

function rows() {
    var list = [];
    function add(code, name, pinyin, active) {
        list.push({ "code": code, "name": name, "pinyin": pinyin, "active": active });
    }

    // Block quote lists.
    add("0", "深圳中小板行情报价", "", ranking(1105, 1, 1));
    add("1", "上海Ａ股行情报价", "", ranking(1102, 1, 1));
    add("2", "上海Ｂ股行情报价", "", ranking(1108, 1, 1));
    add("3", "深圳Ａ股行情报价", "", ranking(1103, 1, 1));
    add("4", "深圳Ｂ股行情报价", "", ranking(1109, 1, 1));
    add("9", "深圳创业板行情报价", "", ranking(1106, 1, 1));
    add("5", "上海债券行情报价", "", ranking(160103, 1, 1));
    add("6", "深圳债券行情报价", "", ranking(160104, 1, 1));
    add("7", "沪深A股行情报价", "", ranking(1101, 1, 0));
    add("8", "沪深B股行情报价", "", ranking(1107, 1, 1));

    // Function-key commands: the code is the number of the key that does the same.
    add("01", "成交明细", "", "app://curview/?#chart=detail");
    add("03", "上证指数", "", "app://qml/qml/MQView.qml?code=1A0001&market=1#chart=default&type=1&name=上证指数&pinyin=SZZS");
    add("04", "深证成指", "", "app://qml/qml/MQView.qml?code=399001&market=2#chart=default&type=1&name=深证成指&pinyin=SZCZ");
    add("05", "周期切换", "", "app://curview/?#chart=mk_line");
    add("06", "自选股", "", "app://qml/qml/MyStockView.qml");
    add("08", "周期切换", "", "app://curview/?#chart=mk_cycle");
    add("09", "深度分析", "", "app://curview/?#chart=f9");
    add("10", "个股资料", "", "app://curview/?#chart=f10");
    add("11", "个股诊断", "", "app://curview/?#chart=f11");

    // Gain rankings.
    add("60", "沪深A股涨幅排名", "HSAGZFPM", ranking(1101, 34, 0));
    add("61", "沪A涨幅排名", "HAZFPM", ranking(1102, 34, 0));
    add("62", "沪B涨幅排名", "HBZFPM", ranking(1108, 34, 0));
    add("63", "深A涨幅排名", "SAZFPM", ranking(1103, 34, 0));
    add("64", "深B涨幅排名", "SBZFPM", ranking(1109, 34, 0));
    add("65", "沪债涨幅排名", "HZZFPM", ranking(160103, 34, 0));
    add("66", "深债涨幅排名", "SZZFPM", ranking(160104, 34, 0));
    add("67", "沪深A股涨幅排名", "HSAGZFPM", ranking(1101, 34, 0));
    add("68", "沪深B股涨幅排名", "HSBGZFPM", ranking(1107, 34, 0));
    add("69", "中小板涨幅排名", "ZXBZFPM", ranking(1105, 34, 0));
    add("612", "创业板涨幅排名", "CYBZFPM", ranking(1106, 34, 0));
    add("618", "科创板涨幅排名", "KCBZFPM", ranking(1124, 34, 0));

    // Composite rankings.
    add("80", "沪深A综合排名", "HSAZHPM", composite(1101));
    add("81", "沪A综合排名", "HAZHPM", composite(1102));
    add("82", "沪B综合排名", "HBZHPM", composite(1108));
    add("83", "深A综合排名", "SAZHPM", composite(1103));
    add("84", "深B综合排名", "SBZHPM", composite(1109));
    add("85", "沪债综合排名", "HZZHPM", composite(160103));
    add("86", "深债综合排名", "SZZHPM", composite(160104));
    add("87", "沪深A综合排名", "HSAZHPM", composite(1101));
    add("88", "沪深B综合排名", "HSBZHPM", composite(1107));
    add("89", "中小板综合排名", "ZXBZHPM", composite(1105));
    add("812", "创业板综合排名", "CYBZHPM", composite(1106));
    add("818", "科创板综合排名", "KCBZHPM", composite(1124));

    // Cycle switches.
    add("91", "1分钟线", "1FZX", cycle(34));
    add("92", "5分钟线", "5FZX", cycle(35));
    add("93", "15分钟线", "15FZX", cycle(36));
    add("94", "30分钟线", "30FZX", cycle(37));
    add("95", "60分钟线", "60FZX", cycle(38));
    add("96", "日线", "RKX", cycle(33));
    add("97", "周线", "ZKX", cycle(39));
    add("98", "月线", "YKX", cycle(40));
    return list;
}
