// Loaded into the real terminal (LD_PRELOAD) by tst_ranking_view_e2e: logs in as the demo
// user, types the command "60" and Enter (the gain ranking of the whole A-share market), and
// checks each page the table shows against the order the server computes from its own
// snapshot, fetched on a connection of the probe's own (VQ_PROBE_QUOTE names the quote
// service). PageDown must show the next page of that order; Enter opens the quote view of the
// selected row, and PageDown there must step to the next security of the list. Last, the
// command "80" opens the composite ranking of the same block with its nine lists filled.
//
// The market moves while the probe looks: a page and a snapshot fetched a moment apart may
// come from different rounds of the market. The pages shown and the snapshots fetched are
// therefore kept until some page equals some snapshot's order or the step's deadline passes.

#include "tests/e2e/probe_support.h"
#include "tests/e2e/server_ranking.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <deque>
#include <vector>

namespace {

using namespace probe;

constexpr uint32_t kBlock = 1101;  // 沪深A股
constexpr int kGainField = 34;

class Probe : public Runner {
public:
    Probe() : server_(qEnvironmentVariable("VQ_PROBE_QUOTE")) { build(); }

private:
    QObject* ranking() const {
        QObject* v = currentView();
        return v && v->objectName() == QLatin1String("rankingView") ? v : nullptr;
    }
    QObject* table() const {
        QObject* v = ranking();
        return v ? findIn(v, QStringLiteral("rankingTable")) : nullptr;
    }
    QObject* model() const {
        QObject* t = table();
        return t ? t->property("table_model").value<QObject*>() : nullptr;
    }
    QObject* quoteView() const {
        QObject* v = currentView();
        return v && v->objectName() == QLatin1String("mqView") ? v : nullptr;
    }
    QString cell(int row, int column) const {
        QString text;
        QMetaObject::invokeMethod(model(), "getRowColumnData", Q_RETURN_ARG(QString, text),
                                  Q_ARG(int, row), Q_ARG(int, column));
        return text;
    }
    QVariantMap codeInfo(int row) const {
        QJsonObject info;
        QMetaObject::invokeMethod(model(), "getCodeInfo", Q_RETURN_ARG(QJsonObject, info),
                                  Q_ARG(int, row));
        return info.toVariantMap();
    }
    QJsonObject context() const {
        QString text;
        QMetaObject::invokeMethod(model(), "getCtx", Q_RETURN_ARG(QString, text));
        return QJsonDocument::fromJson(text.toUtf8()).object();
    }
    int rows() const { return table() ? table()->property("rowCount").toInt() : 0; }

    // The page on screen (codes in row order), kept when it differs from the last one kept.
    // True when it was new.
    bool keepPage(int firstNo) {
        const int n = rows();
        if (n == 0 || cell(0, 0).toInt() != firstNo)
            return false;
        Page page;
        for (int r = 0; r < n; ++r) {
            const QVariantMap info = codeInfo(r);
            if (cell(r, 0).toInt() != firstNo + r)
                return false;
            page.push_back({info.value("code").toString(), info.value("market").toInt()});
        }
        if (!pages_.empty() && pages_.back() == page)
            return false;
        pages_.push_back(page);
        if (pages_.size() > 40)
            pages_.pop_front();
        return true;
    }

    // Whether a page the table showed from `firstNo` on is the server's order as computed
    // here from one of its snapshots. The table and the probe see the market at different
    // moments (the terminal's pages lag behind on a busy machine), so the pages shown and
    // the same rows of the snapshots fetched (one after each new page, at least one a
    // second) are both kept, until some page equals some snapshot's order exactly. Fetching
    // no faster leaves the terminal, in whose thread the probe runs, its time for its pages.
    bool pageMatchesServer(int firstNo) {
        const bool newPage = keepPage(firstNo);
        if (!fetching_ && (newPage || !sinceFetch_.isValid() || sinceFetch_.elapsed() > 1000)) {
            fetching_ = true;
            sinceFetch_.start();
            server_.fetch(kBlock);
        }
        if (fetching_ && server_.ready()) {
            fetching_ = false;
            const auto order =
                server_.ranked([](const vqp::Snapshot& s) { return double(s.rf_rate); }, false);
            const size_t from = size_t(firstNo - 1);
            const size_t to = std::min(order.size(), from + size_t(rows()));
            total_ = order.size();
            if (from < to)
                snapshots_.emplace_back(order.begin() + long(from), order.begin() + long(to));
            if (snapshots_.size() > 60)
                snapshots_.pop_front();
        }
        for (const Page& page : pages_) {
            for (const Page& ranked : snapshots_) {
                if (page != ranked)
                    continue;
                say(QStringLiteral("ok rows %1-%2 of %3 in the server's order (%4 pages and %5 "
                                   "snapshots compared)")
                        .arg(firstNo)
                        .arg(firstNo + int(page.size()) - 1)
                        .arg(total_)
                        .arg(pages_.size())
                        .arg(snapshots_.size()));
                pages_.clear();
                snapshots_.clear();
                return true;
            }
        }
        return false;
    }

