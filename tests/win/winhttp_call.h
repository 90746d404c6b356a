// Runs one exchange through the WinHTTP transport and records what reached the
// sinks, in order.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "http/http.h"

namespace qvt {

struct Exchange {
    int rc = 0;
    int status = -1;
    std::string err;
    std::vector<std::pair<std::string, std::string>> headers;  // ":status" first
    std::string body;
    size_t pieces = 0;
    int stop_on_header = -1;  // index of the header sink call that answers 1
    int stop_on_piece = -1;   // index of the body piece that answers 1

    std::string header(const std::string &name) const;
    size_t count(const std::string &name) const;
};

struct Call {
    std::string method = "GET";
    std::string url = "";
    std::vector<const char *> lines = {};
    const char *body = nullptr;
    size_t body_len = 0;
    const char *username = nullptr;
    const char *password = nullptr;
    int timeout_ms = 0;
    int read_timeout_ms = 0;
    unsigned flags = 0;
    bool sinks = true;
};

// True when the program runs under Wine, whose WinHTTP differs from Windows'
// in a few documented places (no Digest, socket error numbers on timeouts).
bool under_wine();

// Fills a request record from c and runs it; x says where the sinks stop.
void run(const Call &c, Exchange &x);
Exchange run(const Call &c);

}  // namespace qvt
