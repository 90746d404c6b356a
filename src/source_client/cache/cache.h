// The playlist cache (4 playlists) and its counters. Nothing here takes a
// lock: every caller holds g_lock.
#pragma once
#include <cstdint>

#include "quorvex_iptv.h"

namespace vqc {

struct playlist;

struct cache_stats {
    // vlcopt_mismatch stays 0: the options come with the parser's own lines,
    // so they can never count otherwise than its entries.
    uint32_t hits, misses, revalidated, parses, evictions, errors, entries, vlcopt_mismatch;
};

struct source_headers;

// Hands out the playlist of url, fetched, revalidated or cached; refresh 1
// forces a request to the server, which carries the source's extra headers.
// The playlist is borrowed until the next ensure. msg is a kMsgSize buffer.
int ensure(const quorvex_io *io, const char *url, int refresh, playlist **out, char *msg,
           const source_headers *extra = nullptr);

// Counts one operation failure (fail() calls it).
void vqiptv_count_error();
// The counters with the number of occupied slots as entries.
void cache_counters(cache_stats *out);
// The maximum age in seconds; 0 revalidates every use.
int32_t cache_max_age_s();
void cache_set_max_age_s(int32_t seconds);
// Drops every playlist and zeroes the counters.
void cache_clear();

}  // namespace vqc
