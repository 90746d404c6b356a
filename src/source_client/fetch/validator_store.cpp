#include "source_client/fetch/validator_store.h"

#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/fetch/url_credentials.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {
constexpr int kEntries = 8;

validator g_val[kEntries];
uint64_t g_ttick;

// A URL as the store keys it: the text around its user information and "@",
// and the hash of that information.
struct store_key {
    std::string_view before, after;
    uint64_t credentials;
};

store_key key_of(const char *url) {
    std::string_view u(url);
    std::string_view info = url_userinfo(u);
    if (info.data() == u.data() + u.size()) return {u, info, 0};
    size_t at = static_cast<size_t>(info.data() - u.data());
    return {u.substr(0, at), u.substr(at + info.size() + 1), slot_hash(slot_key_once(), info) | 1};
}

bool holds(const validator &v, const store_key &k) {
    size_t n = k.before.size();
    return v.url && v.credentials == k.credentials && std::strlen(v.url) == n + k.after.size() &&
           std::memcmp(v.url, k.before.data(), n) == 0 && std::memcmp(v.url + n, k.after.data(), k.after.size()) == 0;
}

// The URL of the key as one heap text, or null when memory is short.
char *url_text(const store_key &k) {
    size_t n = k.before.size(), m = k.after.size();
    char *text = static_cast<char *>(vq_malloc(n + m + 1));
    if (!text) return nullptr;
    std::memcpy(text, k.before.data(), n);
    std::memcpy(text + n, k.after.data(), m);
    text[n + m] = '\0';
    return text;
}

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
    store_key k = key_of(url);
    for (auto &v : g_val)
        if (holds(v, k)) return &v;
    return nullptr;
}

void store_touch(validator *v) { v->used = ++g_ttick; }

void store_update(const char *url, const char *etag, const char *last_modified, shared_buf *body) {
    if (validator *old = store_find(url)) clear(*old);
    if (!etag && !last_modified) return;
    validator &v = take_slot();
    store_key k = key_of(url);
    v.url = url_text(k);
    v.credentials = k.credentials;
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
