#pragma once

#include <QWebEngineUrlRequestInterceptor>

// Marks every request of the embedded web engine as coming from this client. Called on the web
// engine's I/O thread; it holds no state.
class HWebEngineUrlRequestInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit HWebEngineUrlRequestInterceptor(QObject* parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};
