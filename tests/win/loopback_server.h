// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) for tests
// that drive WinHTTP. Every connection is served on its own thread, with
// keep-alive; a handler composes each answer and every request is recorded as
// the server saw it. Every socket wait is bounded, so a test cannot hang.
#pragma once
#include <winsock2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvt {

struct HttpRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;  // as received
    std::string body;
    // Every value of the header called name (letter case ignored).
    std::vector<std::string> all(const std::string &name) const;
    // The first value, or "" when there is none.
    std::string header(const std::string &name) const;
};

// One whole response: status line, the given header lines, Content-Length and
// the body.
std::string http_response(int status, const std::vector<std::string> &header_lines, const std::string &body);

class LoopbackServer {
public:
    using Handler = std::function<std::string(const HttpRequest &)>;
    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    int port() const { return port_; }
    std::string url(const std::string &path) const;
    std::vector<HttpRequest> requests() const;

private:
    void accept_loop();
    void serve(SOCKET s);

    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mu_;
    std::vector<std::thread> workers_;  // written by the acceptor only
    std::vector<HttpRequest> seen_;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
int closed_port();

}  // namespace qvt
