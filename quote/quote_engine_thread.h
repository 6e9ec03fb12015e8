#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>
#include <thread>

// The thread that runs the quote engine for the life of the main window. It reads the
// quote server list ("url.quote": an array of {url, name, type}; element 0 is used), runs
// quote_engine_run with QuoteProxy's reply callback, and ends after stopAndJoin().
class QuoteEngineThread {
public:
    using ServerList = std::function<QVariant()>;

    // Starts the thread; `servers` is called on it. Throws std::system_error when the
    // thread cannot be created.
    void start(ServerList servers);
    // Shuts the engine down and joins the thread. A reply already on its way to a receiver
    // on this thread is let through while waiting (the engine thread blocks on it).
    void stopAndJoin();
    bool running() const { return thread_.joinable(); }

    // Element 0 of a server list, as url, name and type (missing members: empty).
    static void firstServer(const QVariant& list, QByteArray& url, QByteArray& name,
                            QByteArray& type);

private:
    std::thread thread_;
    std::atomic<bool> finished_{false};
};

// Hands the reference documents of the data folder to the quote engine: "board.json",
// "stock_rzrq.json" and "stock_rating.json", each only when its text is not empty.
// Returns how many were handed over.
int loadQuoteReferenceFiles(const QString& dataDir);
