// The parser state: reset, the string arena and the writers shared by every
// format parser.
#include "playlist_parser/state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "common/byte_scan.h"
#include "common/utf8.h"
#include "platform/platform.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

ParseState g_vq;

namespace {

constexpr size_t kArenaFirst = 64 * 1024;
constexpr size_t kArenaLimit = 0xFFFFFFF0u;  // offsets are 32-bit

bool arena_fit(size_t extra) {
    Arena &a = g_vq.arena;
    if (a.cap - a.len >= extra) return true;
    size_t used = a.data ? a.len : 2;
    if (extra > kArenaLimit - used) return false;
    size_t cap = a.cap ? a.cap + a.cap / 2 : kArenaFirst;
    if (cap < used + extra) cap = used + extra;
    if (cap > kArenaLimit) cap = kArenaLimit;
    char *p = static_cast<char *>(vq_realloc(a.data, cap));
    if (!p) return false;
    vqp::advise_huge_pages(p, cap);
    if (!a.data) {
        p[0] = p[1] = '\0';  // offset 0 stands for no string, 1 is the shared ""
        a.len = 2;
    }
    a.data = p;
    a.cap = cap;
    return true;
}

uint32_t key_hash(std::string_view k) {
    return (static_cast<uint32_t>(k.size()) * 131u + static_cast<unsigned char>(k.front()) * 7u +
            static_cast<unsigned char>(k.back())) &
           255u;
}

// How much of a text cut to n bytes to keep so that it ends with a whole
// UTF-8 sequence: a cut through one would make the text, and every document
// that quotes it, invalid UTF-8.
size_t whole_sequences(const char *s, size_t n) {
    size_t lead = n;
    while (lead > 0 && n - lead < 3 && vq_utf8_continues(static_cast<unsigned char>(s[lead - 1]))) --lead;
    if (lead == 0) return n;
    size_t span = vq_utf8_lead_len(static_cast<unsigned char>(s[lead - 1]));
    if (span == 0) span = 1;
    return n - (lead - 1) < span ? lead - 1 : n;
}

void vformat(char *dst, const char *format, va_list ap) {
    int n = vsnprintf(dst, kTextCap, format, ap);
    if (n >= kTextCap) dst[whole_sequences(dst, kTextCap - 1)] = '\0';
}

// The few distinct keys of a playlist are stored once: a key met again is
// the offset the cache holds for it.
uint32_t arena_put_key(std::string_view key) {
    if (key.empty() || key.size() > 0xFFFF) return arena_put(key);
    KeyCache &kc = g_vq.keys;
    for (uint32_t i = 0, h = key_hash(key); i < 8; ++i) {
        uint32_t at = (h + i) & 255u;
        if (kc.slot[at] == kNoString) {
            kc.slot[at] = arena_put(key);
            kc.len[at] = static_cast<uint16_t>(key.size());
            return kc.slot[at];
        }
        if (kc.len[at] == key.size() && vqbytes::same_bytes(g_vq.arena.data + kc.slot[at], key.data(), key.size()))
            return kc.slot[at];
    }
    return arena_put(key);
}

// Attaches a pair to the last item: 0 or 6.
int attr_add(std::string_view key, std::string_view value) {
    void *attrs = g_vq.attrs;
    if (!grow_array(&attrs, &g_vq.attr_cap, g_vq.attr_count, 256, sizeof(Attr))) return VQPLP_E_NOMEM;
    g_vq.attrs = static_cast<Attr *>(attrs);
    uint32_t k = arena_put_key(key);
    uint32_t v = arena_put(value);
    if (k == kNoString || v == kNoString) return VQPLP_E_NOMEM;
    g_vq.attrs[g_vq.attr_count++] = Attr{k, v};
    ++g_vq.items[g_vq.item_count - 1].attr_count;
    return VQPLP_OK;
}

}  // namespace

uint32_t arena_put_growing(std::string_view s) {
    if (!arena_fit(s.size() + 1)) return kNoString;
    return s.empty() ? kEmptyString : arena_put(s);  // the room is there now
}

