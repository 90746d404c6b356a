// The cache's counters and the oracle dump for the tests that read them: the
// cache's work under g_lock, as the exports do it.
#pragma once

#include "source_client/cache/cache.h"

namespace vqc {

// The cache's counters, read under g_lock.
void vqiptv_cache_stats_get(cache_stats *out);
// Converts a playlist text without network or cache and lists its channels as
// "name\tlocation\n" lines; release with vq_free. Null on failure (*status),
// with the reason as the last error when there is one.
char *vqiptv_oracle_dump(const char *text, int *status);

}  // namespace vqc
