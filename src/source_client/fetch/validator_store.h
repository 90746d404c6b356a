// The fetch's memory between requests: for up to 8 URLs the validators and a
// reference to the body of their last successful answer, so that a 304 can be
// answered with it. All of it is guarded by g_tlock (transport_stats.h).
// Credentials never sit in it in clear: an entry is keyed by its URL without
// the user information and a hash of that information, keyed once per process.
#pragma once
#include <cstdint>

#include "common/shared_buf.h"

namespace vqc {

struct validator {
    char *url;  // the URL as the caller passed it, less any user information; null marks a free entry
    uint64_t credentials;  // a keyed hash of the user information, 0 when there is none
    char *etag;
    char *last_modified;
    shared_buf *body;  // the stored answer, shared with whoever else holds it
    uint64_t used;
};

// The entry of url (exact comparison, the user information by its hash), or
// null. Caller holds g_tlock.
validator *store_find(const char *url);
// Marks v as just used (a 304 was answered from it). Caller holds g_tlock.
void store_touch(validator *v);
// Records the answer of url after a 2xx: replaces its entry, or drops it when
// the answer carried neither validator. The entry takes its own reference to
// body; a copy of a text that fails leaves no entry. Caller holds g_tlock.
void store_update(const char *url, const char *etag, const char *last_modified, shared_buf *body);
// When the entry of url holds `delivered`, it holds `kept` instead (bytes
// equal to them), so that one buffer serves the entry and whoever kept it.
// Caller holds g_tlock.
void store_swap_body(const char *url, const shared_buf *delivered, shared_buf *kept);
// Empties every entry. Caller holds g_tlock.
void store_clear();

}  // namespace vqc
