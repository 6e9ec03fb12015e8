// Which context each request on the wire answers, on the engine thread.
//
// Every send of a context goes out under a wire id of its own, so a reply names the send
// it answers, not just the context. A Request or Subscribe supersedes every earlier send
// of its context: their routes are retired and their late replies have nowhere to go.
// A Fetch (older K-line rows) joins the sends of its context and supersedes nothing; it
// stays wanted while the context asks for the same series, and its lead is then the send
// that started that series.
#pragma once

#include "protocol/messages.h"

#include <cstdint>
#include <map>
#include <vector>

namespace libquote {

class WireRoutes {
public:
    struct Target {
        uint32_t ctx = 0;   // the context's own id
        uint32_t lead = 0;  // wire id of the Request or Subscribe the send belongs to
        bool fetch = false;
    };

    // Takes a send of context `ctx` (its wire id in r.id); `seriesLead` is the send that
    // started the context's current series. Returns the wire ids of the subscriptions it
    // supersedes, which the service still pushes until told to cancel.
    std::vector<uint32_t> open(uint32_t ctx, const vqp::Request& r, uint32_t seriesLead);
    // Retires every route of the context (cancelled or released); returns its
    // subscriptions as open() does.
    std::vector<uint32_t> close(uint32_t ctx);
    // Where a reply under `wire` goes; false when its send was superseded, cancelled or,
    // being a one-shot request, already answered. A one-shot's route ends with its reply.
    bool take(uint32_t wire, Target& target);

    // The requests a new connection must carry, in the order they were made: every
    // subscription, then every one-shot request still unanswered, whether it went out on a
    // connection since lost or was made while there was none.
    std::vector<vqp::Request> toSendOnConnect() const;
    void clear() { routes_.clear(); }
    size_t size() const { return routes_.size(); }

private:
    struct Route {
        Target target;
        vqp::Request request;
        bool subscription() const { return request.action == vqp::Action::Subscribe; }
    };
    // Every route of the context but Fetches of the series `keepSeries` (0: none kept).
    std::vector<uint32_t> retire(uint32_t ctx, uint32_t keepSeries);

    std::map<uint32_t, Route> routes_;  // by wire id
};

}  // namespace libquote
