#include "playlist_copy.h"

#include "http/transports.h"
#include "source_client/api/io_select.h"
#include "source_client/fetch/body.h"
#include "tap.h"

namespace vqt {
namespace {

// Keeps the body of a 2xx answer as the fetch's own reader keeps it, so a
// body the fetch refuses (too large, a corrupt gzip file) is refused alike.
struct Copier final : Watcher {
    vqc::body_in kept{};
    bool keeping = false;  // the answer under way is a 2xx whose body is kept
    bool whole = false;    // the body kept is a whole answer's

    void begin() override {
        vqc::body_clear(kept);
        keeping = whole = false;
    }
    void header(const char *name, const char *value) override {
        if (name[0] == ':') keeping = value[0] == '2';
    }
    void body(const void *data, size_t len) override {
        if (keeping && vqc::body_take(kept, data, len) != 0) keeping = false;
    }
    void end(int rc) override { whole = rc == 0 && keeping && vqc::body_finish(kept); }
};

Copier g_copier;
Tap g_tap;
quorvex_io g_io;

}  // namespace

void keep_playlist_copy() {
    const quorvex_io *current = vqc::vqiptv_io_current();
    const quorvex_http *inner = quorvex_http_of(current);
    if (!inner) return;
    tap_bind(g_tap, inner, g_copier);
    // The source's record with the tap in its place: its whole-body calls
    // reach the transport through the context too.
    g_io = *current;
    g_io.ctx = &g_tap.ctx;
    vqiptv_set_io(&g_io);
}

std::string_view playlist_copy() {
    if (!g_copier.whole || !g_copier.kept.buf) return {};
    return {sbuf_data(g_copier.kept.buf), sbuf_len(g_copier.kept.buf)};
}

}  // namespace vqt
