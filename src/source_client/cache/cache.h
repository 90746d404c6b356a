// The playlist cache (4 playlists), its counters and the statistics document.
#pragma once
#include <cstdint>

#include "quorvex_iptv.h"

struct playlist;

struct cache_stats {
    // vlcopt_mismatch stays 0: the options come with the parser's own lines,
    // so they can never count otherwise than its entries.
    uint32_t hits, misses, revalidated, parses, evictions, errors, entries, vlcopt_mismatch;
};
struct transport_stats {
    uint32_t requests, not_modified, validators_stored, transport_errors;
};

// Counted by fail() for every operation failure (caller holds g_lock).
void vqiptv_count_error();

// Hands out the playlist of url, fetched, revalidated or cached; refresh 1
// forces a request to the server. Caller holds g_lock; the playlist is
// borrowed until the next ensure. msg is a 400-byte buffer.
int ensure(const quorvex_io *io, const char *url, int refresh, playlist **out, char *msg);

void vqiptv_cache_stats_get(cache_stats *out);
// The counters with the number of occupied slots as entries, and the maximum
// age in seconds: the statistics read them while holding g_lock.
void cache_counters(cache_stats *out);
int32_t cache_max_age_s();
void vqiptv_curl_stats(transport_stats *out);
void vqiptv_curl_reset();
// Converts a playlist text without network or cache and lists its channels as
// "name\tlocation\n" lines; release with vq_free. Null on failure (*status).
char *vqiptv_oracle_dump(const char *text, int *status);
