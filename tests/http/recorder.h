// Test sinks that record what a transport delivers.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "http/http.h"

struct recorder {
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> pieces;
    int stop_header_at = -1;  // index of the header call that answers 1
    int stop_body_at = -1;    // index of the body call that answers 1

    std::string body() const;
    std::string header(const std::string &name) const;  // "" when absent
    static int on_header(void *user, const char *name, const char *value);
    static int on_body(void *user, const void *data, size_t len);
};

// A request record for method and url with the recorder's sinks.
quorvex_http_req make_req(const char *method, const char *url, recorder *rec,
                          const std::vector<const char *> *headers = nullptr);

// Runs req through the fake; answers the request's result.
int fake_run(const quorvex_http_req &req, int *status, std::string *err = nullptr);