const char *arena_str(uint32_t off) { return off == kNoString ? nullptr : g_vq.arena.data + off; }

void arena_reserve(size_t bytes) { arena_fit(bytes); }

void arena_shrink() {
    Arena &a = g_vq.arena;
    if (!a.data || a.len == a.cap) return;
    void *p = vq_realloc(a.data, a.len);
    if (!p) return;
    a.data = static_cast<char *>(p);
    a.cap = a.len;
}

bool grow_array(void **data, uint32_t *cap, uint32_t count, uint32_t first, size_t elem) {
    if (count < *cap) return true;
    if (*cap > 0x3FFFFFFFu) return false;
    uint32_t ncap = *cap ? *cap * 2 : first;
    void *p = vq_realloc(*data, static_cast<size_t>(ncap) * elem);
    if (!p) return false;
    vqp::advise_huge_pages(p, static_cast<size_t>(ncap) * elem);
    *data = p;
    *cap = ncap;
    return true;
}

int item_add_refs(uint32_t location, uint32_t title, int32_t duration_ms, int32_t duration_raw) {
    if (g_vq.item_count == INT32_MAX) return VQPLP_E_NOMEM;
    void *items = g_vq.items;
    if (!grow_array(&items, &g_vq.item_cap, static_cast<uint32_t>(g_vq.item_count), 64, sizeof(Item)))
        return VQPLP_E_NOMEM;
    g_vq.items = static_cast<Item *>(items);
    g_vq.items[g_vq.item_count++] = Item{location, title, duration_ms, duration_raw, 0, g_vq.attr_count, 0};
    return VQPLP_OK;
}

int item_add(std::string_view location, std::string_view title, int32_t duration_ms, int32_t duration_raw) {
    size_t mark = g_vq.arena.len;
    uint32_t loc = arena_put(location);
    uint32_t tit = arena_put(title);
    if (loc == kNoString || tit == kNoString || item_add_refs(loc, tit, duration_ms, duration_raw) != VQPLP_OK) {
        if (g_vq.arena.len > mark) g_vq.arena.len = mark;  // the strings of a failed item
        return VQPLP_E_NOMEM;
    }
    return VQPLP_OK;
}

int entry_add(const vqplp_entry &e, int32_t duration_ms, int32_t duration_raw) {
    if (g_vq.sink) return g_vq.sink->entry(g_vq.sink->ctx, e) == 0 ? VQPLP_OK : VQPLP_E_NOMEM;
    if (item_add(e.location, e.title, duration_ms, duration_raw) != VQPLP_OK) return VQPLP_E_NOMEM;
    for (int32_t i = 0; i < e.attr_count; ++i)
        if (attr_add(e.attrs[i].key, e.attrs[i].value) != VQPLP_OK) return VQPLP_E_NOMEM;
    return VQPLP_OK;
}

void warnf(const char *format, ...) {
    if (g_vq.warning_count >= kMaxWarnings) return;
    char text[kTextCap];
    va_list ap;
    va_start(ap, format);
    vformat(text, format, ap);
    va_end(ap);
    // A warning whose copy fails stays as a null entry: it was raised all the same.
    g_vq.warnings[g_vq.warning_count++] = vq_strdup(text);
}

void set_error(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    vformat(g_vq.error, format, ap);
    va_end(ap);
}

int64_t total_frames(const CueTime &t) { return int64_t{t.minutes} * 4500 + int64_t{t.seconds} * 75 + t.frames; }

}  // namespace vqplp

using vqplp::g_vq;

void vqplp_clear() {
    vq_free(g_vq.items);
    vq_free(g_vq.attrs);
    vq_free(g_vq.tracks);
    vq_free(g_vq.indices);
    for (int i = 0; i < g_vq.warning_count; ++i) vq_free(g_vq.warnings[i]);
    vq_free(g_vq.result_json);
    vq_free(g_vq.decoded_block);
    vq_free(g_vq.arena.data);
    std::memset(&g_vq, 0, sizeof g_vq);
}
