// What the connection loop must know of a request head before it hands the request on:
// where the head ends, how long the body is, and whether the client waits for a
// "100 Continue" before sending it.
#pragma once

#include <cstddef>
#include <string>

namespace vq::http {

struct RequestHead {
    enum class State { Incomplete, Complete, TooLarge, Malformed };
    State state = State::Incomplete;
    size_t headLength = 0;  // bytes up to and including the blank line
    size_t bodyLength = 0;  // from Content-Length (0 without one)
    bool chunked = false;   // Transfer-Encoding present: the body has no length to wait for
    // Offset of the "Expect" header name in the buffer, or npos.
    size_t expectAt = std::string::npos;
};

// Looks at the start of `buffer` (which may hold more than one request). A head longer than
// `maxHead` is TooLarge; a Content-Length that is not one plain decimal number (or appears
// twice with different values) is Malformed.
RequestHead scanHead(const std::string& buffer, size_t maxHead);

}  // namespace vq::http
