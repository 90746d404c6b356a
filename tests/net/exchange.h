// Runs one exchange through a transport record and keeps everything the sinks
// saw, in order, for the checks.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quorvex_iptv.h"

struct call {
    std::string method = "GET";
    std::string url;
    std::vector<std::string> headers;
    std::optional<std::string> body;
    const char *username = nullptr;
    const char *password = nullptr;
    int timeout_ms = 10000;
    int connect_timeout_ms = 5000;
    int read_timeout_ms = 10000;
    uint32_t flags = 0;
    int stop_header = -1;     // on_header answers 1 at this call (0 = ":status")
    bool stop_body = false;   // on_body answers 1 at its first call
    bool sinks = true;        // false: both sinks null
};

struct outcome {
    int result = -2;
    int status = -1;
    bool has_err = false;
    std::string err;
    std::vector<std::pair<std::string, std::string>> headers;  // ":status" included
    std::string body;
    int pieces = 0;

    std::string header(const std::string &name) const;  // first value, "" when none
    int count(const std::string &name) const;
};

outcome perform(const call &c, const quorvex_http *http);
outcome perform(const call &c);  // through the libcurl transport
