// The playlist cache: four converted playlists keyed by URL, refreshed through
// conditional fetches and re-parsed only when the body really changed, and
// its counters. Each slot keeps a reference to the body its playlist came
// from: the same buffer the validator store and the model hold, so the change
// detection costs no copy and no hash. A 304 says by itself that nothing
// changed; a 200 is compared byte for byte, lengths first, and when nothing
// changed the store takes the slot's buffer in place of the new one.
#include "source_client/cache/cache.h"

#include <cstring>

#include "common/shared_buf.h"
#include "source_client/fetch/fetch.h"
#include "source_client/model/channel_model.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {
constexpr int kSlots = 4;

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
bool same_bytes(const shared_buf *old, const shared_buf *now) {
    size_t len = sbuf_len(now);
    return sbuf_len(old) == len && std::memcmp(sbuf_data(old), sbuf_data(now), len) == 0;
}

// Whether the fetch brought the body the slot's playlist came from. A 304
// answers with the store's buffer, which is the slot's own: the store took it
// after the last 200 of the same bytes, or the slot took the store's.
bool unchanged(const char *url, const fetch_result &got, shared_buf *kept) {
    if (got.not_modified) return true;
    if (!same_bytes(kept, got.body)) return false;
    fetch_keep_body(url, got.body, kept);
    return true;
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

int refresh_slot(const quorvex_io *io, const char *url, int slot, playlist **out, char *msg,
                 const source_headers *extra) {
    fetch_result got;
    int rc = fetch(io, url, &got, msg, extra);
    if (rc != QVX_OK) {
        drop(slot);  // a failed refresh drops the cached copy
        return rc;
    }
    playlist *old = g_cache[slot];
    if (unchanged(url, got, g_body[slot])) {
        sbuf_unref(got.body);
        g_cs.revalidated++;
        old->fetched_ms = vqiptv_now_ms();
        return hand_out(old, out);
    }
    playlist *fresh = nullptr;
    rc = parse_body(url, got.body, &fresh, msg, kMsgSize);
    drop(slot);
    if (rc != QVX_OK) {
        sbuf_unref(got.body);
        return QVX_E_CONTENT;
    }
    keep(slot, fresh, got.body);
    return hand_out_new(fresh, out);
}

int add_new(const quorvex_io *io, const char *url, playlist **out, char *msg, const source_headers *extra) {
    g_cs.misses++;
    fetch_result got;
    int rc = fetch(io, url, &got, msg, extra);
    if (rc != QVX_OK) return rc;
    playlist *p = nullptr;
    if (parse_body(url, got.body, &p, msg, kMsgSize) != QVX_OK) {
        sbuf_unref(got.body);
        return QVX_E_CONTENT;
    }
    keep(slot_for_new(), p, got.body);
    return hand_out_new(p, out);
}

}  // namespace

void vqiptv_count_error() { g_cs.errors++; }

int ensure(const quorvex_io *io, const char *url, int refresh, playlist **out, char *msg,
           const source_headers *extra) {
    *out = nullptr;
    int slot = slot_of(url);
    if (slot < 0) return add_new(io, url, out, msg, extra);
    if (is_fresh(g_cache[slot], refresh)) {
        g_cs.hits++;
        return hand_out(g_cache[slot], out);
    }
    return refresh_slot(io, url, slot, out, msg, extra);
}

void cache_counters(cache_stats *out) {
    *out = g_cs;
    out->entries = 0;
    for (playlist *p : g_cache) out->entries += p ? 1 : 0;
}

int32_t cache_max_age_s() { return g_max_age_s; }

void cache_set_max_age_s(int32_t seconds) { g_max_age_s = seconds; }

void cache_clear() {
    for (int s = 0; s < kSlots; s++) drop(s);
    g_cs = cache_stats{};
}

}  // namespace vqc