    void build() {
        addLoginSteps(QStringLiteral("600000"), 1);
        steps_.push_back({"type 60", [] { type("60"); },
                          [] {
                              QObject* popup = findObject(QStringLiteral("searchList"));
                              QObject* first = findObject(QStringLiteral("searchRow_0"));
                              return popup && popup->property("count").toInt() > 0 && first;
                          },
                          10000});
        steps_.push_back({"Enter opens the gain ranking of the whole market",
                          [] { key(Qt::Key_Return); },
                          [this] {
                              if (!model() || rows() == 0)
                                  return false;
                              const QJsonObject ctx = context();
                              const QJsonObject sort = ctx.value("sort_").toObject();
                              return ctx.value("block_").toInt() == int(kBlock) &&
                                     sort.value("field").toInt() == kGainField &&
                                     sort.value("mode").toInt() == 0;
                          },
                          20000});
        steps_.push_back({"first page in the server's order", nullptr,
                          [this] {
                              pageLength_ = rows();
                              return pageMatchesServer(1);
                          },
                          30000});
        steps_.push_back({"PageDown shows the next page", [] { key(Qt::Key_PageDown); },
                          [this] {
                              return rows() == pageLength_ && pageMatchesServer(pageLength_ + 1) &&
                                     table()->property("selectIndex").toInt() == 0;
                          },
                          30000});
        steps_.push_back(
            {"Enter opens the quote view of the selected row",
             [this] {
                 opened_ = codeInfo(table()->property("selectIndex").toInt());
                 key(Qt::Key_Return);
             },
             [this] {
                 QObject* v = quoteView();
                 return v && v->property("code").toString() == opened_.value("code").toString() &&
                        v->property("market").toInt() == opened_.value("market").toInt() &&
                        !v->property("ring").toList().isEmpty();
             },
             20000});
        steps_.push_back(
            {"PageDown in the quote view steps to the next security of the list",
             [this] {
                 // The list as the quote view received it when it opened.
                 const QVariantList ring = quoteView()->property("ring").toList();
                 int at = -1;
                 for (int i = 0; i < ring.size() && at < 0; ++i) {
                     const QVariantMap e = ring.at(i).toMap();
                     if (e.value("code") == opened_.value("code") &&
                         e.value("market").toInt() == opened_.value("market").toInt())
                         at = i;
                 }
                 next_ = at >= 0 ? ring.at((at + 1) % ring.size()).toMap() : QVariantMap();
                 say(QStringLiteral("ok %1 is number %2 of %3 in the list; next is %4")
                         .arg(opened_.value("code").toString())
                         .arg(at + 1)
                         .arg(ring.size())
                         .arg(next_.value("code").toString()));
                 key(Qt::Key_PageDown);
             },
             [this] {
                 QObject* v = quoteView();
                 return !next_.isEmpty() && v &&
                        v->property("code").toString() == next_.value("code").toString() &&
                        v->property("market").toInt() == next_.value("market").toInt();
             },
             20000});
        steps_.push_back({"type 80", [] { type("80"); },
                          [] { return findObject(QStringLiteral("searchRow_0")) != nullptr; },
                          10000});
        steps_.push_back(
            {"Enter opens the composite ranking with nine live lists", [] { key(Qt::Key_Return); },
             [] {
                 QObject* v = currentView();
                 if (!v || v->objectName() != QLatin1String("marketTopMonitor"))
                     return false;
                 for (int i = 0; i < 9; ++i) {
                     QObject* t = findIn(v, QStringLiteral("monitorTable_%1").arg(i));
                     QObject* m = t ? t->property("table_model").value<QObject*>() : nullptr;
                     QString ctx;
                     if (m)
                         QMetaObject::invokeMethod(m, "getCtx", Q_RETURN_ARG(QString, ctx));
                     if (!m || t->property("rowCount").toInt() == 0 ||
                         QJsonDocument::fromJson(ctx.toUtf8()).object().value("block_").toInt() !=
                             int(kBlock))
                         return false;
                 }
                 return true;
             },
             20000});
    }

    using Page = std::vector<RankedSecurity>;
    ServerRanking server_;
    std::deque<Page> pages_;
    std::deque<Page> snapshots_;  // the rows of the page as each snapshot ranks them
    size_t total_ = 0;
    bool fetching_ = false;
    QElapsedTimer sinceFetch_;
    int pageLength_ = 0;
    QVariantMap opened_;
    QVariantMap next_;
};

void startProbe() {
    // Only the terminal itself is driven, never a helper process it starts (they would
    // inherit the preload otherwise).
    qunsetenv("LD_PRELOAD");
    if (QCoreApplication::applicationName() != QLatin1String("VeltoQuorin"))
        return;
    // Created once the application object exists; lives as long as it.
    new Probe();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
