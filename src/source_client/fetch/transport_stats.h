// The transport counters of the statistics document and the lock that guards
// them together with the validator store.
#pragma once
#include <cstdint>

#include "platform/platform.h"

namespace vqc {

// Guards the validator store and the transport counters; a fetch holds it for
// its whole run. Taken after g_lock, never before it.
extern vqp::Lock g_tlock;

struct transport_stats {
    uint32_t requests, not_modified, validators_stored, transport_errors;
};

// The counters since load or the last reset. Caller holds g_tlock.
extern transport_stats g_tstats;

// A copy of the counters, taken under g_tlock.
void vqiptv_curl_stats(transport_stats *out);
// Forgets every stored validator and zeroes the counters, under g_tlock.
void vqiptv_curl_reset();

}  // namespace vqc
