#pragma once

// A real HTTP server on an ephemeral loopback port, running on a thread of its own for the
// length of a test. Routes are registered on `server()` before start().

#include <httplib.h>

#include <chrono>
#include <string>
#include <thread>

class LocalHttpServer {
public:
    LocalHttpServer() = default;
    ~LocalHttpServer() { stop(); }

    httplib::Server& server() { return server_; }

    // Binds 127.0.0.1 on a free port and serves until stop(). Returns the port (0 on failure).
    int start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            return 0;
        }
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // listen_after_bind() accepts only once running; the socket is already bound, so a
        // client that connects early simply waits in the backlog.
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return port_;
    }

    void stop() {
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }

    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};
