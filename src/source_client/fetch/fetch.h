// Downloads one playlist with conditional revalidation and redirects.
#pragma once

#include "common/shared_buf.h"
#include "quorvex_iptv.h"

namespace vqc {

// 0 with one reference to the body (never empty, every byte received kept;
// after a 304 the stored body itself); or a negative status with the reason
// in msg (kMsgSize bytes). Caller holds g_lock; takes g_tlock for its whole run.
int fetch(const quorvex_io *io, const char *url, shared_buf **body, char *msg);

}  // namespace vqc
