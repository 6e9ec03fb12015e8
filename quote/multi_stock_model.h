#pragma once

#include "quote/quote_context.h"

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QVariant>

// The securities of a list request rebuilt from its saved context text (the one a quote table
// hands to the quote view it opens): code, market and name of every row of the answer, in the
// list's order, so that the view can step to the previous and next security.
class MultiStockModel : public QObject {
    Q_OBJECT
public:
    explicit MultiStockModel(QObject* parent = nullptr);
    ~MultiStockModel() override;

    // Replaces the request with the one `str` describes and asks once (a text the engine
    // cannot read leaves no request).
    Q_INVOKABLE void setCtx(const QString& str);
    Q_INVOKABLE void pageUp();
    Q_INVOKABLE void pageDown();
    // The context whose replies fill the list (none until a usable text was set).
    QuoteCtx* context() const { return ctx_.get(); }

signals:
    void dataChange(QVariant data);

public slots:
    void onQuotePeroidRealTime(QuoteReply* rpl);

private:
    QuoteContext ctx_;
    QJsonArray rows_;
};
