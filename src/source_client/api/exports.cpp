// The exported wrappers: each picks the active I/O record (without holding
// g_lock, so a slow operation never blocks a change of selection) and runs the
// table's operation with it.
#include "quorvex_iptv.h"
#include "quorvex_iptv_version.h"
#include "source_client/api/io_select.h"
#include "source_client/ops/results.h"

int32_t vqiptv_validate(const char *settings_json, char *out, int32_t out_len) {
    auto op = vqrch_get()->validate;
    quorvex_io io;
    return op(vqc::vqiptv_io_current_copy(&io), settings_json, out, out_len);
}

int32_t vqiptv_list(const char *settings_json, const char *path, char *out, int32_t out_len) {
    auto op = vqrch_get()->list;
    quorvex_io io;
    return op(vqc::vqiptv_io_current_copy(&io), settings_json, path, out, out_len);
}

int32_t vqiptv_stream_url(const char *settings_json, const char *entry_json, char *out, int32_t out_len) {
    auto op = vqrch_get()->stream_url;
    quorvex_io io;
    return op(vqc::vqiptv_io_current_copy(&io), settings_json, entry_json, out, out_len);
}

int32_t vqiptv_download(const char *a, const char *b, char *out, int32_t out_len) {
    auto op = vqrch_get()->download;
    quorvex_io io;
    return op(vqc::vqiptv_io_current_copy(&io), a, b, out, out_len);
}

const char *vqiptv_last_error(void) { return vqc::last_error_text(); }

const char *vqiptv_result_json(void) { return vqc::result_text(); }

const char *vqiptv_version(void) { return QVX_VERSION_STRING; }

const char *vqiptv_runtime_type(void) { return vqrch_get()->runtime_type; }

uint32_t vqiptv_caps(void) { return vqrch_get()->caps; }
