// Checks of the records that cross the library's boundary: a host may build
// them, so each is validated before it is called through.
#include <atomic>

#include "common/alloc.h"
#include "http/transports.h"
#include "http/util.h"

namespace {
constexpr uint32_t kHttpSize = 32;
constexpr uint32_t kHttpVersion = 1;
constexpr uint32_t kCtxLength = 24;
}  // namespace

bool qvh::http_usable(const quorvex_http *http) {
    return http && http->size >= kHttpSize && http->version == kHttpVersion && http->request;
}

int qvh::fail(char **err, const char *text) {
    if (err) *err = vq_strdup(text);
    return -1;
}

const quorvex_http *quorvex_http_from_ctx(const void *ctx) {
    auto *c = static_cast<const quorvex_http_ctx *>(ctx);
    if (!c || c->magic != QVX_HTTP_CTX_MAGIC || c->length < kCtxLength) return nullptr;
    // The shared adapter's context is re-bound by other threads while exchanges
    // start, so its transport is read once, atomically.
    const quorvex_http *http = std::atomic_ref(const_cast<quorvex_http_ctx *>(c)->http).load(std::memory_order_acquire);
    return qvh::http_usable(http) ? http : nullptr;
}

const quorvex_http *quorvex_http_of(const quorvex_io *io) {
    return io ? quorvex_http_from_ctx(io->ctx) : nullptr;
}
