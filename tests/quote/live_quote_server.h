// A real veltoquorin-server process on loopback ports with a fresh data folder, and the
// terminal's quote-engine thread connected to it. Waiting is done on signals.
#pragma once

#include "quote/quote_engine_thread.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

struct QuoteReply;

// One entry of the code list the engine receives on connecting.
struct ListedSecurity {
    QString code;
    int market = 0;
    int type = 0;
};

class LiveQuoteServer : public QObject {
    Q_OBJECT
public:
    LiveQuoteServer();
    ~LiveQuoteServer() override;

    // Starts the server process (again, after stopServer, on the same ports and data folder);
    // false with the server's output in `log()` when it does not come up.
    bool startServer();
    // Ends the server process at once; the engine notices the lost connection.
    void stopServer();
    // Starts the engine thread once and waits for the connection.
    bool startEngine();
    void stopEngine();

    // Waits until the engine reports `state` (1 connected, 0 lost), at most `ms`.
    bool waitForServerState(int state, int ms = 20000);
    QString log() const { return QString::fromUtf8(log_); }
    const std::vector<ListedSecurity>& securities() const { return securities_; }
    // The first listed security of `type` in `market`, or an empty code.
    QString firstOf(int type, int market) const;

    // Runs the event loop until `done` holds or `ms` pass; wakes on `signal` of `sender`.
    template <typename Sender, typename Signal>
    static bool waitUntil(const std::function<bool()>& done, Sender* sender, Signal signal,
                          int ms = 15000);

signals:
    void serverStateChanged(int state);

private:
    static quint16 freePort();
    void onServerState(QuoteReply* rpl);
    void onCodes(QuoteReply* rpl);

    QTemporaryDir data_;
    QProcess process_;
    QByteArray log_;
    quint16 quotePort_ = 0;
    quint16 httpPort_ = 0;
    QuoteEngineThread engine_;
    int state_ = -1;
    std::vector<ListedSecurity> securities_;
};

#include <QElapsedTimer>
#include <QSignalSpy>

template <typename Sender, typename Signal>
bool LiveQuoteServer::waitUntil(const std::function<bool()>& done, Sender* sender, Signal signal,
                                int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return false;
        QSignalSpy spy(sender, signal);
        spy.wait(int(left));
    }
    return true;
}
