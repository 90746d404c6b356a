// The playlist cache: four converted playlists keyed by URL, refreshed through
// conditional fetches and re-parsed only when the body really changed; its
// counters, and the oracle dump that converts a text without network or cache.
// Each slot keeps a reference to the body its playlist came from: the same
// buffer the validator store and the model hold, so the change detection costs
// no copy and no hash, only a comparison when a refresh brings a new buffer of
// the same length.
#include "source_client/cache.h"

#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "common/shared_buf.h"
#include "source_client/channel_model.h"
#include "source_client/fetch.h"
#include "source_client/results.h"
#include "source_client/url_util.h"

namespace {
constexpr int kSlots = 4;
constexpr size_t kOracleMsgSize = 256;
constexpr size_t kDumpFirstCap = 1024;

playlist *g_cache[kSlots];
shared_buf *g_body[kSlots];
cache_stats g_cs;
uint64_t g_use_tick;
int32_t g_max_age_s = 21600;

int slot_of(const char *url) {
    for (int s = 0; s < kSlots; s++)
        if (g_cache[s] && std::strcmp(g_cache[s]->url, url) == 0) return s;
    return -1;
}

void drop(int slot) {
    playlist_free(g_cache[slot]);
    sbuf_unref(g_body[slot]);
    g_cache[slot] = nullptr;
    g_body[slot] = nullptr;
}

// Fills an empty slot with a playlist and the body it was converted from.
void keep(int slot, playlist *p, shared_buf *body) {
    g_cache[slot] = p;
    g_body[slot] = body;
}

// Lengths first: a body of another length has changed without a look at its bytes.
bool same_body(const shared_buf *old, const shared_buf *now) {
    if (old == now) return true;
    size_t len = sbuf_len(now);
    return sbuf_len(old) == len && std::memcmp(sbuf_data(old), sbuf_data(now), len) == 0;
}

// Converts a body; the caller keeps its reference, the playlist takes one of
// its own for as long as it needs the bytes.
int convert(const char *url, shared_buf *body, playlist **out, char *msg, size_t msg_size) {
    body_ref ref{sbuf_data(body), sbuf_len(body), sbuf_unref_any, sbuf_ref(body)};
    return parse_body(url, ref, out, msg, msg_size);
}

bool is_fresh(const playlist *p, int refresh) {
    uint64_t age_ms = vqiptv_now_ms() - p->fetched_ms;
    return refresh != 1 && g_max_age_s > 0 && age_ms < static_cast<uint64_t>(g_max_age_s) * 1000;
}

// Marks p as just used and hands it out.
int hand_out(playlist *p, playlist **out) {
    p->used = ++g_use_tick;
    *out = p;
    return 0;
}

// A new playlist just fetched and converted.
int hand_out_new(playlist *p, playlist **out) {
    g_cs.parses++;
    p->fetched_ms = vqiptv_now_ms();
    return hand_out(p, out);
}

// The first empty slot, else the least recently used one, emptied.
int slot_for_new() {
    int victim = 0;
    for (int s = 0; s < kSlots; s++) {
        if (!g_cache[s]) return s;
        if (g_cache[s]->used < g_cache[victim]->used) victim = s;
    }
    drop(victim);
    g_cs.evictions++;
    return victim;
}

int refresh_slot(const quorvex_io *io, const char *url, int slot, playlist **out, char *msg) {
    shared_buf *body = nullptr;
    int rc = fetch(io, url, &body, msg);
    if (rc != 0) {
        drop(slot);  // a failed refresh drops the cached copy
        return rc;
    }
    playlist *old = g_cache[slot];
    if (same_body(g_body[slot], body)) {
        sbuf_unref(body);
        g_cs.revalidated++;
        old->fetched_ms = vqiptv_now_ms();
        return hand_out(old, out);
    }
    playlist *fresh = nullptr;
    rc = convert(url, body, &fresh, msg, kMsgSize);
    drop(slot);
    if (rc != 0) {
        sbuf_unref(body);
        return -5;
    }
    keep(slot, fresh, body);
    return hand_out_new(fresh, out);
}

int add_new(const quorvex_io *io, const char *url, playlist **out, char *msg) {
    g_cs.misses++;
    shared_buf *body = nullptr;
    int rc = fetch(io, url, &body, msg);
    if (rc != 0) return rc;
    playlist *p = nullptr;
    if (convert(url, body, &p, msg, kMsgSize) != 0) {
        sbuf_unref(body);
        return -5;
    }
    keep(slot_for_new(), p, body);
    return hand_out_new(p, out);
}

// Appends "name\tlocation\n" for every channel to a growing text.
char *dump_channels(const playlist *p) {
    size_t cap = kDumpFirstCap, len = 0;
    auto *text = static_cast<char *>(vq_malloc(cap));
    for (int32_t i = 0; text && i < p->channel_count; i++) {
        std::string_view name = pl_text(p, p->channels[i].name), loc = pl_text(p, p->channels[i].location);
        size_t nl = name.size(), ll = loc.size();
        size_t need = len + nl + ll + 4;
        if (need > cap) {
            while (need > cap) cap *= 2;
            auto *grown = static_cast<char *>(vq_realloc(text, cap));
            if (!grown) vq_free(text);
            text = grown;
            if (!text) break;
        }
        std::memcpy(text + len, name.data(), nl);
        text[len + nl] = '\t';
        std::memcpy(text + len + nl + 1, loc.data(), ll);
        text[len + nl + 1 + ll] = '\n';
        len += nl + ll + 2;
    }
    if (text) text[len] = '\0';
    return text;
}

int oracle_convert(const char *text, playlist **out) {
    vqp::Guard hold(g_lock);
    shared_buf *copy = sbuf_copy(text ? text : "", text ? std::strlen(text) : 0);
    if (!copy) return -5;
    char msg[kOracleMsgSize];
    int rc = convert("oracle:", copy, out, msg, sizeof msg);
    sbuf_unref(copy);
    if (rc != 0) set_err("%s", msg);
    return rc;
}
}  // namespace

void vqiptv_count_error() { g_cs.errors++; }

int ensure(const quorvex_io *io, const char *url, int refresh, playlist **out, char *msg) {
    *out = nullptr;
    int slot = slot_of(url);
    if (slot < 0) return add_new(io, url, out, msg);
    if (is_fresh(g_cache[slot], refresh)) {
        g_cs.hits++;
        return hand_out(g_cache[slot], out);
    }
    return refresh_slot(io, url, slot, out, msg);
}

void cache_counters(cache_stats *out) {
    *out = g_cs;
    out->entries = 0;
    for (playlist *p : g_cache) out->entries += p ? 1 : 0;
}

int32_t cache_max_age_s() { return g_max_age_s; }

void vqiptv_cache_clear(void) {
    vqp::Guard hold(g_lock);
    for (int s = 0; s < kSlots; s++) drop(s);
    g_cs = cache_stats{};
}

int32_t vqiptv_cache_set_max_age(int32_t seconds) {
    if (seconds < 0) return -8;
    vqp::Guard hold(g_lock);
    g_max_age_s = seconds;
    return 0;
}

char *vqiptv_oracle_dump(const char *text, int *status) {
    playlist *p = nullptr;
    int rc = oracle_convert(text, &p);
    char *dump = rc == 0 ? dump_channels(p) : nullptr;
    playlist_free(p);
    // A dump that cannot be built is reported, not passed off as success.
    if (rc == 0 && !dump) rc = -5;
    if (status) *status = rc;
    return dump;
}
