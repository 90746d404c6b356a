// Downloads one playlist with conditional revalidation and redirects.
#pragma once

#include "common/shared_buf.h"
#include "quorvex_iptv.h"

namespace vqc {

// What a successful fetch brought: one reference to the body (never empty,
// every byte received kept), and whether the server answered 304, in which
// case the body is the one the validator store kept from an earlier answer.
struct fetch_result {
    shared_buf *body;
    bool not_modified;
};

// 0 with *out filled; or a negative status with the reason in msg (kMsgSize
// bytes) and out->body null. Caller holds g_lock; takes g_tlock for its whole
// run.
int fetch(const quorvex_io *io, const char *url, fetch_result *out, char *msg);

// After a 200 whose body `delivered` has the bytes of `kept`, a body the
// caller already holds: the validator store of url keeps `kept` instead, so
// that one buffer serves both and a later 304 answers with `kept` itself.
// Caller holds g_lock; takes g_tlock.
void fetch_keep_body(const char *url, const shared_buf *delivered, shared_buf *kept);

}  // namespace vqc
