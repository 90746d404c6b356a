#include "source_client/api/io_select.h"

#include "http/transports.h"

namespace vqc {

vqp::Lock g_tl;

namespace {
vqp::Lock g_io_lock;        // guards g_io and g_io_copy
const quorvex_io *g_io;     // null: the default network record, looked up per call
quorvex_io g_io_copy;       // the library's copy of a host's record

// Re-binding the shared adapter to the transport it already serves would still
// be a write that running exchanges race with. Caller holds g_tl.
const quorvex_io *bind_adapter(const quorvex_http *http) {
    static const quorvex_io *adapter;
    if (adapter && quorvex_http_of(adapter) == http) return adapter;
    adapter = quorvex_io_over_http(http, nullptr);
    return adapter;
}
}  // namespace

const quorvex_io *vqiptv_io_curl() {
    vqp::Guard tl(g_tl);
    const quorvex_http *http = quorvex_http_curl();
    if (!http) http = quorvex_http_winhttp();
    return http ? bind_adapter(http) : nullptr;
}

const quorvex_io *vqiptv_io_fake() {
    vqp::Guard tl(g_tl);
    return bind_adapter(quorvex_http_fake());
}

const quorvex_io *vqiptv_io_current() {
    vqp::Guard io_lock(g_io_lock);
    return g_io ? g_io : vqiptv_io_curl();
}

const quorvex_io *vqiptv_io_current_copy(quorvex_io *into) {
    vqp::Guard io_lock(g_io_lock);
    const quorvex_io *io = g_io ? g_io : vqiptv_io_curl();
    if (!io) return nullptr;
    *into = *io;
    return into;
}

}  // namespace vqc

int32_t vqiptv_set_io(const quorvex_io *io) {
    using namespace vqc;
    vqp::Guard io_lock(g_io_lock);
    if (io) {
        g_io_copy = *io;
        g_io = &g_io_copy;
    } else {
        g_io = nullptr;
    }
    return QVX_OK;
}

int32_t vqiptv_use_curl(void) {
    using namespace vqc;
    if (!vqiptv_io_curl()) return QVX_E_UNSUPPORTED;
    vqp::Guard io_lock(g_io_lock);
    g_io = vqiptv_io_curl();
    return QVX_OK;
}

int32_t vqiptv_use_fake(void) {
    using namespace vqc;
    vqp::Guard io_lock(g_io_lock);
    g_io = vqiptv_io_fake();
    return QVX_OK;
}
