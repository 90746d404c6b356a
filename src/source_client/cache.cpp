// The playlist cache: four converted playlists keyed by URL, refreshed through
// conditional fetches and re-parsed only when the body really changed; its
// counters, and the oracle dump that converts a text without network or cache.
#include "source_client/cache.h"

#include <cstring>

#include "common/alloc.h"
#include "source_client/channel_model.h"
#include "source_client/fetch.h"
#include "source_client/results.h"
#include "source_client/url_util.h"

namespace {
constexpr int kSlots = 4;
constexpr size_t kOracleMsgSize = 256;
constexpr size_t kDumpFirstCap = 1024;

playlist *g_cache[kSlots];
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
    g_cache[slot] = nullptr;
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
    char *body = nullptr;
    size_t len = 0;
    int rc = fetch(io, url, &body, &len, msg);
    if (rc != 0) {
        drop(slot);  // a failed refresh drops the cached copy
        return rc;
    }
    uint64_t hash = vqiptv_fnv1a(body, len, kFnvOffsetBasis);
    playlist *old = g_cache[slot];
    if (hash == old->hash && len == old->body_len) {
        vq_free(body);  // fetched bodies come from vq_malloc, whatever the I/O record
        g_cs.revalidated++;
        old->fetched_ms = vqiptv_now_ms();
        return hand_out(old, out);
    }
    playlist *fresh = nullptr;
    if (parse_body(io, url, body, len, hash, &fresh, msg, kMsgSize) != 0) {
        drop(slot);
        return -5;
    }
    drop(slot);
    g_cache[slot] = fresh;
    return hand_out_new(fresh, out);
}

int add_new(const quorvex_io *io, const char *url, playlist **out, char *msg) {
    g_cs.misses++;
    char *body = nullptr;
    size_t len = 0;
    int rc = fetch(io, url, &body, &len, msg);
    if (rc != 0) return rc;
    playlist *p = nullptr;
    if (parse_body(io, url, body, len, vqiptv_fnv1a(body, len, kFnvOffsetBasis), &p, msg, kMsgSize) != 0)
        return -5;
    g_cache[slot_for_new()] = p;
    return hand_out_new(p, out);
}

// Appends "name\tlocation\n" for every channel to a growing text.
char *dump_channels(const playlist *p) {
    size_t cap = kDumpFirstCap, len = 0;
    auto *text = static_cast<char *>(vq_malloc(cap));
    for (int32_t i = 0; text && i < p->channel_count; i++) {
        const char *name = pl_str(p, p->channels[i].name);
        const char *loc = pl_str(p, p->channels[i].location);
        size_t nl = std::strlen(name), ll = std::strlen(loc);
        size_t need = len + nl + ll + 4;
        if (need > cap) {
            while (need > cap) cap *= 2;
            auto *grown = static_cast<char *>(vq_realloc(text, cap));
            if (!grown) vq_free(text);
            text = grown;
            if (!text) break;
        }
        std::memcpy(text + len, name, nl);
        text[len + nl] = '\t';
        std::memcpy(text + len + nl + 1, loc, ll);
        text[len + nl + 1 + ll] = '\n';
        len += nl + ll + 2;
    }
    if (text) text[len] = '\0';
    return text;
}

int oracle_convert(const char *text, playlist **out) {
    vqp::Guard hold(g_lock);
    size_t len = text ? std::strlen(text) : 0;
    char *copy = vq_strndup(text ? text : "", len);
    if (!copy) return -5;
    uint64_t hash = vqiptv_fnv1a(copy, len, kFnvOffsetBasis);
    char msg[kOracleMsgSize];
    int rc = parse_body(nullptr, "oracle:", copy, len, hash, out, msg, sizeof msg);
    if (rc != 0) set_err("%s", msg);
    return rc;
}
}  // namespace

void vqiptv_count_error() { g_cs.errors++; }
void vqiptv_count_vlcopt_mismatch() { g_cs.vlcopt_mismatch++; }

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
