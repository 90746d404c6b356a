// The constant handler table hosts drive the source through. Each operation
// runs alone under g_lock; a long fetch inside one blocks the others.
#include "quorvex_iptv.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"

namespace vqc {

namespace {
int32_t h_validate(const quorvex_io *io, const char *settings_json, char *out, int32_t out_len) {
    vqp::Guard lock(g_lock);
    return op_validate(io, settings_json, out, out_len);
}

int32_t h_list(const quorvex_io *io, const char *settings_json, const char *path, char *out, int32_t out_len) {
    vqp::Guard lock(g_lock);
    return op_list(io, settings_json, path, out, out_len);
}

int32_t h_stream_url(const quorvex_io *io, const char *settings_json, const char *entry_json, char *out,
                     int32_t out_len) {
    vqp::Guard lock(g_lock);
    return op_stream_url(io, settings_json, entry_json, out, out_len);
}

int32_t h_download(const quorvex_io *, const char *, const char *, char *out, int32_t out_len) {
    vqp::Guard lock(g_lock);
    return fail(QVX_E_UNSUPPORTED, out, out_len, "IPTV sources do not download");
}

const source_handler g_handler = {"IPTV", 0x23, h_validate, h_list, h_stream_url, h_download};
}  // namespace

}  // namespace vqc

const source_handler *vqrch_get(void) { return &vqc::g_handler; }
