// A blocking client of the quote service speaking the protocol by hand, for tests that
// check what the server sends without the terminal's engine in between.
#pragma once

#include "protocol/messages.h"

#include <algorithm>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A blocking test client speaking the protocol by hand.
class RawClient {
public:
    explicit RawClient(uint16_t port, int rcvbuf = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (rcvbuf > 0)
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
        timeval tv{5, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool connected() const { return connected_; }
    void send(const std::string& bytes) {
        (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void hello() {
        std::string h;
        vqp::Hello hello;
        hello.role = vqp::Role::Client;
        vqp::encodeHello(hello, h);
        send(h);
    }
    // Reads until the server's hello has come and then one frame of `type`; false on close
    // or timeout.
    bool readFrame(vqp::Msg type, vqp::Frame* out = nullptr) {
        for (;;) {
            if (gotHello_) {
                vqp::Frame f;
                auto r = decoder_.next(f);
                if (r == vqp::FrameDecoder::Result::Error)
                    return false;
                if (r == vqp::FrameDecoder::Result::Frame) {
                    if (f.type == type) {
                        if (out)
                            *out = f;
                        return true;
                    }
                    continue;
                }
            }
            char buf[65536];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            size_t off = 0;
            if (!gotHello_) {
                size_t take = std::min(vqp::kHelloSize - hello_.size(), size_t(n));
                hello_.append(buf, take);
                off = take;
                gotHello_ = hello_.size() == vqp::kHelloSize;
            }
            decoder_.feed(buf + off, size_t(n) - off);
        }
    }
    // True when the server closes the connection (after its hello, possibly).
    bool closedByServer() {
        char buf[4096];
        for (;;) {
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return false;  // timeout: still open
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool gotHello_ = false;
    std::string hello_;
    vqp::FrameDecoder decoder_;
};
