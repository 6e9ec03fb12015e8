// The default title-bar menu tree: first-level entries, each with second-level entries that
// may carry a third level of their own. Every leaf routes to one of the terminal's screens.
#include "server/http/services.h"

namespace vq::http {

namespace {

QJsonObject item(const char* name, const char* active, const QJsonArray& menus = {}) {
    return QJsonObject{{QStringLiteral("name"), QString::fromUtf8(name)},
                       {QStringLiteral("active"), QString::fromUtf8(active)},
                       {QStringLiteral("menus"), menus}};
}

QString ranking(int block, int field, int sort) {
    return QStringLiteral("app://qml/qml/QRankingView.qml?tab=1100#block=%1&field=%2&sort=%3")
        .arg(block)
        .arg(field)
        .arg(sort);
}

QJsonObject rankingItem(const char* name, int block, int field, int sort) {
    return item(name, ranking(block, field, sort).toUtf8().constData());
}

QJsonObject topItem(const char* name, int block) {
    return item(name, QStringLiteral("app://qml/qml/QMarketTopMonitor.qml?tab=1100#block=%1")
                          .arg(block)
                          .toUtf8()
                          .constData());
}

}  // namespace

QJsonArray defaultMenus() {
    const QJsonArray quotes{
        rankingItem("沪深A股", 1101, 1, 0),
        rankingItem("上海A股", 1102, 1, 1),
        rankingItem("深圳A股", 1103, 1, 1),
        rankingItem("创业板", 1106, 1, 1),
        rankingItem("科创板", 1124, 1, 1),
        rankingItem("中小板", 1105, 1, 1),
        rankingItem("上海B股", 1108, 1, 1),
        rankingItem("深圳B股", 1109, 1, 1),
        item("债券", "",
             QJsonArray{rankingItem("上海债券", 160103, 1, 1),
                        rankingItem("深圳债券", 160104, 1, 1)}),
    };
    const QJsonArray rankings{
        rankingItem("沪深A股涨幅排名", 1101, 34, 0),
        rankingItem("沪A涨幅排名", 1102, 34, 0),
        rankingItem("深A涨幅排名", 1103, 34, 0),
        rankingItem("创业板涨幅排名", 1106, 34, 0),
        rankingItem("科创板涨幅排名", 1124, 34, 0),
        item("综合排名", "",
             QJsonArray{topItem("沪深A综合排名", 1101), topItem("沪A综合排名", 1102),
                        topItem("深A综合排名", 1103), topItem("创业板综合排名", 1106),
                        topItem("科创板综合排名", 1124)}),
    };
    const QJsonArray indices{
        item("上证指数",
             "app://qml/qml/MQView.qml?code=1A0001&market=1#chart=default&type=1"
             "&name=上证指数&pinyin=SZZS"),
        item("深证成指",
             "app://qml/qml/MQView.qml?code=399001&market=2#chart=default&type=1"
             "&name=深证成指&pinyin=SZCZ"),
    };
    const QJsonArray monitors{
        item("短线精灵", "app://qml/qml/QMarketHotMonitor.qml"),
        item("板块监控", "app://qml/qml/QMarketBlockMonitor.qml"),
        item("策略看板", "app://qml/qml/QStrategyView.qml"),
    };
    const QJsonArray picks{
        item("股票池", "app://qml/qml/StockPoolView.qml"),
        item("云选股", "app://qml/qml/VoverIvevoView.qml"),
    };
    return QJsonArray{
        item("首页", "app://qml/qml/HomeView.qml"),
        item("自选股", "app://qml/qml/MyStockView.qml"),
        item("行情报价", "", quotes),
        item("排名", "", rankings),
        item("指数", "", indices),
        item("监控", "", monitors),
        item("选股", "", picks),
    };
}

}  // namespace vq::http
