#include "quote_wire.h"

#include <sys/socket.h>

#include <algorithm>

namespace hostile {

std::string clientHello() {
    std::string h;
    vqp::Hello hello;
    hello.role = vqp::Role::Client;
    vqp::encodeHello(hello, h);
    return h;
}

bool readUntilFrame(int fd, std::string& hello, vqp::FrameDecoder& decoder, vqp::Msg type) {
    char buf[65536];
    for (;;) {
        if (hello.size() == vqp::kHelloSize) {
            vqp::Frame f;
            const auto r = decoder.next(f);
            if (r == vqp::FrameDecoder::Result::Error) {
                return false;
            }
            if (r == vqp::FrameDecoder::Result::Frame) {
                if (f.type == type) {
                    return true;
                }
                continue;
            }
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return false;
        }
        size_t off = 0;
        if (hello.size() < vqp::kHelloSize) {
            off = std::min(vqp::kHelloSize - hello.size(), size_t(n));
            hello.append(buf, off);
        }
        decoder.feed(buf + off, size_t(n) - off);
    }
}

}  // namespace hostile
