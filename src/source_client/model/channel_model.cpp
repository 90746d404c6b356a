// From a fetched playlist body to the read-only channel model: run the parser
// with the model's builder taking its entries, accept only M3U, then finish
// the channels, identifiers and groups.
#include "source_client/model/channel_model.h"

#include <cstdio>

#include "common/alloc.h"
#include "playlist_parser/vqplp.h"
#include "source_client/model/model_build.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"

namespace vqc {

namespace {
constexpr uint64_t kArenaFirstCap = 4096;

// Explains why the parse result is not an M3U playlist, or null when it is.
const char *not_m3u(int32_t status, char *why, size_t size) {
    if (status == VQPLP_E_NOMEM) return "out of memory while parsing";
    if (status != VQPLP_OK) {
        std::snprintf(why, size, "not an M3U playlist: %s", vqplp_last_error());
        return why;
    }
    int32_t format = vqplp_detected_format();
    if (format == VQPLP_FMT_M3U) return nullptr;
    std::snprintf(why, size, "not an M3U playlist (detected %s)", vqplp_format_name(format));
    return why;
}

playlist *playlist_new(const char *url) {
    auto *p = static_cast<playlist *>(vq_calloc(1, sizeof(playlist)));
    if (!p) return nullptr;
    p->url = vq_strdup(url ? url : "");
    p->arena = static_cast<char *>(vq_malloc(kArenaFirstCap));
    if (!p->url || !p->arena) {
        playlist_free(p);
        return nullptr;
    }
    p->arena[0] = '\0';
    p->arena_len = 1;
    p->arena_cap = kArenaFirstCap;
    return p;
}

// The playlist keeps the text its strings point into: the engine's decoded
// block when there is one, else the body itself.
void keep_text(playlist *p, body_ref body) {
    char *block = p->text ? vqplp_take_decoded_block() : nullptr;
    if (block || !p->text) {
        body.release(body.owner);
        p->text_release = block ? vq_free : nullptr;
        p->text_owner = block;
        return;
    }
    p->text_release = body.release;
    p->text_owner = body.owner;
}

}  // namespace

int parse_body(const char *url, body_ref body, playlist **out, char *err, size_t err_size) {
    *out = nullptr;
    if (body.len == 0 || body.len > kMaxBodyBytes) {
        body.release(body.owner);
        return say_n(err, err_size, QVX_E_CONTENT, "%s", body.len ? "body exceeds 64 MiB" : "empty body");
    }
    model_builder b{playlist_new(url), entry_opts{0, 0}, 0, false, false, -1};
    char why[640];
    const char *reason = "out of memory";
    if (b.p && reserve_channels(b.p, body.len)) {
        vqplp_sink sink{take_entry, nullptr, &b, take_option};
        int32_t status = vqplp_parse_borrowed_each(body.data, body.len, sink);
        reason = b.failed ? reason : not_m3u(status, why, sizeof why);
        if (!reason && finish_model(&b) != 0) reason = "out of memory";
    }
    if (reason) {
        vqplp_clear();
        body.release(body.owner);
        playlist_free(b.p);
        return say_n(err, err_size, QVX_E_CONTENT, "%s", reason);
    }
    keep_text(b.p, body);
    vqplp_clear();
    b.p->body_len = body.len;
    *out = b.p;
    return 0;
}

// The body always comes from the library's own allocator (the fetch, the oracle
// dump), so it is released with vq_free: the I/O record's free_buf may belong
// to another heap.
int parse_body(const quorvex_io * /*io*/, const char *url, char *body, size_t body_len, playlist **out, char *err,
               size_t err_size) {
    return parse_body(url, body_ref{body, body_len, vq_free, body}, out, err, err_size);
}

int parse_body(const char *url, shared_buf *body, playlist **out, char *err, size_t err_size) {
    body_ref ref{sbuf_data(body), sbuf_len(body), sbuf_unref_any, sbuf_ref(body)};
    return parse_body(url, ref, out, err, err_size);
}

void playlist_free(playlist *p) {
    if (!p) return;
    vq_free(p->groups);
    vq_free(p->group_slots);
    vq_free(p->members);
    vq_free(p->channels);
    vq_free(p->group_of);
    vq_free(p->far_texts);
    vq_free(p->by_id.slots);
    vq_free(p->header_texts);
    vq_free(p->arena);
    vq_free(p->root_doc);
    vq_free(p->url);
    if (p->text_release) p->text_release(p->text_owner);
    vq_free(p);
}

}  // namespace vqc
