// A converted playlist: channels sorted into groups. Its strings are pieces of
// the playlist's own text, which it keeps, except those that needed repair
// (and the few made up), which live in an arena.
// Read-only once parse_body returns it, except the cache's fetched_ms/used and
// the root listing the first listing keeps in it (all under g_lock).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/ascii.h"
#include "common/json_text.h"
#include "common/shared_buf.h"
#include "quorvex_iptv.h"

namespace vqc {

constexpr uint32_t kArenaFull = 0xFFFFFFFFu;
constexpr uint32_t kInArena = 0x80000000u;  // the flag of a text_ref offset into the arena

// A string of the playlist: len bytes at off in its text, or in its arena when
// off carries kInArena. Empty (len 0) also stands for absent.
struct text_ref {
    uint32_t off;
    uint32_t len;
};

// The texts of a channel besides its location. The first four are kept in
// the channel record when they lie shortly before the location (as an
// #EXTINF line lies before its location line); what does not lie so, and the
// user agent and referrer the few channels that have them ask for, sit in
// the playlist's far table.
enum class channel_field : uint32_t { name, tvg_id, tvg_name, tvg_logo, user_agent, referrer };
constexpr uint32_t kNearFields = 4;  // name to tvg_logo

// A text that starts `back` bytes before its channel's location in the
// playlist's text and is len bytes long; len kFar sends it to the far table.
struct near_ref {
    uint16_t back;
    uint16_t len;
};
constexpr uint16_t kFar = 0xFFFF;

// A channel's text that its record does not hold, in channel and field order.
struct far_text {
    int32_t channel;  // index into channels
    channel_field field;
    text_ref text;
};

// A header text an entry carries on a line of its own, kept as written and
// read when the stream is resolved: the JSON object of "#EXTHTTP:" or the
// "Name=Value&..." list of a "#KODIPROP:" header property. Few channels
// have one, so they sit in a table of their own, in channel order.
enum class header_form : uint32_t { json_object, pair_list };
struct header_text {
    int32_t channel;  // index into channels
    header_form form;
    text_ref text;
};

// 32 bytes: a big playlist's model is mostly these.
struct channel {
    uint64_t id;
    text_ref location;
    near_ref near[kNearFields];  // indexed by channel_field
};

// A group's members are member_count channel indices, in playlist order, from
// first on in the playlist's member list.
struct group {
    text_ref name;
    int32_t first;
    int32_t member_count;
};

struct slot_key;

// Channels by id: channel index + 1 in keyed slots (id_set.cpp).
struct id_set {
    int32_t *slots;
    uint64_t mask;
    int32_t used;
    const slot_key *key;
};

struct playlist {
    char *url;
    uint64_t body_len;
    const char *text;  // the decoded playlist the text_refs point into
    uint64_t text_len;
    bool text_well_formed;  // then no piece of the text needs repair
    void (*text_release)(void *owner);  // called once with text_owner by playlist_free
    void *text_owner;
    uint64_t fetched_ms;
    uint64_t used;
    char *root_doc;  // the root's listing, kept by the first listing that writes one
    size_t root_doc_len;
    char *arena;
    uint64_t arena_len;
    uint64_t arena_cap;
    channel *channels;
    int32_t channel_count;
    int32_t channel_cap;
    int32_t *group_of;  // each channel's group (apart: a channel stays 32 bytes); null when flat
    int32_t group_of_cap;
    far_text *far_texts;
    int32_t far_text_count;
    int32_t far_text_cap;
    header_text *header_texts;
    int32_t header_text_count;
    int32_t header_text_cap;
    group *groups;
    int32_t group_count;
    int32_t group_cap;
    int32_t *group_slots;
    uint64_t group_slot_count;
    int32_t *members;  // the member lists of the groups (or of ungrouped), one after another
    group ungrouped;
    id_set by_id;  // made by the first channel_by_id (under g_lock)
    int32_t flat;
    int32_t skipped;
    int32_t duplicates;
};

// The arena string at offset off.
inline const char *pl_str(const playlist *p, uint32_t off) { return p->arena + off; }

// The bytes of r (never a null pointer).
inline std::string_view pl_text(const playlist *p, text_ref r) {
    if (r.len == 0) return std::string_view("", 0);
    const char *base = r.off & kInArena ? p->arena + (r.off & ~kInArena) : p->text + r.off;
    return {base, r.len};
}

// The text of field f of the channel at index (never a null pointer).
std::string_view far_text_of(const playlist *p, int32_t index, channel_field f);
inline std::string_view channel_text(const playlist *p, int32_t index, channel_field f) {
    if (static_cast<uint32_t>(f) < kNearFields) {
        const channel &c = p->channels[index];
        near_ref r = c.near[static_cast<uint32_t>(f)];
        if (r.len == 0) return std::string_view("", 0);
        if (r.len != kFar) return {p->text + c.location.off - r.back, r.len};
    }
    return far_text_of(p, index, f);
}

// The channel indices listed in g.
inline const int32_t *members_of(const playlist *p, const group &g) { return p->members + g.first; }

// The header texts of the channel at index, in the order written.
struct header_text_run {
    const header_text *first;
    int32_t count;
};
header_text_run header_texts_of(const playlist *p, int32_t index);

// The bytes of a fetched body and one reference to them. Whoever receives it
// calls release(owner) exactly once, when nothing points into data any more;
// until then the bytes stay alive and unchanged.
struct body_ref {
    const char *data;
    size_t len;
    void (*release)(void *owner);
    void *owner;
};

// Converts a fetched body into a new playlist, taking over the reference: it
// is released at once when the conversion fails, else when the playlist no
// longer needs the bytes (at the latest by playlist_free). 0, or -5 with the
// reason in err (err_size bytes). Runs the parser engine, so the caller holds
// g_lock.
int parse_body(const char *url, body_ref body, playlist **out, char *err, size_t err_size);
// The same over a vq_malloc'ed body (body_len bytes), taken over and released
// with vq_free.
int parse_body(const quorvex_io *io, const char *url, char *body, size_t body_len, playlist **out, char *err,
               size_t err_size);
// The same over a shared buffer: the caller keeps its reference, the playlist
// takes one of its own for as long as it needs the bytes.
int parse_body(const char *url, shared_buf *body, playlist **out, char *err, size_t err_size);
void playlist_free(playlist *p);
// The first channel (in playlist order) whose id is id, or -1. The first call
// makes the playlist's index of ids, which it keeps; without memory for it,
// the channels are searched one by one.
int32_t channel_by_id(playlist *p, uint64_t id);
int32_t group_find(const playlist *p, std::string_view name);
uint32_t arena_add_n(playlist *p, const char *text, size_t len);
// Whether s lies within the playlist's text (addresses compared as numbers:
// s may come from anywhere).
inline bool lies_in_text(const playlist *p, std::string_view s) {
    auto at = reinterpret_cast<uintptr_t>(s.data()), text = reinterpret_cast<uintptr_t>(p->text);
    return p->text && p->text_len < kInArena && at >= text && at - text + s.size() <= p->text_len;
}
// store_text for a text that is not empty and not known to need no repair.
bool store_text_checked(playlist *p, std::string_view s, text_ref *ref);
// A reference to s: into the playlist's text when s lies there and needs no
// repair, else to an arena copy with U+FFFD in place of every byte that
// begins no well-formed UTF-8 sequence. False when the arena is full. Every
// entry stores several texts, nearly all pieces of a well-formed text, so
// that case is answered inline.
inline bool store_text(playlist *p, std::string_view s, text_ref *ref) {
    if (s.empty()) {
        *ref = text_ref{0, 0};
        return true;
    }
    if (!p->text_well_formed || !lies_in_text(p, s)) return store_text_checked(p, s, ref);
    *ref = text_ref{static_cast<uint32_t>(s.data() - p->text), static_cast<uint32_t>(s.size())};
    return true;
}
// A reference to the arena string at off.
text_ref arena_ref(const playlist *p, uint32_t off);
// Appends the folder-path segment form of text (control bytes become spaces,
// "/" U+2215) to out as the inside of a JSON string.
void seg_str(vqjson::TextOut &out, std::string_view text);
// s without the ASCII white space at either end.
inline std::string_view trimmed(std::string_view s) {
    while (!s.empty() && vq_is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && vq_is_space(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace vqc
