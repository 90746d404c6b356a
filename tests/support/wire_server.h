// A scripted HTTP/1.1 server on 127.0.0.1 (the port picked by the system) for
// what a stock web server cannot show, on Linux and under Windows: each request
// is recorded exactly as it arrived (header lines in order) and handed to the
// test's handler, which has the connection to itself: it answers byte for
// byte, in pieces with pauses between them, stalls or closes. Every wait is
// bounded, and the destructor wakes every thread, so neither a broken client
// nor a handler that floods or sleeps can hang the suite.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "wire_socket.h"

struct wire_request {
    int index = 0;  // order of arrival across all connections
    std::string method, target;
    std::vector<std::string> lines;  // header lines as received, in order
    std::string body;

    // The value of the first line named name (any letter case), "" when none.
    std::string header(std::string_view name) const;
    // Every value of the lines named name, in order.
    std::vector<std::string> all(std::string_view name) const;
    bool has(std::string_view name) const;
};

class wire_conn {
public:
    wire_conn(wire_socket::handle s, const std::atomic<bool> &stopping) : s_(s), stopping_(stopping) {}
    // False once the peer is gone, stopped reading for the idle limit, or the
    // server shuts down.
    bool send(std::string_view bytes);
    // bytes in pieces of at most piece bytes, gap_ms apart; false as for send.
    bool trickle(std::string_view bytes, size_t piece, int gap_ms);
    // piece again and again until total bytes are sent (the last piece cut
    // short): a body or a header line as long as the test likes without
    // holding it. False as for send.
    bool flood(std::string_view piece, size_t total);
    // Sleeps ms; false when the server shuts down first.
    bool pause(int ms);
    // Ends the connection once the handler returns; with reset, as a TCP reset.
    void close(bool reset = false) { closed_ = true, reset_ = reset; }
    bool closed() const { return closed_; }
    bool reset() const { return reset_; }
    // Holds the connection without reading until the server shuts down or
    // max_ms pass, then closes it: a peer that stops sending and receiving.
    void stall(int max_ms);
    bool stopping() const { return stopping_; }

private:
    wire_socket::handle s_;
    const std::atomic<bool> &stopping_;
    bool closed_ = false, reset_ = false;
};

using wire_handler = std::function<void(const wire_request &, wire_conn &)>;
// A handler that answers each request with the bytes it returns.
using wire_reply = std::function<std::string(const wire_request &)>;

struct wire_options {
    bool read_body = true;  // false: the handler runs before the body is read
};

class wire_server {
public:
    explicit wire_server(wire_handler handler, wire_options options = {});
    explicit wire_server(wire_reply reply);
    ~wire_server();
    wire_server(const wire_server &) = delete;
    wire_server &operator=(const wire_server &) = delete;

    int port() const { return port_; }
    std::string url(std::string_view path) const;
    std::vector<wire_request> requests() const;

private:
    void accept_loop();
    void serve(wire_socket::handle s);
    bool read_request(wire_socket::handle s, std::string &pending, wire_request &out);
    bool fill(wire_socket::handle s, std::string &pending);

    wire_handler handler_;
    wire_options options_;
    int port_ = 0;
    wire_socket::handle listener_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mu_;
    std::vector<wire_request> seen_;
    std::vector<std::thread> conns_;
    std::thread acceptor_;
};

// "HTTP/1.1 <status> <reason>", the lines, a Content-Length for the body
// (unless the lines carry one or with_length is false), the body.
std::string http_response(int status, const std::vector<std::string> &lines = {}, std::string_view body = {},
                          bool with_length = true);

// A port on 127.0.0.1 where nothing listens (bound, then released).
int closed_loopback_port();
