// The cache under g_lock: the two exports that change it, its counters, and
// the oracle dump, whose conversion runs the parser engine.
#include "source_client/api/cache_exports.h"

#include "source_client/cache/oracle_dump.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/results.h"

namespace vqc {

namespace {
constexpr size_t kOracleMsgSize = 256;

int oracle_convert_locked(const char *text, playlist **out) {
    vqp::Guard hold(g_lock);
    char msg[kOracleMsgSize];
    int rc = oracle_convert(text, out, msg, sizeof msg);
    if (rc != QVX_OK && msg[0]) set_err("%s", msg);
    return rc;
}
}  // namespace

void vqiptv_cache_stats_get(cache_stats *out) {
    vqp::Guard hold(g_lock);
    cache_counters(out);
}

char *vqiptv_oracle_dump(const char *text, int *status) {
    playlist *p = nullptr;
    int rc = oracle_convert_locked(text, &p);
    char *dump = rc == QVX_OK ? dump_channels(p) : nullptr;
    playlist_free(p);
    // A dump that cannot be built is reported, not passed off as success.
    if (rc == QVX_OK && !dump) rc = QVX_E_CONTENT;
    if (status) *status = rc;
    return dump;
}

}  // namespace vqc

void vqiptv_cache_clear(void) {
    vqp::Guard hold(vqc::g_lock);
    vqc::cache_clear();
}

int32_t vqiptv_cache_set_max_age(int32_t seconds) {
    if (seconds < 0) return QVX_E_INVALID;
    vqp::Guard hold(vqc::g_lock);
    vqc::cache_set_max_age_s(seconds);
    return QVX_OK;
}
