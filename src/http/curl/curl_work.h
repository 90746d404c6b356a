// Per-request state of the libcurl transport, shared by its units:
// curl_transport.cpp (set-up and failure texts), curl_headers.cpp (header
// lines out and in, delivery to the sinks), curl_pump.cpp (the transfer loop
// with its idle timeouts and rate floor) and curl_sockets.cpp (the bytes its
// sockets received).
#pragma once
#include <curl/curl.h>

#include <cstdint>

#include "http/buf.h"
#include "http/rate_floor.h"
#include "quorvex_iptv.h"

// The exchange's open sockets (a few at once while connecting) and what the
// closed ones had received.
struct curl_sockets {
    static constexpr int kMax = 4;
    curl_socket_t live[kMax];
    int count;
    uint64_t closed_bytes;
};

struct curl_work {
    const quorvex_http_req *req;
    CURL *easy;
    CURLU *url;
    curl_slist *headers;  // the lines handed to libcurl
    quorvex_buf pairs;    // headers of the response being read (header-pairs list)
    long status;          // status of the response being read
    bool in_head;         // between that response's status line and its blank line
    bool delivered;       // ":status" and the headers went to on_header
    bool stopped;         // a sink asked to stop, or a second 401 came: the exchange still succeeds
    int unauthorized;     // 401 status lines received
    bool oom;             // a response header could not be kept
    bool connected;       // a connection is up, so the idle timeouts run
    const char *idle_stage; // "send" or "receive" once an idle timeout fired
    bool too_slow;        // the rate floor ended the exchange
    bool past_deadline;   // the calling thread's deadline ended it (http/deadline.h)
    bool via_proxy;       // libcurl took a proxy from the environment
    bool floor_on;        // the rate floor counts (the request is sent)
    uint64_t last_ms;     // when bytes last moved
    uint64_t moved;       // bytes moved so far, both ways, headers included
    quorvex_rate_floor floor;
    curl_sockets sockets;
    char detail[CURL_ERROR_SIZE];  // libcurl's own words on a failure (CURLOPT_ERRORBUFFER)
};

// Whether the request's body goes on the wire: a HEAD carries none, since
// libcurl sends it without waiting for a body and so without one of its own.
bool quorvex_curl_sends_body(const quorvex_http_req *req);
// Builds w->headers from the request; 0, or -1 when memory is short.
int quorvex_curl_headers(curl_work *w);
// libcurl's header and write callbacks; user is the curl_work.
size_t quorvex_curl_on_header(char *line, size_t size, size_t n, void *user);
size_t quorvex_curl_on_body(char *data, size_t size, size_t n, void *user);
// Hands ":status" and the held headers to on_header, once; -1 when a sink stopped.
int quorvex_curl_flush(curl_work *w);
// Runs the transfer; the result of libcurl, or CURLE_OPERATION_TIMEDOUT with
// w->idle_stage set when no byte moved for longer than the idle limit, with
// w->too_slow set when the response came slower than the rate floor, or with
// w->past_deadline set when the calling thread's deadline came first.
CURLcode quorvex_curl_pump(curl_work *w);
// Has libcurl report the sockets it opens and closes to w->sockets.
CURLcode quorvex_curl_track_sockets(curl_work *w);
// Bytes the exchange's sockets received so far (0 where the kernel does not say).
uint64_t quorvex_curl_socket_bytes(const curl_work *w);
