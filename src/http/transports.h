// The transport records: their checks, the I/O-over-HTTP adapter and the
// transport factories. Texts handed out through a record's free_buf are
// released with vq_free.
#pragma once
#include "quorvex_iptv.h"

const quorvex_http *quorvex_http_from_ctx(const void *ctx);
const quorvex_http *quorvex_http_of(const quorvex_io *io);
// Re-binds the one process-wide adapter record to http (callers serialise).
const quorvex_io *quorvex_io_over_http(const quorvex_http *http, void *opaque);
const quorvex_http *quorvex_http_curl();    // the libcurl transport, or null
// Tests only: the libcurl transport trusts the CAs of ca_file instead of the
// system's from the next request on (null: the system's again). Not exported.
void quorvex_curl_trust_for_tests(const char *ca_file);
const quorvex_http *quorvex_http_winhttp(); // the WinHTTP transport, or null
const quorvex_http *quorvex_http_fake();
