// Runs cpp-httplib's request handling (parsing, routing, handlers, answer writing) over a
// request the connection loop has already read whole, and collects the answer as bytes. The
// routes are registered on it exactly as on any httplib::Server.
#pragma once

#include <httplib.h>

#include "server/http/connection_loop.h"

namespace vq::http {

class Dispatcher : public httplib::Server {
public:
    RawResponse serve(const RawRequest& request);
};

}  // namespace vq::http
