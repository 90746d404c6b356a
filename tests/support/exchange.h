// Runs one exchange through a transport record (libcurl, WinHTTP or the fake)
// and keeps everything its sinks saw, in order, for the checks.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "http/transports.h"

// A request header line; a null one stands for a missing line pointer, which
// the transports must survive.
struct header_line {
    header_line(const char *text) : text(text ? std::optional<std::string>(text) : std::nullopt) {}
    header_line(std::string text) : text(std::move(text)) {}
    std::optional<std::string> text;
};

struct call {
    std::string method = "GET";
    std::string url = {};
    std::vector<header_line> headers = {};
    std::optional<std::string> body = {};
    const char *username = nullptr;
    const char *password = nullptr;
    int timeout_ms = 0;  // 0: the transport's defaults
    int connect_timeout_ms = 0;
    int read_timeout_ms = 0;
    uint32_t flags = 0;
    int stop_header = -1;  // the header sink answers 1 at this call (0 = ":status")
    int stop_body = -1;    // the body sink answers 1 at this call
    bool sinks = true;     // false: both sinks null
    // Last word on the record before it goes out (a wrong size, a null URL, a
    // sink of the test's own).
    std::function<void(quorvex_http_req &)> edit = {};
};

struct outcome {
    int result = -2;
    int status = -1;
    bool has_err = false;
    std::string err;
    std::vector<std::pair<std::string, std::string>> headers;  // ":status" included
    std::string body;
    std::vector<size_t> pieces;  // the size of each body piece

    // The first value of the header called name (any letter case), "" when none.
    std::string header(const std::string &name) const;
    int count(const std::string &name) const;
};

// The platform's network transport: libcurl, else WinHTTP.
const quorvex_http *network_transport();

outcome perform(const call &c, const quorvex_http *http = network_transport());
