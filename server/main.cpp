// veltoquorin-server: the backend program.
//
//   veltoquorin-server serve --data DIR [--http HOST:PORT] [--quote HOST:PORT] [--db URL]
//                            [--demo] [--threads N] [--session-timeout SECONDS]
//                            [--clock demo|real|still] [--seed N]
//   veltoquorin-server user add NAME | user passwd NAME | user list      (password on stdin)
//   veltoquorin-server notice add --type 2|3 --title T [--author A] [--url U] [--date D]
//   veltoquorin-server news add --title T [--code C --market M] [--source S] [--date D]
//   veltoquorin-server research add --title T [--code C --market M] [--source S] [--date D]
//   veltoquorin-server pool set GROUP_ID NAME [CODE:MARKET …] | pool remove GROUP_ID | pool list
//   veltoquorin-server fastmenu set | fastmenu list                     (JSON array on stdin)
//   veltoquorin-server release add VERSION URL [--notes TEXT]
//   veltoquorin-server formula set USER                                  (JSON array on stdin)
//   veltoquorin-server import DIR [--skip-bad-rows] [--seed N]
//                            (CSV securities list, daily and minute bars, dividends; all or
//                            nothing; used on the next serve)
// Every command takes --data DIR (the SQLite file lives there) or --db URL. Texts of
// notices, news and research items are read from standard input.
#include <signal.h>

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "server/http/http_server.h"
#include "server/store/accounts.h"
#include "server/store/database.h"
#include "server/store/password.h"
#include "server/store/publications.h"
#ifdef VQ_HAVE_MARKET
#include "server/demo/demo_articles.h"
#include "server/demo/demo_pools.h"
#include "server/demo/review_publisher.h"
#include "server/market/import.h"
#endif
#ifdef VQ_HAVE_MARKET_HTTP
#include "server/market_http/routes.h"
#endif
#ifdef VQ_HAVE_SCREENING
#include "server/screening/routes.h"
#endif
#ifdef VQ_HAVE_QUOTE_SERVICE
#include "server/market/market.h"
#include "server/quote/quote_service.h"
#endif

namespace {

using vq::store::Database;

struct Args {
    std::vector<QString> positional;
    std::map<QString, QString> options;  // --key value
    std::vector<QString> flags;          // --flag
    bool has(const char* flag) const {
        for (const QString& f : flags) {
            if (f == QLatin1String(flag)) {
                return true;
            }
        }
        return false;
    }
    QString option(const char* key, const QString& fallback = QString()) const {
        auto it = options.find(QString::fromLatin1(key));
        return it == options.end() ? fallback : it->second;
    }
};

const char* const kFlags[] = {"--demo", "--help", "--skip-bad-rows"};

bool isFlag(const QString& arg) {
    for (const char* f : kFlags) {
        if (arg == QLatin1String(f)) {
            return true;
        }
    }
    return false;
}

bool parseArgs(const QStringList& list, Args& out, QString& error) {
    for (int i = 1; i < list.size(); ++i) {
        const QString& arg = list[i];
        if (arg.startsWith(QLatin1String("--"))) {
            if (isFlag(arg)) {
                out.flags.push_back(arg);
            } else if (i + 1 < list.size()) {
                out.options[arg.mid(2)] = list[++i];
            } else {
                error = QStringLiteral("option %1 needs a value").arg(arg);
                return false;
            }
        } else {
            out.positional.push_back(arg);
        }
    }
    return true;
}

int usage(int code) {
    std::fputs(
        "usage:\n"
        "  veltoquorin-server serve --data DIR [--http HOST:PORT] [--quote HOST:PORT] [--db URL]\n"
        "                           [--demo] [--threads N] [--session-timeout SECONDS]\n"
        "                           [--clock demo|real|still] [--seed N]\n"
        "  veltoquorin-server user add NAME | user passwd NAME | user list   (password on stdin)\n"
        "  veltoquorin-server notice add --type 2|3 --title T [--author A] [--url U] [--date D]\n"
        "  veltoquorin-server news|research add --title T [--code C --market M] [--source S]"
        " [--date D]\n"
        "  veltoquorin-server pool set GROUP_ID NAME [CODE:MARKET ...] | pool remove GROUP_ID"
        " | pool list\n"
        "  veltoquorin-server fastmenu set | fastmenu list                   (JSON on stdin)\n"
        "  veltoquorin-server release add VERSION URL [--notes TEXT]\n"
        "  veltoquorin-server formula set USER                               (JSON on stdin)\n"
        "  veltoquorin-server import DIR [--skip-bad-rows] [--seed N]\n"
        "         (securities.csv, CODE[.MARKET].csv daily bars, CODE[.MARKET].min.csv minute\n"
        "          bars, CODE[.MARKET].div.csv dividends)\n"
        "every command: --data DIR or --db URL\n",
        code == 0 ? stdout : stderr);
    return code;
}

int fail(const QString& message) {
    std::fprintf(stderr, "veltoquorin-server: %s\n", message.toLocal8Bit().constData());
    return 1;
}

bool parseHostPort(const QString& text, std::string& host, int& port) {
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return false;
    }
    bool ok = false;
    port = text.mid(colon + 1).toInt(&ok);
    host = text.left(colon).toStdString();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return ok && port >= 0 && port <= 65535;
}

