// From a fetched playlist body to the read-only channel model: run the parser,
// accept only M3U, then build channels, identifiers and groups in one arena.
#include "source_client/channel_model.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "platform/platform.h"
#include "playlist_parser/vqplp.h"
#include "source_client/cache.h"
#include "source_client/model_build.h"
#include "source_client/url_util.h"

namespace {
constexpr uint64_t kArenaFirstCap = 4096;
constexpr int kContent = -5;

__attribute__((format(printf, 3, 4))) int refuse(char *err, size_t size, const char *fmt, ...) {
    if (err && size) {
        va_list ap;
        va_start(ap, fmt);
        std::vsnprintf(err, size, fmt, ap);
        va_end(ap);
    }
    return kContent;
}

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

// An attribute the parser reported, or null when it is absent or empty.
const char *attr(int32_t i, const char *key) {
    const char *v = vqplp_item_attr(i, key);
    return v && *v ? v : nullptr;
}

// Arena copy of s into *off (0 when s is absent) and the length of the copy
// into *len; false when the arena is full.
bool store(playlist *p, const char *s, uint32_t *off, size_t *len = nullptr) {
    *off = s ? arena_add_n(p, s, std::strlen(s)) : 0;
    if (len) *len = *off ? p->arena_len - 1 - *off : 0;
    return *off != kArenaFull;
}

// The option the scan found for the entry, else the first of the attributes
// key and alt (may be null) that the item carries.
bool store_http(playlist *p, uint32_t option, int32_t i, const char *key, const char *alt, uint32_t *off) {
    if (option) {
        *off = option;
        return true;
    }
    const char *value = attr(i, key);
    return store(p, value || !alt ? value : attr(i, alt), off);
}

// FNV-1a over the stored location, the byte 0x1F and the stored tvg-id.
uint64_t channel_id(const playlist *p, const channel &c, size_t loc_len, size_t tvg_id_len) {
    uint64_t h = vqiptv_fnv1a(pl_str(p, c.location), loc_len, kFnvOffsetBasis);
    h = vqiptv_fnv1a("\x1f", 1, h);
    return vqiptv_fnv1a(pl_str(p, c.tvg_id), tvg_id_len, h);
}

// Appends item i as a channel: 1 added, 0 skipped, -1 out of memory.
int convert_item(playlist *p, const entry_opts *opts, int32_t i) {
    const char *loc = vqplp_item_location(i);
    const char *title = vqplp_item_title(i);
    const char *tvg_name = attr(i, "tvg-name");
    const char *name = title && *title ? title : tvg_name;
    if (!loc || !*loc || !vqiptv_uri_is_absolute(loc) || !name) {
        p->skipped++;
        return 0;
    }
    entry_opts opt = opts ? opts[i] : entry_opts{0, 0};
    channel c{};
    size_t loc_len = 0, tvg_id_len = 0;
    bool ok = store(p, name, &c.name) && store(p, loc, &c.location, &loc_len) &&
              store(p, attr(i, "tvg-id"), &c.tvg_id, &tvg_id_len) &&
              store(p, tvg_name, &c.tvg_name) && store(p, attr(i, "tvg-logo"), &c.tvg_logo) &&
              store(p, attr(i, "group-title"), &c.group_title) &&
              store_http(p, opt.user_agent, i, "http-user-agent", nullptr, &c.user_agent) &&
              store_http(p, opt.referrer, i, "http-referrer", "http-referer", &c.referrer);
    if (!ok) return -1;
    c.group = -1;
    c.id = channel_id(p, c, loc_len, tvg_id_len);
    p->channels[p->channel_count++] = c;
    return 1;
}

int convert_items(playlist *p, const entry_opts *opts, int32_t n) {
    p->channels = static_cast<channel *>(vq_malloc(sizeof(channel) * static_cast<size_t>(n)));
    if (!p->channels) return -1;
    vqp::advise_huge_pages(p->channels, sizeof(channel) * static_cast<size_t>(n));
    p->channel_cap = n;
    bool grouped = false;
    for (int32_t i = 0; i < n; i++) {
        int rc = convert_item(p, opts, i);
        if (rc < 0) return -1;
        grouped = grouped || (rc > 0 && p->channels[p->channel_count - 1].group_title);
    }
    p->flat = grouped ? 0 : 1;
    return 0;
}

// Steps from the parsed items to the finished model; 0 or -1 (out of memory).
int fill(playlist *p) {
    int32_t n = vqplp_item_count();
    if (n <= 0) {
        p->flat = 1;
        return 0;
    }
    // The strings of the model are pieces of the decoded text: growing the arena
    // to its size at once spares the copies and page faults of every doubling.
    if (!arena_reserve(p, vqplp_decoded_len())) return -1;
    entry_opts *opts = nullptr;
    bool mismatch = false;
    if (vlcopt_scan(p, vqplp_decoded_text(), vqplp_decoded_len(), n, &opts, &mismatch) != 0) return -1;
    if (mismatch) vqiptv_count_vlcopt_mismatch();
    int rc = convert_items(p, opts, n);
    vq_free(opts);
    return rc == 0 ? assign_groups(p) : rc;
}
}  // namespace

int parse_body(const char *url, body_ref body, uint64_t hash, playlist **out, char *err, size_t err_size) {
    *out = nullptr;
    if (body.len == 0 || body.len > kMaxBodyBytes) {
        body.release(body.owner);
        return refuse(err, err_size, "%s", body.len ? "body exceeds 64 MiB" : "empty body");
    }
    int32_t status = vqplp_parse_borrowed(body.data, body.len, VQPLP_FMT_AUTO);
    char why[640];
    if (const char *reason = not_m3u(status, why, sizeof why)) {
        vqplp_clear();
        body.release(body.owner);
        return refuse(err, err_size, "%s", reason);
    }
    playlist *p = playlist_new(url);
    int rc = p ? fill(p) : -1;
    vqplp_clear();
    body.release(body.owner);
    if (rc != 0) {
        playlist_free(p);
        return refuse(err, err_size, "out of memory");
    }
    p->hash = hash;
    p->body_len = body.len;
    *out = p;
    return 0;
}

// The body always comes from the library's own allocator (the fetch, the oracle
// dump), so it is released with vq_free: the I/O record's free_buf may belong
// to another heap.
int parse_body(const quorvex_io * /*io*/, const char *url, char *body, size_t body_len, uint64_t hash,
               playlist **out, char *err, size_t err_size) {
    return parse_body(url, body_ref{body, body_len, vq_free, body}, hash, out, err, err_size);
}

void playlist_free(playlist *p) {
    if (!p) return;
    for (int32_t g = 0; g < p->group_count; g++) vq_free(p->groups[g].members);
    vq_free(p->groups);
    vq_free(p->group_slots);
    vq_free(p->ungrouped.members);
    vq_free(p->channels);
    vq_free(p->arena);
    vq_free(p->url);
    vq_free(p);
}
