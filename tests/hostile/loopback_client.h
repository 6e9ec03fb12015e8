// Plain blocking sockets for the hostile-client tests. Every loopback address 127.0.0.x is
// local, so a test can play several distinct sources against a server on 127.0.0.1.
#pragma once

#include <cstdint>
#include <string>

namespace hostile {

// A connected socket from `source` (an address of 127.0.0.0/8) to 127.0.0.1:port; -1 on
// failure. A non-zero `rcvbuf` shrinks the receive buffer (a client that reads little).
int connectFrom(const std::string& source, uint16_t port, int rcvbuf = 0);
bool sendAll(int fd, const std::string& bytes);

struct HttpReply {
    int status = 0;  // 0: no answer (closed or timed out)
    std::string body;
};
// Reads one whole HTTP answer (by its Content-Length) within `timeoutMs`.
HttpReply readReply(int fd, int timeoutMs);
// Sends `request` and reads the answer.
HttpReply exchange(int fd, const std::string& request, int timeoutMs);
// A GET on a fresh connection from `source`; the answer's time in milliseconds goes to
// `elapsedMs` when given.
HttpReply get(const std::string& source, uint16_t port, const std::string& path,
              double* elapsedMs = nullptr, int timeoutMs = 5000);
// True when the peer closes within `timeoutMs` (whatever it sent before is discarded).
bool closedWithin(int fd, int timeoutMs);

}  // namespace hostile
