// Downloads one playlist with conditional revalidation and redirects.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/shared_buf.h"
#include "source_client/fetch/source_headers.h"
#include "quorvex_iptv.h"

namespace vqc {

// What a successful fetch brought: one reference to the body (never empty,
// every byte received kept, a gzip file inflated), and whether the server
// answered 304, in which case the body is the one the validator store kept
// from an earlier answer.
struct fetch_result {
    shared_buf *body;
    bool not_modified;
};

// 0 with *out filled; or a negative status with the reason in msg (kMsgSize
// bytes) and out->body null. The user name and password written into url go
// to the transport for the requests to url's own origin; "Authorization" and
// "Cookie" lines of extra too. The whole fetch, all its requests, ends within
// 300 s. Caller holds g_lock; takes g_tlock for its whole run.
int fetch(const quorvex_io *io, const char *url, fetch_result *out, char *msg,
          const source_headers *extra = nullptr);

// After a 200 whose body `delivered` has the bytes of `kept`, a body the
// caller already holds: the validator store of url keeps `kept` instead, so
// that one buffer serves both and a later 304 answers with `kept` itself.
// Caller holds g_lock; takes g_tlock.
void fetch_keep_body(const char *url, const shared_buf *delivered, shared_buf *kept);

// Tests only: the fetches that start from now on end within ms milliseconds
// instead of 300 s (0: 300 s again).
void fetch_deadline_for_tests(uint32_t ms);

}  // namespace vqc
