// The fake transport's route table: scripting, counters, reset, and the
// lookup a request runs under the lock.
#include <cstring>

#include "common/alloc.h"
#include "common/thread_text.h"
#include "http/fake.h"
#include "http/fake/fake_internal.h"
#include "http/headers.h"
#include "http/util.h"

using qvf::fake_route;

vqp::Lock qvf::g_l;

namespace {
constexpr int32_t kMaxRoutes = 256;
constexpr int32_t kFirstCap = 16;
constexpr const char *kDripHeaders = "Content-Type: application/octet-stream\n";
constexpr const char *kFailText = "fake: transport failure";
constexpr const char *kWriteMethods[] = {"PUT", "MKCOL", "DELETE", "MOVE", "COPY",
                                         "PROPPATCH", "LOCK", "UNLOCK", "POST"};

fake_route *g_routes;
int32_t g_n;
int32_t g_cap;
uint32_t g_total;
uint32_t g_writes;
// Read without the lock by quorvex_fake_last_request: each thread keeps the
// description of the last request it made itself, so no other thread's request
// frees the text it reads.
constexpr vq_thread_text g_last_req{kFakeRequestSlot};

fake_route *find_route(const char *method, const char *url) {
    for (int32_t i = 0; i < g_n; ++i)
        if (!std::strcmp(g_routes[i].method, method) && !std::strcmp(g_routes[i].url, url)) return &g_routes[i];
    return nullptr;
}

void drop_response(fake_route &r) {
    vq_free(r.headers);
    sbuf_unref(r.body);
    vq_free(r.fail_msg);
    r.headers = r.fail_msg = nullptr;
    r.body = nullptr;
    r.body_len = 0;
}

bool room_for_one() {
    if (g_n < g_cap) return true;
    int32_t cap = g_cap ? g_cap * 2 : kFirstCap;
    void *p = vq_realloc(g_routes, static_cast<size_t>(cap) * sizeof(fake_route));
    if (!p) return false;
    g_routes = static_cast<fake_route *>(p);
    g_cap = cap;
    return true;
}

// The route to (re)script, its old response dropped; null when the table is
// full or memory is short.
fake_route *route_for(const char *method, const char *url) {
    if (fake_route *r = find_route(method, url)) {
        drop_response(*r);
        return r;
    }
    if (g_n >= kMaxRoutes || !room_for_one()) return nullptr;
    char *m = vq_strdup(method);
    char *u = vq_strdup(url);
    if (!m || !u) {
        vq_free(m);
        vq_free(u);
        return nullptr;
    }
    fake_route *r = &g_routes[g_n++];
    *r = fake_route{};
    r->method = m;
    r->url = u;
    return r;
}

template <class Fill>
int script(const char *method, const char *url, Fill fill) {
    vqp::Guard g(qvf::g_l);
    fake_route *r = route_for(method, url);
    return r ? fill(*r) : -1;
}

// An uncopyable body leaves the route with an empty one; answers whether the
// copy exists or none was needed.
bool set_body(fake_route &r, const void *body, size_t n) {
    r.body = n ? sbuf_copy(body, n) : nullptr;
    r.body_len = r.body ? n : 0;
    return r.body || n == 0;
}

int set_text_and_body(fake_route &r, const char *headers, const void *body, size_t n) {
    r.headers = vq_strdup(headers);
    if (!r.headers) return -1;
    set_body(r, body, n);
    return 0;
}

bool is_write(const char *method) {
    for (const char *w : kWriteMethods)
        if (!std::strcmp(w, method)) return true;
    return false;
}

void note_request(const quorvex_http_req *req) {
    ++g_total;
    if (is_write(req->method)) ++g_writes;
    g_last_req.keep(qvf::describe(req));
}

fake_route *route_answering(const quorvex_http_req *req) {
    fake_route *r = find_route(req->method, req->url);
    if (!r && !std::strcmp(req->method, "HEAD")) r = find_route("GET", req->url);
    return r;
}
}  // namespace

int qvf::prepare(const quorvex_http_req *req, answer *a, char **err) {
    vqp::Guard g(g_l);
    note_request(req);
    fake_route *r = route_answering(req);
    if (!r) {
        a->status = 404;
        return 0;
    }
    ++r->calls;
    if (r->kind == FAKE_FAIL) return qvh::fail(err, r->fail_msg ? r->fail_msg : kFailText);
    fill_answer(*r, req, a);
    return 0;
}

int quorvex_fake_set(const char *method, const char *url, int status, const char *headers, const void *body,
                     size_t body_len) {
    if (!url || !quorvex_method_ok(method) || (!body && body_len)) return -1;
    return script(method, url, [&](fake_route &r) {
        r.kind = qvf::FAKE_CANNED;
        r.status = status;
        return set_text_and_body(r, headers ? headers : "", body, body_len);
    });
}

int quorvex_fake_file(const char *url, const void *data, size_t size, int ranges) {
    if (!url || (!data && size)) return -1;
    return script("GET", url, [&](fake_route &r) {
        r.kind = qvf::FAKE_FILE;
        r.status = 200;
        r.ranges = ranges;
        return set_body(r, data, size) ? 0 : -1;
    });
}

int quorvex_fake_drip(const char *url, int status, const void *data, size_t size, int chunks) {
    if (!url || (!data && size)) return -1;
    return script("GET", url, [&](fake_route &r) {
        r.kind = qvf::FAKE_DRIP;
        r.status = status;
        r.drip_chunks = chunks;
        return set_text_and_body(r, kDripHeaders, data, size);
    });
}

int quorvex_fake_fail(const char *method, const char *url, const char *message) {
    if (!method || !url) return -1;
    return script(method, url, [&](fake_route &r) {
        r.kind = qvf::FAKE_FAIL;
        r.fail_msg = vq_strdup(message ? message : kFailText);
        return r.fail_msg ? 0 : -1;
    });
}

void quorvex_fake_reset() {
    vqp::Guard g(qvf::g_l);
    for (int32_t i = 0; i < g_n; ++i) {
        drop_response(g_routes[i]);
        vq_free(g_routes[i].method);
        vq_free(g_routes[i].url);
    }
    vq_free(g_routes);
    g_routes = nullptr;
    g_n = g_cap = 0;
    g_total = g_writes = 0;
    g_last_req.keep(nullptr);
}

int quorvex_fake_calls(const char *method, const char *url) {
    vqp::Guard g(qvf::g_l);
    if (!method || !url) return static_cast<int>(g_total);
    const fake_route *r = find_route(method, url);
    return r ? static_cast<int>(r->calls) : 0;
}

int quorvex_fake_calls_method(const char *method) {
    vqp::Guard g(qvf::g_l);
    if (!method) return static_cast<int>(g_total);
    uint32_t sum = 0;
    for (int32_t i = 0; i < g_n; ++i)
        if (!std::strcmp(g_routes[i].method, method)) sum += g_routes[i].calls;
    return static_cast<int>(sum);
}

int quorvex_fake_writes_sent() {
    vqp::Guard g(qvf::g_l);
    return static_cast<int>(g_writes);
}

const char *quorvex_fake_last_request() { return g_last_req.get(); }
