#include "loopback_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <chrono>
#include <cstdlib>

namespace hostile {

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Waits for input until `deadline`; false on timeout.
bool readable(int fd, int64_t deadline) {
    const int64_t left = deadline - nowMs();
    if (left <= 0) {
        return false;
    }
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, int(left)) > 0;
}

}  // namespace

int connectFrom(const std::string& source, uint16_t port, int rcvbuf) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (rcvbuf > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += size_t(n);
    }
    return true;
}

HttpReply readReply(int fd, int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    std::string in;
    char buf[65536];
    for (;;) {
        const size_t end = in.find("\r\n\r\n");
        if (end != std::string::npos) {
            size_t length = 0;
            for (size_t pos = in.find("\r\n") + 2; pos < end;) {
                const size_t eol = in.find("\r\n", pos);
                if (strncasecmp(in.c_str() + pos, "Content-Length:", 15) == 0) {
                    length = size_t(std::strtoul(in.c_str() + pos + 15, nullptr, 10));
                }
                pos = eol + 2;
            }
            // A "100 Continue" is followed by the real answer.
            if (in.compare(0, 12, "HTTP/1.1 100") == 0) {
                in.erase(0, end + 4);
                continue;
            }
            if (in.size() >= end + 4 + length) {
                HttpReply r;
                r.status = std::atoi(in.c_str() + 9);
                r.body = in.substr(end + 4, length);
                return r;
            }
        }
        if (!readable(fd, deadline)) {
            return {};
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return {};
        }
        in.append(buf, size_t(n));
    }
}

HttpReply exchange(int fd, const std::string& request, int timeoutMs) {
    if (!sendAll(fd, request)) {
        return {};
    }
    return readReply(fd, timeoutMs);
}

HttpReply get(const std::string& source, uint16_t port, const std::string& path, double* elapsedMs,
              int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = connectFrom(source, port);
    HttpReply r;
    if (fd >= 0) {
        r = exchange(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", timeoutMs);
        ::close(fd);
    }
    if (elapsedMs) {
        *elapsedMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    return r;
}

bool closedWithin(int fd, int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    char buf[65536];
    for (;;) {
        if (!readable(fd, deadline)) {
            return false;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return true;
        }
    }
}

}  // namespace hostile