QString readStdin() {
    QTextStream in(stdin);
    in.setCodec("UTF-8");
    return in.readAll();
}

QString readPassword() {
    QTextStream in(stdin);
    in.setCodec("UTF-8");
    return in.readLine();
}

// Opens the database of the command line; an empty pointer after printing why.
std::unique_ptr<Database> openDatabase(const Args& args) {
    const QString dataDir = args.option("data");
    const QString url = args.option("db");
    if (dataDir.isEmpty() && url.isEmpty()) {
        fail(QStringLiteral("--data DIR or --db URL is required"));
        return nullptr;
    }
    if (!dataDir.isEmpty() && !QDir().mkpath(dataDir)) {
        fail(QStringLiteral("cannot create the data folder %1").arg(dataDir));
        return nullptr;
    }
    vq::store::DbConfig config;
    QString error;
    if (!vq::store::parseDbUrl(url, dataDir, config, &error)) {
        fail(error);
        return nullptr;
    }
    auto db = std::make_unique<Database>(config);
    if (!db->open(&error)) {
        fail(error);
        return nullptr;
    }
    return db;
}

int serve(const Args& args) {
    if (args.option("data").isEmpty()) {
        return fail(QStringLiteral("serve needs --data DIR"));
    }
    vq::http::HttpOptions options;
    options.dataDir = args.option("data");
    if (!parseHostPort(args.option("http", QStringLiteral("127.0.0.1:8731")), options.host,
                       options.port)) {
        return fail(QStringLiteral("--http wants HOST:PORT"));
    }
    if (!parseHostPort(args.option("quote", QStringLiteral("127.0.0.1:8732")), options.quoteHost,
                       options.quotePort)) {
        return fail(QStringLiteral("--quote wants HOST:PORT"));
    }
    bool ok = true;
    options.threads = args.option("threads", QStringLiteral("32")).toInt(&ok);
    if (!ok || options.threads < 1 || options.threads > 512) {
        return fail(QStringLiteral("--threads wants a number from 1 to 512"));
    }
    options.sessionTimeoutSeconds =
        args.option("session-timeout", QStringLiteral("180")).toInt(&ok);
    if (!ok || options.sessionTimeoutSeconds < 1) {
        return fail(QStringLiteral("--session-timeout wants a positive number of seconds"));
    }
    const QString clock = args.option("clock", QStringLiteral("demo"));
    if (clock != QLatin1String("demo") && clock != QLatin1String("real") &&
        clock != QLatin1String("still")) {
        return fail(QStringLiteral("--clock wants demo, real or still"));
    }
    args.option("seed", QStringLiteral("20240101")).toULongLong(&ok);
    if (!ok) {
        return fail(QStringLiteral("--seed wants a number"));
    }

    if (!vq::store::cryptoReady()) {
        return fail(QStringLiteral("the crypto library cannot start"));
    }
    std::unique_ptr<Database> db = openDatabase(args);
    if (!db) {
        return 1;
    }
    // A new demo server (its demo account made now) also gets sample stock pools, once the
    // market is up.
    [[maybe_unused]] bool newDemo = false;
    if (args.has("--demo")) {
        vq::store::Accounts accounts(*db);
        if (!accounts.byName(QStringLiteral("demo"))) {
            accounts.addUser(QStringLiteral("demo"), QStringLiteral("demo123"));
            std::printf("veltoquorin-server: created the demo account (demo / demo123)\n");
            newDemo = true;
        }
    }

    // SIGTERM and SIGINT are taken by sigwait below, never by a handler: blocked here, before
    // any thread starts, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    vq::http::HttpServer http(*db, options);
    // Market-derived services register here: http.addRegistrar(...) with the market's
    // routes, and the quote service starts on options.quoteHost/quotePort.
    std::string error;
#ifdef VQ_HAVE_QUOTE_SERVICE
    // The market and the quote service over it (terminals connect to options.quoteHost/Port).
    vq::market::Options marketOptions;
    // "still" stands the market where the wall clock finds it at start: nothing trades
    // afterwards, so every client reads the same prices (reproducible checks and pictures).
    marketOptions.clock = clock == QLatin1String("real")    ? vq::market::ClockMode::Real
                          : clock == QLatin1String("still") ? vq::market::ClockMode::Manual
                                                            : vq::market::ClockMode::Demo;
    marketOptions.seed = args.option("seed", QStringLiteral("20240101")).toULongLong();
    marketOptions.dataDir = QDir(options.dataDir).absolutePath().toStdString();
    std::unique_ptr<vq::market::Market> market = vq::market::Market::create(marketOptions);
    market->start();
    if (newDemo) {
        vq::store::Publications publications(*db);
        if (vq::demo::seedPools(publications, *market)) {
            std::printf("veltoquorin-server: published the demo stock pools\n");
        }
    }
    // A demo server publishes news and research from its market when it has none, and a
    // review of the market as each session ends (started with the services below).
    std::unique_ptr<vq::demo::ReviewPublisher> reviews;
    if (args.has("--demo")) {
        reviews = std::make_unique<vq::demo::ReviewPublisher>(*db, *market);
    }
#ifdef VQ_HAVE_MARKET_HTTP
    // Boards, ratings, margin list, breadth and F9/F10/F11 pages from the same market. The
    // market outlives the HTTP server: http.stop() runs before market->stop().
    http.addRegistrar(vq::market_http::routes(
        std::shared_ptr<const vq::market::Market>(market.get(), [](const vq::market::Market*) {})));
#endif
#ifdef VQ_HAVE_SCREENING
    // Formula screens over every security's history, on the same market.
    http.addRegistrar(vq::screening::routes(
        std::shared_ptr<const vq::market::Market>(market.get(), [](const vq::market::Market*) {})));
#endif
    // The quote service is made here so that its counters can be served; it starts below.
    vq::quote::ServiceOptions quoteOptions;
    quoteOptions.host = options.quoteHost;
    quoteOptions.port = uint16_t(options.quotePort);
    vq::quote::QuoteService quote(*market, quoteOptions);
    // /quote_stats: how many terminals are connected and how many lists and charts they keep
    // subscribed, for the operator and for tests of the terminal's unsubscribing.
    http.addRegistrar([&quote](vq::http::Router& router) {
        router.get("/quote_stats", [&quote](const httplib::Request&, httplib::Response& res) {
            vq::http::sendJson(
                res,
                vq::http::success({{QStringLiteral("sessions"), quote.sessionCount()},
                                   {QStringLiteral("subscriptions"), quote.subscriptionCount()}}));
        });
    });
#endif
    if (!http.start(&error)) {
#ifdef VQ_HAVE_QUOTE_SERVICE
        market->stop();
#endif
        return fail(QString::fromStdString(error));
    }
#ifdef VQ_HAVE_QUOTE_SERVICE
    // After the HTTP server, so a second server on the same ports reports the HTTP port.
    if (!quote.start(&error)) {
        http.stop();
        market->stop();
        return fail(QString::fromStdString(error));
    }
    std::printf("veltoquorin-server: quotes on tcp://%s:%d, %zu securities\n",
                options.quoteHost.c_str(), int(quote.port()), market->securities().size());
    if (reviews) {
        // On the publisher's thread: the seed reads the index and block history, which
        // takes the market a few seconds to build on a fresh machine.
        // Reviews follow only the demo's own news, never an operator's.
        reviews->start([&db, &market] {
            vq::store::Publications publications(*db);
            if (vq::demo::seedArticles(publications, *market)) {
                std::printf("veltoquorin-server: published the demo news and research\n");
                std::fflush(stdout);
            }
            return vq::demo::demoNewsPublished(publications);
        });
    }
#endif
    std::printf("veltoquorin-server: HTTP on http://%s:%d, data in %s\n", options.host.c_str(),
                http.port(), QDir(options.dataDir).absolutePath().toLocal8Bit().constData());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    std::printf("veltoquorin-server: %s received, stopping\n",
                received == SIGINT ? "SIGINT" : "SIGTERM");
    std::fflush(stdout);
    http.stop();
#ifdef VQ_HAVE_QUOTE_SERVICE
    if (reviews) {
        reviews->stop();
    }
    quote.stop();
    market->stop();
#endif
    db->close();
    std::printf("veltoquorin-server: stopped\n");
    return 0;
}

