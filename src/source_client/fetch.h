// Downloads one playlist with conditional revalidation and redirects.
#pragma once
#include <cstddef>

#include "quorvex_iptv.h"

constexpr size_t kMsgSize = 400;

// 0 with a vq_malloc'ed body (NUL-terminated, every byte received kept) and
// its length; or a negative status with the reason in msg (kMsgSize bytes).
// Caller holds g_lock; takes g_tlock for its whole run.
int fetch(const quorvex_io *io, const char *url, char **body, size_t *len, char *msg);
