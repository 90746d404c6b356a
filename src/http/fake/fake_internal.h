// The fake transport's internals, shared by its source files.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/shared_buf.h"
#include "platform/platform.h"
#include "quorvex_iptv.h"

namespace qvf {
enum : int32_t { FAKE_CANNED = 0, FAKE_FILE = 1, FAKE_FAIL = 2, FAKE_DRIP = 3 };

struct fake_route {
    char *method;
    char *url;
    int32_t kind;
    int32_t status;
    char *headers;
    shared_buf *body;  // null for an empty body
    uint64_t body_len;
    int32_t ranges;
    int32_t drip_chunks;
    char *fail_msg;
    uint32_t calls;
};

// What one request is answered with: a copy of the header text and a
// reference to the route's body taken under the lock, so delivery can run
// without it while the route is re-scripted.
struct answer {
    int32_t status;
    const char *headers;  // own_headers or fixed; null: the status alone
    char *own_headers;
    shared_buf *held;  // the body that body points into
    const char *body;
    size_t body_len;
    bool drip;
    int32_t drip_chunks;
    char fixed[160];
};

// Guards the routes and the counters; never held while a sink runs.
extern vqp::Lock g_l;

// Counts and describes req, then fills a with the answer of its route
// (under g_l). Answers -1 with *err set for a scripted failure, else 0.
int prepare(const quorvex_http_req *req, answer *a, char **err);
// Fills a from route r for req; called under g_l.
void fill_answer(const fake_route &r, const quorvex_http_req *req, answer *a);
void release(answer *a);
// The JSON description of req; whatever could be built when memory is short
// (null when nothing could).
char *describe(const quorvex_http_req *req);
}  // namespace qvf
