// The engine: one connection to the quote service, run on the thread that calls
// quote_engine_run. Other threads talk to it only through its command queue.
#pragma once

#include "libquote/context.h"
#include "libquote/wire_routes.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace libquote {

class Connection;

class Engine {
public:
    static Engine& instance();

    QuoteCtx* createContext();
    void releaseContext(QuoteCtx* ctx);
    // Sends a request of the context under a fresh wire id. A Request or Subscribe
    // supersedes the context's earlier sends at once (a Fetch only when the series changes):
    // no reply of theirs is delivered after this returns, save one the engine thread is
    // handing over right now.
    void send(QuoteCtx* ctx, vqp::Request r);
    // Retires every send of the context, at once in the same way.
    void cancel(QuoteCtx* ctx);

    int run(const QuoteEngineSettings* settings, QuoteReplyCallback callback);
    void shutdown();
    bool running();

    // Block ids learnt from snapshots (a block's or index's snapshot carries its block id).
    void learnBlockId(const vqp::SecurityKey& k, int64_t blockId);
    int64_t learntBlockId(const vqp::SecurityKey& k);

private:
    Engine();
    struct Command {
        enum Kind { Send, Cancel, Release } kind;
        vqp::Request request;
        uint32_t id = 0;  // the context's
        QuoteCtx* ctx = nullptr;
        uint32_t seriesLead = 0;  // a Send's: the context's seriesLead as it was sent
    };
    uint32_t newWireId();
    void push(Command c);
    void wake();

    // Engine-thread side.
    void takeCommands();
    void apply(Command& c);
    void connectNow();
    void onConnected();
    void onLost();
    void readSocket();
    void writeSocket();
    void handleFrame(const vqp::Frame& f);
    void deliverReply(const std::string& body);
    void deliverError(const std::string& body);
    void deliverCodes(const std::string& body);
    void deliverState(int state);
    QuoteCtx* liveContext(uint32_t wire);
    void sendRequestNow(const vqp::Request& r);
    void dropConnection();

    std::mutex mutex_;  // guards the queue, the registry and the running flag
    std::deque<Command> queue_;
    std::unordered_map<uint32_t, QuoteCtx*> registry_;
    uint32_t nextId_ = 1;
    std::atomic<uint32_t> nextWire_{1};
    bool running_ = false;
    bool stop_ = false;
    int wakeFd_ = -1;

    std::mutex learntMutex_;
    std::map<std::string, int64_t> learnt_;

    // Engine thread only.
    QuoteReplyCallback callback_ = nullptr;
    std::string host_;
    std::string port_;
    QuoteServerRecord server_{};
    enum class State { Idle, Connecting, Hello, Up } state_ = State::Idle;
    int fd_ = -1;
    bool wasUp_ = false;
    bool reportedDown_ = false;
    int backoffMs_ = 100;
    int64_t nextAttemptMs_ = 0;
    int64_t lastRecvMs_ = 0;
    int64_t lastPingMs_ = 0;
    std::string inHello_;
    std::string out_;
    vqp::FrameDecoder decoder_;
    WireRoutes routes_;
};

int64_t monotonicMs();

}  // namespace libquote
