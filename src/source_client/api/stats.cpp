// The statistics document: cache counters, transport counters and the fake
// transport's call count, read one lock at a time and formatted into the
// calling thread's own buffer, so that reading it allocates nothing and no
// other thread's call rewrites the text a thread holds.
#include <cstdio>

#include "source_client/api/io_select.h"
#include "source_client/cache/cache.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/ops/results.h"

namespace vqc {

namespace {
thread_local char g_stats_json[768];

constexpr char kFormat[] =
    "{\"cache\":{\"hits\":%lu,\"misses\":%lu,\"revalidated\":%lu,\"parses\":%lu,\"evictions\":%lu,"
    "\"errors\":%lu,\"entries\":%lu,\"vlcopt_mismatch\":%lu,\"max_age_s\":%d},"
    "\"http\":{\"requests\":%lu,\"not_modified\":%lu,\"validators_stored\":%lu,\"transport_errors\":%lu},"
    "\"fake\":{\"calls\":%lu}}";

unsigned long u(uint32_t v) { return v; }
}  // namespace

}  // namespace vqc

const char *vqiptv_stats_json(void) {
    using namespace vqc;
    cache_stats cs;
    {
        vqp::Guard hold(g_lock);
        cache_counters(&cs);
    }
    transport_stats ts{};
    vqiptv_curl_stats(&ts);  // under g_tlock, never nested in g_lock
    uint32_t calls = static_cast<uint32_t>(vqiptv_fake_total_calls());
    vqp::Guard hold(g_lock);
    std::snprintf(g_stats_json, sizeof g_stats_json, kFormat, u(cs.hits), u(cs.misses), u(cs.revalidated),
                  u(cs.parses), u(cs.evictions), u(cs.errors), u(cs.entries), u(cs.vlcopt_mismatch),
                  cache_max_age_s(), u(ts.requests), u(ts.not_modified), u(ts.validators_stored),
                  u(ts.transport_errors), u(calls));
    return g_stats_json;
}
