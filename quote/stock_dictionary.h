#pragma once

#include "libquote/quote.h"

#include <QObject>
#include <QString>

// Writes the code list the quote engine announces after each connect into the table
// StockDictionary of the local database "kvst", which the views search by code and pinyin.
class StockDictionary : public QObject {
    Q_OBJECT
public:
    // The one instance; the first call creates it and connects it to QuoteProxy.
    static StockDictionary* instance();

    // The file of the "kvst" local-storage database in the data folder.
    static QString databaseFile();
    // A fixed-size text of a code record, with a broken last character dropped.
    static QString recordText(const char* text, int size);
    // The route that opens the quote view of a security.
    static QString route(const QString& code, int market, int type, const QString& name,
                         const QString& pinyin);

public slots:
    void onQuoteCodes(QuoteReply* rpl);

private:
    StockDictionary();
};
