#include "server/market_http/documents.h"

#include "server/market/calendar.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vq::market_http {

using namespace vq::market;

namespace {

QJsonObject envelope(const QJsonArray& data) {
    return QJsonObject{{"code", "0000"}, {"msg", "success"}, {"data", data}};
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

bool isAShare(const Security& s) {
    return s.type == SecType::Stock;
}

}  // namespace

QJsonObject boardDocument(const Market& market) {
    QJsonArray data;
    const auto& secs = market.securities();
    auto add = [&](const BlockInfo& b) {
        QJsonObject o{{"block_id", double(b.id)},
                      {"name", text(b.name)},
                      {"category", b.category},
                      {"count", int(b.members.size())}};
        if (b.security >= 0) {
            const Security& s = secs[size_t(b.security)];
            o.insert("code", text(s.code));
            o.insert("market", int(s.market));
        }
        data.append(o);
    };
    for (int cat : {int(Industry), int(Region), int(Concept)})
        for (int64_t id : market.blocksOfCategory(cat))
            add(*market.block(id));
    // Preset blocks; every index that stands for one is listed too, so that each index
    // code resolves to its block.
    for (const Security& s : secs) {
        if (s.type != SecType::Index || !s.blockId)
            continue;
        const BlockInfo* b = market.block(s.blockId);
        if (!b)
            continue;
        data.append(QJsonObject{{"block_id", double(b->id)},
                                {"name", text(b->name)},
                                {"category", 0},
                                {"count", int(b->members.size())},
                                {"code", text(s.code)},
                                {"market", int(s.market)},
                                {"index_code", text(s.code)},
                                {"index_market", int(s.market)}});
    }
    return envelope(data);
}

QJsonObject ratingDocument(const Market& market) {
    QJsonArray data;
    for (const Security& s : market.securities()) {
        if (!isAShare(s) || s.rating <= 0)
            continue;
        data.append(QJsonObject{{"code", text(s.code)},
                                {"market", int(s.market)},
                                {"name", text(s.name)},
                                {"rating", s.rating},
                                {"rating_text", ratingText(s.rating)}});
    }
    return envelope(data);
}

QJsonObject marginDocument(const Market& market) {
    QJsonArray data;
    for (const Security& s : market.securities()) {
        if (!s.margin)
            continue;
        const Margin m = market.margin(s.index);
        data.append(QJsonObject{{"code", text(s.code)},
                                {"market", int(s.market)},
                                {"name", text(s.name)},
                                {"margin", 1},
                                {"finance_balance", m.financeBalance},
                                {"finance_buy", m.financeBuy},
                                {"short_balance", double(m.shortBalance)},
                                {"short_sell", double(m.shortSell)}});
    }
    return envelope(data);
}

int breadthBand(const Quote& q) {
    constexpr int kFlat = 6;
    if (q.vol <= 0 || q.close == q.pre_close || q.pre_close <= 0)
        return kFlat;
    // Rounded to a ten-thousandth of a percent: prices travel as floats, and 10.00 → 10.20
    // would otherwise come out a hair below 2 %.
    const double r =
        std::round((double(q.close) - double(q.pre_close)) / double(q.pre_close) * 1e6) / 1e6;
    if (r > 0) {
        if (q.rise_limit > 0 && q.close >= q.rise_limit - 1e-4f)
            return 0;
        return r >= 0.08 ? 1 : r >= 0.06 ? 2 : r >= 0.04 ? 3 : r >= 0.02 ? 4 : 5;
    }
    if (q.fall_limit > 0 && q.close <= q.fall_limit + 1e-4f)
        return 12;
    const double a = -r;
    return a >= 0.08 ? 11 : a >= 0.06 ? 10 : a >= 0.04 ? 9 : a >= 0.02 ? 8 : 7;
}

QJsonObject breadthDocument(const Market& market) {
    const SnapshotPtr snap = market.snapshot();
    // Bands from limit up down to limit down; the flat band sits between 0-2% up and down.
    struct Band {
        const char* section;
        int type;
    };
    static const Band kBands[] = {{"涨停", 1},  {">8%", 1},   {"6-8%", 1},  {"4-6%", 1},
                                  {"2-4%", 1},  {"0-2%", 1},  {"平盘", 0},  {"0-2%", -1},
                                  {"2-4%", -1}, {"4-6%", -1}, {"6-8%", -1}, {">8%", -1},
                                  {"跌停", -1}};
    struct Group {
        const char* key;
        const char* name;
        int counts[13] = {};
        int up = 0, down = 0;
    };
    Group groups[] = {{"HS", "沪深"}, {"SH", "沪市"}, {"SZ", "深市"}, {"CY", "创业板"}};
    for (const Security& s : market.securities()) {
        if (!isAShare(s) || s.index >= snap->size())
            continue;
        const Quote& q = snap->quote(s.index);
        const int b = breadthBand(q);
        const bool chinext = s.code.rfind("300", 0) == 0 || s.code.rfind("301", 0) == 0;
        for (Group& g : groups) {
            const std::string key = g.key;
            const bool in = key == "HS" || (key == "SH" && s.market == Shanghai) ||
                            (key == "SZ" && s.market == Shenzhen) || (key == "CY" && chinext);
            if (!in)
                continue;
            ++g.counts[b];
            if (kBands[b].type > 0)
                ++g.up;
            else if (kBands[b].type < 0)
                ++g.down;
        }
    }
    QJsonObject doc;
    for (const Group& g : groups) {
        QJsonArray items;
        for (int b = 0; b < 13; ++b)
            items.append(QJsonObject{{"name", g.name},
                                     {"section", kBands[b].section},
                                     {"count", g.counts[b]},
                                     {"type", kBands[b].type}});
        items.append(
            QJsonObject{{"name", g.name}, {"section", "up_counts"}, {"count", g.up}, {"type", 1}});
        items.append(QJsonObject{
            {"name", g.name}, {"section", "down_counts"}, {"count", g.down}, {"type", -1}});
        doc.insert(g.key, items);
    }
    return doc;
}

// ---- company pages ----------------------------------------------------------------------

namespace {

QString esc(const std::string& s) {
    return QString::fromStdString(s).toHtmlEscaped();
}
QString num(double v, int decimals = 2) {
    return QString::number(v, 'f', decimals);
}

// 亿 and 万 the way the terminal shows large amounts.
QString big(double v) {
    const double a = std::abs(v);
    if (a >= 1e8)
        return num(v / 1e8) + "亿";
    if (a >= 1e4)
        return num(v / 1e4) + "万";
    return num(v, 0);
}

QString pct(double f) {
    return num(f * 100) + "%";
}

QString dateText(int ymd) {
    return QString("%1-%2-%3")
        .arg(ymd / 10000)
        .arg(ymd / 100 % 100, 2, 10, QChar('0'))
        .arg(ymd % 100, 2, 10, QChar('0'));
}

QString page(const QString& title, const Security& s, const QString& body) {
    return QString(R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>%1 %2</title>
<style>
body{background:#191b1f;color:#d6d9de;font-family:"Microsoft YaHei",sans-serif;font-size:13px;margin:16px}
h1{font-size:18px;color:#f5be4a;margin:0 0 12px}h2{font-size:15px;color:#00f4ff;border-bottom:1px solid #333;padding-bottom:4px}
table{border-collapse:collapse;margin-bottom:14px}td,th{padding:4px 12px;border-bottom:1px solid #2a2e35;text-align:right}
th{color:#92979d;font-weight:normal}td:first-child,th:first-child{text-align:left}
.up{color:#ff3d3d}.down{color:#0fc351}.note{color:#92979d}
</style></head><body>
<h1>%2（%3）%1</h1>
%4
</body></html>
)")
        .arg(title.toHtmlEscaped(), esc(s.name), esc(s.code), body);
}

QString row(const QString& label, const QString& value) {
    return "<tr><th>" + label + "</th><td>" + value + "</td></tr>";
}

QString signClass(double v) {
    return v > 0 ? "up" : v < 0 ? "down" : "";
}

struct Trend {
    double ma5 = 0, ma10 = 0, ma20 = 0, ma60 = 0, rsi = 50, ret20 = 0, ret60 = 0, volRatio = 1;
    bool ok = false;
};

Trend trendOf(const Market& market, int i) {
    Trend t;
    const KLinePage k = market.kline(i, Cycle::Day, 0, 120, Adjust::Forward);
    const auto& b = k.bars;
    if (b.size() < 61)
        return t;
    auto ma = [&](size_t n) {
        double s = 0;
        for (size_t j = b.size() - n; j < b.size(); ++j)
            s += b[j].close;
        return s / double(n);
    };
    t.ma5 = ma(5);
    t.ma10 = ma(10);
    t.ma20 = ma(20);
    t.ma60 = ma(60);
    double gain = 0, loss = 0;
    for (size_t j = b.size() - 14; j < b.size(); ++j) {
        const double d = b[j].close - b[j - 1].close;
        (d > 0 ? gain : loss) += std::abs(d);
    }
    t.rsi = gain + loss > 0 ? 100 * gain / (gain + loss) : 50;
    t.ret20 = b.back().close / b[b.size() - 21].close - 1;
    t.ret60 = b.back().close / b[b.size() - 61].close - 1;
    double v5 = 0, v20 = 0;
    for (size_t j = b.size() - 20; j < b.size(); ++j) {
        v20 += double(b[j].volume);
        if (j >= b.size() - 5)
            v5 += double(b[j].volume);
    }
    t.volRatio = v20 > 0 ? (v5 / 5) / (v20 / 20) : 1;
    t.ok = true;
    return t;
}

// Median price-earnings ratio of the profitable members of the security's industry.
double industryPe(const Market& market, const Security& s, const SnapshotPtr& snap) {
    const BlockInfo* b = market.block(s.industry);
    if (!b)
        return 0;
    std::vector<double> pes;
    for (int m : b->members) {
        const Quote& q = snap->quote(m);
        if (q.pe > 0)
            pes.push_back(q.pe);
    }
    if (pes.empty())
        return 0;
    std::nth_element(pes.begin(), pes.begin() + long(pes.size() / 2), pes.end());
    return pes[pes.size() / 2];
}

}  // namespace

QString f10Page(const Market& market, int i) {
    const Security* sp = market.security(i);
    if (!sp)
        return {};
    const Security& s = *sp;
    const Quote& q = market.snapshot()->quote(i);
    const MembershipTexts& mt = market.membership(i);
    QString body;
    body += "<h2>公司概况</h2><table>";
    body += row("证券代码", esc(s.code));
    body += row("证券简称", esc(s.name));
    body += row("上市市场", s.market == Shanghai ? "上海证券交易所" : "深圳证券交易所");
    if (s.listDate)
        body += row("上市日期", dateText(s.listDate));
    if (!mt.industry.empty()) {
        body += row("所属行业", esc(mt.industry));
        body += row("主营业务", "从事" + esc(mt.industry) + "相关产品与服务的研发、生产和销售");
    }
    if (!mt.region.empty())
        body += row("所属地区", esc(mt.region));
    if (!mt.concept.empty())
        body += row("概念板块", esc(mt.concept));
    body += row("融资融券", s.margin ? "是" : "否");
    if (s.rating)
        body += row("机构评级", ratingText(s.rating));
    body += "</table>";

    body += "<h2>股本结构</h2><table>";
    body += row("总股本", big(double(s.totalShares)) + "股");
    body += row("流通股本", big(double(s.floatShares)) + "股");
    body += row("流通比例", pct(s.totalShares ? double(s.floatShares) / double(s.totalShares) : 0));
    body += row("总市值", big(double(s.totalShares) * q.close) + "元");
    body += row("流通市值", big(double(s.floatShares) * q.close) + "元");
    body += "</table>";

    const auto fin = market.financials(i);
    if (!fin.empty()) {
        body +=
            "<h2>主要财务指标</h2><table><tr><th>年度</th><th>营业收入</th><th>净利润</"
            "th><th>每股收益</th>"
            "<th>净资产收益率</th><th>毛利率</th><th>总资产</th></tr>";
        for (auto it = fin.rbegin(); it != fin.rend(); ++it)
            body +=
                QString(
                    "<tr><td>%1</td><td>%2</td><td "
                    "class=\"%3\">%4</td><td>%5</td><td>%6</td><td>%7</td><td>%8</td></tr>")
                    .arg(it->year)
                    .arg(big(it->revenue), signClass(it->netProfit), big(it->netProfit),
                         num(it->eps, 3), pct(it->roe), pct(it->grossMargin), big(it->totalAssets));
        body += "</table>";
    }

    const auto divs = market.dividends(i);
    body += "<h2>分红送配</h2>";
    if (divs.empty()) {
        body += "<p class=\"note\">上市以来无分红送配记录。</p>";
    } else {
        body +=
            "<table><tr><th>除权除息日</th><th>每10股派现(元)</th><th>每10股送转(股)</"
            "th><th>每10股配股(股)</th>"
            "<th>配股价(元)</th></tr>";
        for (auto it = divs.rbegin(); it != divs.rend(); ++it)
            body += QString("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
                        .arg(dateText(it->exDate), num(it->cash * 10, 3),
                             num(it->bonusShares * 10, 1), num(it->rightsShares * 10, 1),
                             it->rightsPrice > 0 ? num(it->rightsPrice) : "-");
        body += "</table>";
    }
    return page("个股资料", s, body);
}

QString f9Page(const Market& market, int i) {
    const Security* sp = market.security(i);
    if (!sp)
        return {};
    const Security& s = *sp;
    const SnapshotPtr snap = market.snapshot();
    const Quote& q = snap->quote(i);
    QString body;
    body += "<h2>估值分析</h2><table>";
    const double pe = q.pe, pb = s.netAssetPerShare > 0 ? q.close / s.netAssetPerShare : 0;
    const double ipe = s.type == SecType::Stock ? industryPe(market, s, snap) : 0;
    body += row("最新价", num(q.close, s.decimals));
    body += row("市盈率", pe > 0 ? num(pe) : "亏损");
    if (ipe > 0)
        body += row("行业市盈率中位数", num(ipe));
    body += row("市净率", pb > 0 ? num(pb) : "-");
    body += row("每股收益", num(s.eps, 3));
    body += row("每股净资产", num(s.netAssetPerShare, 3));
    if (pe > 0 && ipe > 0)
        body += "</table><p class=\"note\">市盈率" +
                QString(pe < ipe * 0.8   ? "低于"
                        : pe > ipe * 1.2 ? "高于"
                                         : "接近") +
                "行业中位数。</p><table>";
    body += "</table>";

    const auto fin = market.financials(i);
    if (fin.size() >= 2) {
        body +=
            "<h2>成长能力</h2><table><tr><th>年度</th><th>营收增长</th><th>净利增长</"
            "th><th>净资产收益率</th></tr>";
        for (size_t k = fin.size() - 1; k >= 1; --k) {
            const auto& a = fin[k];
            const auto& b = fin[k - 1];
            const double rg = b.revenue > 0 ? a.revenue / b.revenue - 1 : 0;
            const double pg =
                b.netProfit != 0 ? (a.netProfit - b.netProfit) / std::abs(b.netProfit) : 0;
            body += QString(
                        "<tr><td>%1</td><td class=\"%2\">%3</td><td "
                        "class=\"%4\">%5</td><td>%6</td></tr>")
                        .arg(a.year)
                        .arg(signClass(rg), pct(rg), signClass(pg), pct(pg), pct(a.roe));
            if (k == 1 || fin.size() - k >= 5)
                break;
        }
        body += "</table>";
    }

    const Trend t = trendOf(market, i);
    if (t.ok) {
        body += "<h2>走势分析</h2><table>";
        body += row("5日均线", num(t.ma5, s.decimals));
        body += row("20日均线", num(t.ma20, s.decimals));
        body += row("60日均线", num(t.ma60, s.decimals));
        body += row("20日涨跌幅",
                    "<span class=\"" + signClass(t.ret20) + "\">" + pct(t.ret20) + "</span>");
        body += row("60日涨跌幅",
                    "<span class=\"" + signClass(t.ret60) + "\">" + pct(t.ret60) + "</span>");
        body += row("近5日量能", num(t.volRatio) + "倍于20日均量");
        body += "</table>";
    }
    // Where it stands among its industry by market value and by today's change.
    if (const BlockInfo* ind = s.type == SecType::Stock ? market.block(s.industry) : nullptr) {
        const double cap = double(s.totalShares) * q.close;
        int capRank = 1, moveRank = 1;
        for (int m : ind->members) {
            const Security& o = market.securities()[size_t(m)];
            const Quote& oq = snap->quote(m);
            capRank += double(o.totalShares) * oq.close > cap;
            moveRank += oq.rf_rate > q.rf_rate;
        }
        body += "<h2>行业地位</h2><table>";
        body += row("所属行业", esc(ind->name));
        body += row("总市值排名", QString("%1 / %2").arg(capRank).arg(ind->members.size()));
        body += row("今日涨幅排名", QString("%1 / %2").arg(moveRank).arg(ind->members.size()));
        body += "</table>";
    }
    const auto blocks = market.blocksOf(i);
    if (!blocks.empty()) {
        body += "<h2>所属板块表现</h2><table><tr><th>板块</th><th>涨跌幅</th><th>成份股</th></tr>";
        for (int64_t id : blocks) {
            const BlockInfo* b = market.block(id);
            if (!b || b->security < 0)
                continue;
            const Quote& bq = snap->quote(b->security);
            body += QString("<tr><td>%1</td><td class=\"%2\">%3</td><td>%4</td></tr>")
                        .arg(esc(b->name), signClass(bq.rf_rate), pct(bq.rf_rate))
                        .arg(b->members.size());
        }
        body += "</table>";
    }
    return page("深度分析", s, body);
}

QString f11Page(const Market& market, int i) {
    const Security* sp = market.security(i);
    if (!sp)
        return {};
    const Security& s = *sp;
    const SnapshotPtr snap = market.snapshot();
    const Quote& q = snap->quote(i);
    const Trend t = trendOf(market, i);
    // Three scores out of ten, each from plain rules that the page explains.
    double tech = 5, fund = 5, value = 5;
    QStringList notes;
    if (t.ok) {
        if (q.close > t.ma20 && t.ma5 > t.ma20) {
            tech += 2;
            notes << "股价站上20日均线，短期均线向上，技术面偏强。";
        } else if (q.close < t.ma20 && t.ma5 < t.ma20) {
            tech -= 2;
            notes << "股价运行在20日均线之下，技术面偏弱。";
        } else {
            notes << "股价在20日均线附近震荡，方向尚不明确。";
        }
        if (t.rsi > 75) {
            tech -= 1;
            notes << "RSI处于超买区域，注意短线回调风险。";
        } else if (t.rsi < 25) {
            tech += 1;
            notes << "RSI处于超卖区域，存在技术性反弹可能。";
        }
        if (t.volRatio > 1.5 && t.ret20 > 0) {
            fund += 2;
            notes << "近期放量上涨，资金关注度提升。";
        } else if (t.volRatio > 1.5 && t.ret20 < 0) {
            fund -= 2;
            notes << "近期放量下跌，资金有流出迹象。";
        } else if (t.volRatio < 0.7) {
            fund -= 1;
            notes << "成交持续萎缩，市场关注度下降。";
        }
    }
    if (q.vol > 0 && q.red_vol + q.green_vol > 0) {
        const double outer = double(q.red_vol) / double(q.red_vol + q.green_vol);
        fund += outer > 0.55 ? 1 : outer < 0.45 ? -1 : 0;
    }
    const double ipe = s.type == SecType::Stock ? industryPe(market, s, snap) : 0;
    if (q.pe <= 0 && s.type == SecType::Stock) {
        value -= 2;
        notes << "公司最近年度亏损，估值缺乏盈利支撑。";
    } else if (ipe > 0 && q.pe < ipe * 0.8) {
        value += 2;
        notes << "市盈率低于行业中位数，估值具有一定优势。";
    } else if (ipe > 0 && q.pe > ipe * 1.3) {
        value -= 1;
        notes << "市盈率高于行业中位数，估值偏高。";
    }
    tech = std::clamp(tech, 0.0, 10.0);
    fund = std::clamp(fund, 0.0, 10.0);
    value = std::clamp(value, 0.0, 10.0);
    const double total = (tech + fund + value) / 3;
    const QString verdict = total >= 6.5   ? "综合表现较好，可积极关注。"
                            : total >= 4.5 ? "综合表现一般，建议观望。"
                                           : "综合表现偏弱，注意风险。";
    QString body;
    body += "<h2>诊断结果</h2><table>";
    body += row("综合评分", num(total, 1) + " / 10");
    body += row("技术面", num(tech, 1));
    body += row("资金面", num(fund, 1));
    body += row("估值面", num(value, 1));
    body += row("今日涨跌幅",
                "<span class=\"" + signClass(q.rf_rate) + "\">" + pct(q.rf_rate) + "</span>");
    body += row("换手率", pct(q.swap));
    body += row("量比", num(q.vol_rate));
    body += "</table><p>" + verdict + "</p><h2>诊断要点</h2><ul>";
    for (const QString& n : notes)
        body += "<li>" + n.toHtmlEscaped() + "</li>";
    body += "</ul><p class=\"note\">诊断由行情数据按固定规则计算，仅供参考，不构成投资建议。</p>";
    return page("个股诊断", s, body);
}

}  // namespace vq::market_http
