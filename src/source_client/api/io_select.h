// Choice of the I/O record every operation goes through, and the fake
// transport's call counter as the statistics read it.
#pragma once
#include "platform/platform.h"
#include "quorvex_iptv.h"

namespace vqc {

// Guards the transport factories, the one shared adapter record and the
// fake's call counters as the statistics read them. Taken after g_io_lock,
// never while g_lock is held.
extern vqp::Lock g_tl;

// g_io when set, else the default network I/O record (not stored); may be null.
const quorvex_io *vqiptv_io_current();
// The same record copied into `into` under the selection lock (null when there
// is none), so that a later vqiptv_set_io never rewrites a record in use.
const quorvex_io *vqiptv_io_current_copy(quorvex_io *into);
// The shared adapter bound to the network transport, or null when there is none.
const quorvex_io *vqiptv_io_curl();
// The shared adapter bound to the fake transport.
const quorvex_io *vqiptv_io_fake();
// Every request the fake accepted since its last reset.
int vqiptv_fake_total_calls();

}  // namespace vqc
