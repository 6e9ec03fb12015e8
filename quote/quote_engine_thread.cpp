#include "quote/quote_engine_thread.h"

#include "libquote/quote.h"
#include "quote/quote_proxy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

void QuoteEngineThread::firstServer(const QVariant& list, QByteArray& url, QByteArray& name,
                                    QByteArray& type) {
    QJsonArray servers;
    if (list.canConvert<QJsonArray>() && list.userType() == qMetaTypeId<QJsonArray>())
        servers = list.value<QJsonArray>();
    else if (list.userType() == qMetaTypeId<QJsonValue>())
        servers = list.value<QJsonValue>().toArray();
    else
        servers = QJsonArray::fromVariantList(list.toList());
    QJsonObject first = servers.isEmpty() ? QJsonObject() : servers.at(0).toObject();
    url = first.value(QStringLiteral("url")).toString().toUtf8();
    name = first.value(QStringLiteral("name")).toString().toUtf8();
    type = first.value(QStringLiteral("type")).toString().toUtf8();
}

void QuoteEngineThread::start(ServerList servers) {
    finished_ = false;
    // The proxy exists before the first reply, so its signals can be connected at once.
    QuoteProxy::instance();
    thread_ = std::thread([this, servers] {
        QByteArray url, name, type;
        firstServer(servers ? servers() : QVariant(), url, name, type);
        QuoteServerEntry entry{url.constData(), name.constData(), type.constData()};
        QuoteEngineSettings settings{0, "", &entry, 0};
        if (quote_engine_run(&settings, &QuoteProxy::replyCallback) != 0)
            qWarning("quote engine: no usable quote server in url.quote (\"%s\")", url.constData());
        finished_ = true;
    });
}

void QuoteEngineThread::stopAndJoin() {
    if (!thread_.joinable())
        return;
    quote_engine_shutdown();
    while (!finished_.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    thread_.join();
}

int loadQuoteReferenceFiles(const QString& dataDir) {
    using Loader = int (*)(const char*, int);
    const struct {
        const char* file;
        Loader load;
    } docs[] = {
        {"board.json", &quote_block_load},
        {"stock_rzrq.json", &quote_margin_load},
        {"stock_rating.json", &quote_rating_load},
    };
    int handed = 0;
    for (const auto& d : docs) {
        QFile f(QDir(dataDir).filePath(QString::fromLatin1(d.file)));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray utf8 = QString::fromUtf8(f.readAll()).toUtf8();
        if (utf8.isEmpty())
            continue;
        d.load(utf8.constData(), utf8.size());
        ++handed;
    }
    return handed;
}