int userCommand(const Args& args) {
    const QString sub = args.positional.size() > 1 ? args.positional[1] : QString();
    std::unique_ptr<Database> db = openDatabase(args);
    if (!db) {
        return 1;
    }
    vq::store::Accounts accounts(*db);
    if (sub == QLatin1String("list")) {
        for (const vq::store::User& u : accounts.users()) {
            std::printf("%s\t%s\t%s\n", u.name.toUtf8().constData(), u.uid.toUtf8().constData(),
                        QDateTime::fromSecsSinceEpoch(u.createdAt)
                            .toString(Qt::ISODate)
                            .toUtf8()
                            .constData());
        }
        return 0;
    }
    if (args.positional.size() < 3) {
        return usage(2);
    }
    const QString name = args.positional[2];
    if (!vq::store::Accounts::validName(name)) {
        return fail(QStringLiteral("a user name has 1 to 32 characters and no spaces"));
    }
    const QString password = readPassword();
    if (!vq::store::Accounts::validPassword(password)) {
        return fail(QStringLiteral(
            "the password (first line of standard input) must have 1 to 128 characters"));
    }
    if (sub == QLatin1String("add")) {
        switch (accounts.addUser(name, password)) {
            case vq::store::Accounts::AddResult::Added:
                std::printf("user %s added\n", name.toUtf8().constData());
                return 0;
            case vq::store::Accounts::AddResult::Exists:
                return fail(QStringLiteral("user %1 already exists").arg(name));
            case vq::store::Accounts::AddResult::Invalid:
                return fail(QStringLiteral("invalid user name or password"));
        }
    }
    if (sub == QLatin1String("passwd")) {
        if (!accounts.setPassword(name, password)) {
            return fail(QStringLiteral("no user %1").arg(name));
        }
        std::printf("password of %s changed\n", name.toUtf8().constData());
        return 0;
    }
    return usage(2);
}

