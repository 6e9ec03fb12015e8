#pragma once

// A whole block list asked once from the running quote engine, in the engine's own order:
// the reference that tests compare the pages of a list view with.

#include "libquote/quote.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

class WholeList : public QObject {
    Q_OBJECT
public:
    explicit WholeList(uint32_t block);
    ~WholeList() override;

    // The list's context as a quote table hands it on to the views it opens: compact JSON,
    // its first page `pageLength` rows from row 0.
    QString context(int pageLength) const;

    // One entry per row of the latest answer.
    QStringList codes;
    QStringList titles;  // "name(code)"
    bool answered = false;

signals:
    void arrived();

private:
    void take(QuoteReply* rpl);

    QuoteCtx* ctx_;
};
