// A scripted HTTP server behind a host-built I/O record: each URL answers with
// a status, header pairs and body pieces, or fails like a broken connection.
// Every request is recorded (URL and header lines) for the checks.
#pragma once
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quorvex_iptv.h"

struct scripted_answer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> pieces;     // the body as delivered, piece by piece
    int repeat = 1;                      // times the pieces are delivered
    int pause_ms = 0;                    // before each piece: a server that trickles
    std::optional<std::string> failure;  // a transport failure with this text ("": no text)
};

struct seen_request {
    std::string url;
    std::vector<std::string> headers;
    int timeout_ms, connect_timeout_ms;
    uint32_t flags;
    std::optional<std::string> username, password;  // as the request carried them (nullopt: null)
};

scripted_answer ok_body(std::string body, std::vector<std::pair<std::string, std::string>> headers = {});

class script_server {
public:
    script_server();
    script_server(const script_server &) = delete;

    void on(const std::string &url, scripted_answer answer);  // replaces any earlier script
    void clear();
    std::vector<seen_request> requests();
    // The header line of the last request named name ("" when absent).
    std::string last_header(const std::string &name);

    const quorvex_http *http() const { return &http_; }
    // A host's I/O record: ctx is a quorvex_http_ctx over this server.
    const quorvex_io *io() const { return &io_; }
    // Calls of the I/O record's free_buf (the library must release its own
    // bodies itself).
    int io_frees() const { return io_frees_; }
    // Body bytes the sinks accepted since construction.
    size_t body_taken() const { return body_taken_; }

private:
    static int request(void *ctx, const quorvex_http_req *req, int *status, char **err);
    static void io_free(void *ctx, void *buf);
    int answer(const quorvex_http_req *req, int *status, char **err);

    std::mutex mu_;
    std::vector<std::pair<std::string, scripted_answer>> routes_;
    std::vector<seen_request> seen_;
    quorvex_http http_;
    quorvex_http_ctx ctx_;
    quorvex_io io_;
    std::atomic<int> io_frees_{0};
    std::atomic<size_t> body_taken_{0};
};
