#include "quote/stock_dictionary.h"

#include "bridge/data_folder.h"
#include "quote/quote_proxy.h"

#include <QDir>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSqlDatabase>
#include <QSqlQuery>

StockDictionary* StockDictionary::instance() {
    static StockDictionary* dict = new StockDictionary;
    return dict;
}

StockDictionary::StockDictionary() : QObject(nullptr) {
    connect(QuoteProxy::instance(), &QuoteProxy::quoteCodes, this, &StockDictionary::onQuoteCodes,
            Qt::BlockingQueuedConnection);
}

QString StockDictionary::databaseFile() {
    // The views open the same database through QML local storage, so its file is the one a
    // QML engine with the data folder as offline-storage path reports.
    QQmlEngine engine;
    engine.setOfflineStoragePath(bridge::dataFolder());
    QString path = engine.offlineStorageDatabaseFilePath(QStringLiteral("kvst"));
    path.replace('\\', '/');
    return path + QStringLiteral(".sqlite");
}

QString StockDictionary::recordText(const char* text, int size) {
    QString s = QString::fromUtf8(text, int(qstrnlen(text, uint(size))));
    // A text cut inside a multi-byte character decodes with a replacement character last.
    if (!s.isEmpty() && s.at(s.size() - 1).unicode() >= 0xFFF0)
        s.chop(1);
    return s;
}

QString StockDictionary::route(const QString& code, int market, int type, const QString& name,
                               const QString& pinyin) {
    return QStringLiteral("app://qml/qml/MQView.qml?code=") + code + QStringLiteral("&market=") +
           QString::number(market) + QStringLiteral("#chart=default&type=") +
           QString::number(type) + QStringLiteral("&name=") + name + QStringLiteral("&pinyin=") +
           pinyin;
}

void StockDictionary::onQuoteCodes(QuoteReply* rpl) {
    if (!rpl || (rpl->count > 0 && !rpl->payload))
        return;
    const QString file = databaseFile();
    // The views' local storage creates the folder on first use; the code list may come first.
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QSqlDatabase db = QSqlDatabase::contains(QSqlDatabase::defaultConnection)
                              ? QSqlDatabase::database(QSqlDatabase::defaultConnection, false)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        // An open connection keeps its file whatever name is set; reopen it on ours.
        if (db.isOpen() && db.databaseName() != file)
            db.close();
        db.setDatabaseName(file);
        if (!db.open())
            return;
        {
            QSqlQuery create(db);
            create.exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS StockDictionary   (code  TEXT(16) NOT "
                               "NULL,  market  INTEGER,  "
                               "name TEXT,  type  INTEGER,  pinyin TEXT,  active  TEXT,  PRIMARY "
                               "KEY (code, market))"));
            if (create.isActive())
                db.commit();
            else
                db.rollback();
        }
        db.transaction();
        {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT OR REPLACE INTO StockDictionary (code, market, name, type, pinyin, "
                "active) VALUES (?, ?, ?, ?, ?, ?)"));
            auto* infos = static_cast<const QuoteCodeInfo*>(rpl->payload);
            for (uint32_t i = 0; i < rpl->count; ++i) {
                const QuoteCodeInfo& c = infos[i];
                const QString code = recordText(c.code, sizeof c.code);
                const QString name = recordText(c.name, sizeof c.name);
                const QString pinyin = recordText(c.pinyin, sizeof c.pinyin);
                const QString market = QString::number(int(c.market));
                const QString type = QString::number(int(c.type));
                insert.bindValue(0, code);
                insert.bindValue(1, market);
                insert.bindValue(2, name);
                insert.bindValue(3, type);
                insert.bindValue(4, pinyin);
                insert.bindValue(5, route(code, c.market, c.type, name, pinyin));
                insert.exec();  // a failing row does not stop the others
            }
        }
        db.commit();
        db.close();
    }
}