int publishCommand(const Args& args) {
    const QString what = args.positional[0];
    const QString sub = args.positional.size() > 1 ? args.positional[1] : QString();
    std::unique_ptr<Database> db = openDatabase(args);
    if (!db) {
        return 1;
    }
    vq::store::Publications pub(*db);
    // Publication days are Beijing's, as the terminal asks for them, whatever the server's zone.
    const QString today = QDateTime::currentDateTimeUtc().toOffsetFromUtc(8 * 3600).date().toString(
        QStringLiteral("yyyy-MM-dd"));
    auto checkDate = [](const QString& d) {
        return QDate::fromString(d, QStringLiteral("yyyy-MM-dd")).isValid();
    };

    if (what == QLatin1String("notice") && sub == QLatin1String("add")) {
        bool ok = false;
        const int type = args.option("type").toInt(&ok);
        const QString title = args.option("title");
        const QString date = args.option("date", today);
        if (!ok || (type != 2 && type != 3) || title.isEmpty() || !checkDate(date)) {
            return fail(
                QStringLiteral("notice add needs --type 2|3, --title and a yyyy-MM-dd --date"));
        }
        const qint64 id = pub.addNotice(type, title, args.option("author"), readStdin().trimmed(),
                                        args.option("url"), date, vq::store::nowSeconds());
        std::printf("notice %lld published\n", static_cast<long long>(id));
        return 0;
    }
    if ((what == QLatin1String("news") || what == QLatin1String("research")) &&
        sub == QLatin1String("add")) {
        vq::store::Article a;
        a.kind = what;
        a.title = args.option("title");
        a.code = args.option("code");
        bool ok = true;
        a.market = a.code.isEmpty() ? 0 : args.option("market").toInt(&ok);
        a.source = args.option("source", QStringLiteral("VeltoQuorin"));
        a.pubdate = args.option("date", today);
        if (a.title.isEmpty() || !ok || a.market < 0 || a.market > 255 || !checkDate(a.pubdate)) {
            return fail(QStringLiteral(
                            "%1 add needs --title, a --market with --code and a yyyy-MM-dd --date")
                            .arg(what));
        }
        a.content = readStdin().trimmed();
        std::printf("%s %lld published\n", what.toUtf8().constData(),
                    static_cast<long long>(pub.addArticle(a)));
        return 0;
    }
    if (what == QLatin1String("pool")) {
        if (sub == QLatin1String("list")) {
            std::printf("%s\n",
                        QJsonDocument(pub.pools()).toJson(QJsonDocument::Indented).constData());
            return 0;
        }
        if (sub == QLatin1String("remove") && args.positional.size() == 3) {
            if (!pub.removePool(args.positional[2])) {
                return fail(QStringLiteral("no pool %1").arg(args.positional[2]));
            }
            return 0;
        }
        if (sub == QLatin1String("set") && args.positional.size() >= 4) {
            std::vector<vq::store::PoolCode> codes;
            for (std::size_t i = 4; i < args.positional.size(); ++i) {
                const QString& item = args.positional[i];
                bool ok = false;
                const int market = item.section(QLatin1Char(':'), 1).toInt(&ok);
                const QString code = item.section(QLatin1Char(':'), 0, 0);
                if (!ok || code.isEmpty() || code.toUtf8().size() > 16 || market < 0 ||
                    market > 255) {
                    return fail(QStringLiteral("pool entries are CODE:MARKET, not %1").arg(item));
                }
                codes.push_back({code, market});
            }
            pub.setPool(args.positional[2], args.positional[3], codes);
            std::printf("pool %s set with %d securities\n", args.positional[2].toUtf8().constData(),
                        static_cast<int>(codes.size()));
            return 0;
        }
        return usage(2);
    }
    if (what == QLatin1String("fastmenu")) {
        if (sub == QLatin1String("list")) {
            std::printf("%s\n",
                        QJsonDocument(pub.fastMenu()).toJson(QJsonDocument::Indented).constData());
            return 0;
        }
        if (sub == QLatin1String("set")) {
            const QJsonDocument doc = QJsonDocument::fromJson(readStdin().toUtf8());
            if (!doc.isArray()) {
                return fail(
                    QStringLiteral("fastmenu set reads a JSON array of {name, flag, style}"));
            }
            for (const QJsonValue& v : doc.array()) {
                const QJsonObject o = v.toObject();
                const int style = o.value(QStringLiteral("style")).toInt(-1);
                if (o.value(QStringLiteral("name")).toString().isEmpty() || style < 0 ||
                    style > 3) {
                    return fail(
                        QStringLiteral("every quick-bar item needs a name and a style 0-3"));
                }
            }
            pub.setFastMenu(doc.array());
            return 0;
        }
        return usage(2);
    }
    if (what == QLatin1String("release") && sub == QLatin1String("add") &&
        args.positional.size() == 4) {
        pub.addRelease(args.positional[2],
                       args.option("app-ver", QStringLiteral("velto_winpc_tax1_1.000006")),
                       args.positional[3], args.option("notes"), today);
        return 0;
    }
    if (what == QLatin1String("formula") && sub == QLatin1String("set") &&
        args.positional.size() == 3) {
        const std::optional<vq::store::User> user =
            vq::store::Accounts(*db).byName(args.positional[2]);
        if (!user) {
            return fail(QStringLiteral("no user %1").arg(args.positional[2]));
        }
        const QJsonDocument doc = QJsonDocument::fromJson(readStdin().toUtf8());
        if (!doc.isArray()) {
            return fail(QStringLiteral("formula set reads a JSON array of models with a name"));
        }
        for (const QJsonValue& v : doc.array()) {
            if (v.toObject().value(QStringLiteral("name")).toString().isEmpty()) {
                return fail(QStringLiteral("every formula model needs a name"));
            }
        }
        vq::store::UserDocuments(*db).setFormulas(user->id, doc.array());
        return 0;
    }
    return usage(2);
}

}  // namespace

