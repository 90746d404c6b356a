// A tiny scriptable transport for the adapter and ranged-GET tests: it
// records what it was asked and answers from its fields.
#pragma once
#include <string>
#include <vector>

#include "quorvex_iptv.h"

struct stub_transport {
    // the answer
    int result = 0;
    int status = 200;
    std::string body;
    size_t piece = 64;         // body piece size
    const char *err = nullptr; // text handed out in *err (also after success)
    // what was asked
    int calls = 0;
    std::string method, url;
    std::vector<std::string> headers;
    bool body_set = false;
    std::string sent;
    quorvex_http record;  // ctx points back to this stub

    stub_transport();
};
