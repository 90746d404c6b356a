// A scripted HTTP/1.1 server on 127.0.0.1 (the port picked by the system) for
// what a stock web server cannot show: each request is recorded exactly as it
// arrived (header lines in order) and handed to the test's handler, which
// answers on the connection byte for byte. Every wait is bounded, and the
// destructor wakes every thread, so a broken client cannot hang the suite.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct wire_request {
    int index = 0;  // order of arrival across all connections
    std::string method, target;
    std::vector<std::string> lines;  // header lines as received, in order
    std::string body;

    // The value of the first line named name (any letter case), "" when none.
    std::string header(std::string_view name) const;
    bool has(std::string_view name) const;
};

class wire_conn {
public:
    wire_conn(int fd, int wake_fd) : fd_(fd), wake_fd_(wake_fd) {}
    void send(std::string_view bytes);
    // Ends the connection once the handler returns.
    void close() { closed_ = true; }
    bool closed() const { return closed_; }
    // Holds the connection without reading until the server shuts down or
    // max_ms pass: a peer that stops sending and receiving.
    void stall(int max_ms);

private:
    int fd_, wake_fd_;
    bool closed_ = false;
};

using wire_handler = std::function<void(const wire_request &, wire_conn &)>;

struct wire_options {
    bool read_body = true;  // false: the handler runs before the body is read
};

class wire_server {
public:
    explicit wire_server(wire_handler handler, wire_options options = {});
    ~wire_server();
    wire_server(const wire_server &) = delete;
    wire_server &operator=(const wire_server &) = delete;

    int port() const { return port_; }
    std::string url(std::string_view path) const;
    std::vector<wire_request> requests() const;

private:
    void accept_loop();
    void serve(int fd);
    bool read_request(int fd, std::string &pending, wire_request &out);
    bool fill(int fd, std::string &pending);

    wire_handler handler_;
    wire_options options_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mu_;
    std::vector<wire_request> seen_;
    std::vector<std::thread> conns_;
    std::thread acceptor_;
};

// "HTTP/1.1 <status> <reason>", the lines, a Content-Length for the body
// (unless the lines carry one or with_length is false), the body.
std::string http_response(int status, const std::vector<std::string> &lines = {}, std::string_view body = {},
                          bool with_length = true);
