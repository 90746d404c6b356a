#include "source_client/fetch/validator_store.h"

#include <cstring>

#include "common/alloc.h"
#include "source_client/fetch/transport_stats.h"

namespace vqc {

namespace {
constexpr int kEntries = 8;

validator g_val[kEntries];
uint64_t g_ttick;

void clear(validator &v) {
    vq_free(v.url);
    vq_free(v.etag);
    vq_free(v.last_modified);
    sbuf_unref(v.body);
    v = validator{};
}

// The first free entry, else the least recently used one (emptied).
validator &take_slot() {
    validator *oldest = &g_val[0];
    for (auto &v : g_val) {
        if (!v.url) return v;
        if (v.used < oldest->used) oldest = &v;
    }
    clear(*oldest);
    return *oldest;
}
}  // namespace

validator *store_find(const char *url) {
    for (auto &v : g_val)
        if (v.url && std::strcmp(v.url, url) == 0) return &v;
    return nullptr;
}

void store_touch(validator *v) { v->used = ++g_ttick; }

void store_update(const char *url, const char *etag, const char *last_modified, shared_buf *body) {
    if (validator *old = store_find(url)) clear(*old);
    if (!etag && !last_modified) return;
    validator &v = take_slot();
    v.url = vq_strdup(url);
    v.etag = vq_strdup(etag);
    v.last_modified = vq_strdup(last_modified);
    v.body = sbuf_ref(body);
    if (!v.url || (etag && !v.etag) || (last_modified && !v.last_modified)) {
        clear(v);
        return;
    }
    store_touch(&v);
    ++g_tstats.validators_stored;
}

void store_swap_body(const char *url, const shared_buf *delivered, shared_buf *kept) {
    validator *v = store_find(url);
    if (!v || v->body != delivered) return;
    sbuf_unref(v->body);
    v->body = sbuf_ref(kept);
}

void store_clear() {
    for (auto &v : g_val) clear(v);
    g_ttick = 0;
}

}  // namespace vqc