#ifdef VQ_HAVE_MARKET
// Checks the CSV files of DIR and brings them into the data folder, where the next serve
// uses them in place of the generated series. Every problem is listed as file:line: why;
// any problem (or, with --skip-bad-rows, any file that could not be used) exits with 1.
int importCommand(const Args& args) {
    if (args.positional.size() < 2 || args.option("data").isEmpty()) {
        return fail(QStringLiteral("import needs a folder of CSV files and --data DIR"));
    }
    const QString dataDir = args.option("data");
    if (!QDir().mkpath(dataDir)) {
        return fail(QStringLiteral("cannot create the data folder %1").arg(dataDir));
    }
    vq::market::ImportOptions options;
    options.skipBadRows = args.has("--skip-bad-rows");
    bool ok = false;
    options.seed = args.option("seed", QStringLiteral("20240101")).toULongLong(&ok);
    if (!ok) {
        return fail(QStringLiteral("--seed wants a number"));
    }
    vq::market::ImportReport report;
    const bool imported =
        vq::market::importCsv(args.positional[1].toStdString(),
                              QDir(dataDir).absolutePath().toStdString(), report, options);
    // Enough lines to fix a file by; the count says how many more there were.
    constexpr size_t kShown = 100;
    for (size_t k = 0; k < report.errors.size() && k < kShown; ++k) {
        std::fprintf(stderr, "%s\n", report.errors[k].c_str());
    }
    if (report.errors.size() > kShown) {
        std::fprintf(stderr, "veltoquorin-server: %zu more problems not shown\n",
                     report.errors.size() - kShown);
    }
    for (const std::string& n : report.notes) {
        std::printf("note: %s\n", n.c_str());
    }
    if (!imported && !options.skipBadRows) {
        std::fprintf(stderr,
                     "veltoquorin-server: nothing imported: %zu problems (the data folder is "
                     "unchanged; --skip-bad-rows imports what is valid)\n",
                     report.errors.size());
        return 1;
    }
    std::printf(
        "veltoquorin-server: imported %d securities with %d daily bars, %d with %lld minute "
        "bars, %d dividend rows; %d listed, %d added to the market; %d rows skipped, %d files "
        "rejected\n",
        report.securities, report.bars, report.minuteSecurities,
        static_cast<long long>(report.minuteBars), report.dividends, report.listed, report.added,
        report.skippedRows, report.rejectedFiles);
    return imported ? 0 : 1;
}
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veltoquorin-server"));
    Args args;
    QString error;
    if (!parseArgs(QCoreApplication::arguments(), args, error)) {
        fail(error);
        return usage(2);
    }
    if (args.has("--help")) {
        return usage(0);
    }
    if (args.positional.empty()) {
        return usage(2);
    }
    const QString command = args.positional[0];
    try {
        if (command == QLatin1String("serve")) {
            return serve(args);
        }
        if (command == QLatin1String("user")) {
            return userCommand(args);
        }
#ifdef VQ_HAVE_MARKET
        if (command == QLatin1String("import")) {
            return importCommand(args);
        }
#endif
        for (const char* c :
             {"notice", "news", "research", "pool", "fastmenu", "release", "formula"}) {
            if (command == QLatin1String(c)) {
                return publishCommand(args);
            }
        }
    } catch (const vq::store::StoreError& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    return usage(2);
}
