// Internal layout of the parser state and the writers every format parser uses.
//
// Sized for playlists of hundreds of thousands of entries: every string lives
// in one arena addressed by 32-bit offsets (1 is the shared "", 0 none), the
// attributes of all items sit in one array (an item owns a contiguous run of
// it), and so do the indices of all CUE tracks. Parsers read the decoded text
// through (pointer, length) views and never write into it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "playlist_parser/vqplp.h"

namespace vqplp {

constexpr uint32_t kNoString = 0;     // a string never set (a zeroed record has none)
constexpr uint32_t kEmptyString = 1;  // the shared ""
constexpr int kMaxWarnings = 512;
constexpr int kTextCap = 512;  // warning and error texts keep at most 511 bytes
constexpr int kMaxAttrs = 64;
constexpr int kMaxIndices = 32;

struct Item {
    uint32_t location, title;
    int32_t duration_ms, duration_raw, release_date;
    uint32_t attr_first;
    int32_t attr_count;
};

struct Attr {
    uint32_t key, value;
};

// total_frames is derived (minutes * 4500 + seconds * 75 + frames), never stored.
struct CueTime {
    int32_t number, minutes, seconds, frames;
};

struct CueTrack {
    int32_t number;
    uint32_t datatype, title, performer, songwriter, isrc, file, file_type, flags;
    uint32_t index_first;
    int32_t index_count;
    CueTime pregap, postgap;
    int32_t has_pregap, has_postgap;
};

enum CueMeta { kCueTitle, kCuePerformer, kCueSongwriter, kCueCatalog, kCueCdTextFile, kCueMetaCount };

struct Arena {
    char *data;
    size_t len, cap;
};

// Recently stored attribute keys, so that the few distinct keys of a playlist
// are kept once instead of once per item.
struct KeyCache {
    uint32_t slot[256];
    uint16_t len[256];
};

struct ParseState {
    Item *items;
    int32_t item_count;
    uint32_t item_cap;
    Attr *attrs;
    uint32_t attr_count, attr_cap;
    int32_t imdb_date_playlist;
    uint32_t cue_meta[kCueMetaCount];
    CueTrack *tracks;
    int32_t track_count;
    uint32_t track_cap;
    CueTime *indices;
    uint32_t index_count, index_cap;
    char *warnings[kMaxWarnings];
    int32_t warning_count;
    char error[kTextCap];
    char *result_json;
    int32_t detected_format;
    const char *decoded_text;
    size_t decoded_len;
    char *decoded_block;   // the engine's own block holding decoded_text; null when it is the caller's bytes
    bool decoded_has_nul;  // lines must then stop at an embedded NUL
    bool decoded_strict;   // known to be well-formed UTF-8 throughout
    Arena arena;
    KeyCache keys;
    const vqplp_sink *sink;  // when set, entries go there instead of into items
};

extern ParseState g_vq;

// Arena strings. Every put returns an offset, or kNoString when memory ran out.
// A put is made for nearly every value of a playlist, and the arena seldom has
// to grow, so the copy into room already there is inline.
uint32_t arena_put_growing(std::string_view s);  // also the "" of an arena not yet made
inline uint32_t arena_put(std::string_view s) {
    Arena &a = g_vq.arena;
    if (s.empty() || a.cap - a.len <= s.size()) return arena_put_growing(s);
    uint32_t off = static_cast<uint32_t>(a.len);
    std::memcpy(a.data + off, s.data(), s.size());
    a.data[off + s.size()] = '\0';
    a.len += s.size() + 1;
    return off;
}
const char *arena_str(uint32_t off);  // null for kNoString
void arena_reserve(size_t bytes);     // a hint; failure is harmless
void arena_shrink();

// Appends an item whose strings are already in the arena (0 or 6).
int item_add_refs(uint32_t location, uint32_t title, int32_t duration_ms, int32_t duration_raw);
// Appends an item, copying location and title (null data stands for ""): 0 or 6.
int item_add(std::string_view location, std::string_view title, int32_t duration_ms, int32_t duration_raw);
// Appends a whole entry (null data stands for ""), or hands it to the sink: 0 or 6.
int entry_add(const vqplp_entry &entry, int32_t duration_ms, int32_t duration_raw);

void warnf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void set_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Grows a contiguous array to hold one more element (first allocation of
// `first` slots, then doubling); false when memory ran out, array unchanged.
bool grow_array(void **data, uint32_t *cap, uint32_t count, uint32_t first, size_t elem);

int64_t total_frames(const CueTime &t);

}  // namespace vqplp
