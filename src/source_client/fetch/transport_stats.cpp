#include "source_client/fetch/transport_stats.h"

#include "source_client/fetch/validator_store.h"

namespace vqc {

vqp::Lock g_tlock;
transport_stats g_tstats;

void vqiptv_curl_stats(transport_stats *out) {
    vqp::Guard g(g_tlock);
    *out = g_tstats;
}

void vqiptv_curl_reset() {
    vqp::Guard g(g_tlock);
    store_clear();
    g_tstats = transport_stats{};
}

}  // namespace vqc
