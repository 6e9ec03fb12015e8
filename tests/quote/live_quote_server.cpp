#include "live_quote_server.h"

#include "libquote/quote.h"
#include "quote/quote_proxy.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>

LiveQuoteServer::LiveQuoteServer() {
    quotePort_ = freePort();
    httpPort_ = freePort();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process_, &QProcess::readyRead, this, [this] { log_ += process_.readAll(); });
    // Server state and code list arrive on the engine thread and are read here.
    connect(QuoteProxy::instance(), &QuoteProxy::quoteServerState, this,
            &LiveQuoteServer::onServerState, Qt::BlockingQueuedConnection);
    connect(QuoteProxy::instance(), &QuoteProxy::quoteCodes, this, &LiveQuoteServer::onCodes,
            Qt::BlockingQueuedConnection);
}

LiveQuoteServer::~LiveQuoteServer() {
    stopEngine();
    stopServer();
}

quint16 LiveQuoteServer::freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool LiveQuoteServer::startServer() {
    log_.clear();
    process_.start(
        QStringLiteral(VQ_SERVER_PATH),
        {"serve", "--data", data_.path(), "--http", QStringLiteral("127.0.0.1:%1").arg(httpPort_),
         "--quote", QStringLiteral("127.0.0.1:%1").arg(quotePort_)});
    if (!process_.waitForStarted(10000))
        return false;
    // The quote service is listening once the server names its address.
    return waitUntil([this] { return log_.contains("quotes on tcp://"); }, &process_,
                     &QProcess::readyRead, 20000);
}

void LiveQuoteServer::stopServer() {
    if (process_.state() == QProcess::NotRunning)
        return;
    // Killed rather than asked to stop: an orderly stop waits for the market's background
    // history pass (seconds), and nothing in the throw-away data folder needs saving.
    process_.kill();
    process_.waitForFinished();
}

bool LiveQuoteServer::startEngine() {
    if (!engine_.running()) {
        const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(quotePort_);
        engine_.start([url] {
            return QVariant::fromValue(
                QJsonArray{QJsonObject{{"url", url}, {"name", "本机行情"}, {"type", "tcp"}}});
        });
    }
    return waitForServerState(QUOTE_SERVER_CONNECTED) &&
           waitUntil([this] { return !securities_.empty(); }, this,
                     &LiveQuoteServer::serverStateChanged, 5000);
}

void LiveQuoteServer::stopEngine() {
    engine_.stopAndJoin();
}

bool LiveQuoteServer::waitForServerState(int state, int ms) {
    return waitUntil([this, state] { return state_ == state; }, this,
                     &LiveQuoteServer::serverStateChanged, ms);
}

QString LiveQuoteServer::firstOf(int type, int market) const {
    for (const ListedSecurity& s : securities_)
        if (s.type == type && s.market == market)
            return s.code;
    return QString();
}

void LiveQuoteServer::onServerState(QuoteReply* rpl) {
    state_ = static_cast<QuoteServerState*>(rpl->payload)->state;
    emit serverStateChanged(state_);
}

void LiveQuoteServer::onCodes(QuoteReply* rpl) {
    securities_.clear();
    auto* codes = static_cast<const QuoteCodeInfo*>(rpl->payload);
    for (uint32_t i = 0; i < rpl->count; ++i)
        securities_.push_back({QString::fromUtf8(codes[i].code, int(qstrnlen(codes[i].code, 16))),
                               codes[i].market, codes[i].type});
    emit serverStateChanged(state_);
}
