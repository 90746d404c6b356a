#include "source_client/io_select.h"

#include "http/http.h"

vqp::Lock g_tl;

namespace {
vqp::Lock g_io_lock;        // guards g_io and g_io_copy
const quorvex_io *g_io;     // null: the default network record, looked up per call
quorvex_io g_io_copy;       // the library's copy of a host's record
}  // namespace

const quorvex_io *vqiptv_io_curl() {
    vqp::Guard tl(g_tl);
    const quorvex_http *http = quorvex_http_curl();
    if (!http) http = quorvex_http_winhttp();
    return http ? quorvex_io_over_http(http, nullptr) : nullptr;
}

const quorvex_io *vqiptv_io_fake() {
    vqp::Guard tl(g_tl);
    return quorvex_io_over_http(quorvex_http_fake(), nullptr);
}

const quorvex_io *vqiptv_io_current() {
    vqp::Guard io_lock(g_io_lock);
    return g_io ? g_io : vqiptv_io_curl();
}

int32_t vqiptv_set_io(const quorvex_io *io) {
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
    if (!vqiptv_io_curl()) return QVX_E_UNSUPPORTED;
    vqp::Guard io_lock(g_io_lock);
    g_io = vqiptv_io_curl();
    return QVX_OK;
}

int32_t vqiptv_use_fake(void) {
    vqp::Guard io_lock(g_io_lock);
    g_io = vqiptv_io_fake();
    return QVX_OK;
}
