#include "server/http/dispatcher.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

namespace vq::http {

namespace {

// The request from memory, the answer into memory: nothing here touches a socket, so no
// handler can wait on a client.
class MemoryStream : public httplib::Stream {
public:
    MemoryStream(const RawRequest& request, std::string& out) : request_(request), out_(out) {}

    bool is_readable() const override { return pos_ < request_.bytes.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, request_.bytes.size() - pos_);
        std::memcpy(ptr, request_.bytes.data() + pos_, n);
        pos_ += n;
        return ssize_t(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        out_.append(ptr, size);
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = request_.remoteAddr;
        port = request_.remotePort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = request_.localAddr;
        port = request_.localPort;
    }
    // No descriptor: the library would only compare it against select()'s limit, which
    // does not apply to a stream in memory.
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    const RawRequest& request_;
    std::string& out_;
    size_t pos_ = 0;
};

// Whether the answer's head says the connection ends with it.
bool closes(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    const std::string head = answer.substr(0, end);
    size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        if (strncasecmp(head.c_str() + pos, "Connection:", 11) == 0) {
            const size_t eol = head.find("\r\n", pos);
            std::string value =
                head.substr(pos + 11, eol == std::string::npos ? eol : eol - pos - 11);
            std::transform(value.begin(), value.end(), value.begin(), ::tolower);
            if (value.find("close") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

RawResponse Dispatcher::serve(const RawRequest& request) {
    RawResponse response;
    MemoryStream stream(request, response.bytes);
    bool closed = false;
    const bool written = process_request(stream, false, closed, nullptr);
    response.close = closed || !written || response.bytes.empty() || closes(response.bytes);
    return response;
}

}  // namespace vq::http
