// Pieces of the playlist conversion shared by its source files. Everything here
// runs inside parse_body, under g_lock.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/alloc.h"
#include "playlist_parser/vqplp.h"
#include "source_client/model/channel_model.h"

namespace vqc {

// HTTP options of one entry taken from "#EXTVLCOPT" lines (arena offsets, 0 = none).
struct entry_opts {
    uint32_t user_agent;
    uint32_t referrer;
};

// Reads the text after "#EXTVLCOPT:" of one option line (key "=" value, the
// line trimmed): the value of a key the header spellings read as an option
// (http-user-agent, http-referrer, http-referer) is copied into the arena and
// its offset set in *opts (a later line of the same kind wins); any other line
// changes nothing. False when the arena is full.
bool read_vlcopt(playlist *p, std::string_view text, entry_opts *opts);

// Keeps an "#EXTHTTP" text (the JSON object after the tag) or the header list
// of a "#KODIPROP" text ("inputstream.adaptive.stream_headers=...") for the
// next entry, counting it in *pending; any other "#KODIPROP" changes nothing.
// False when memory runs out.
bool keep_header_text(playlist *p, vqplp_option_tag tag, std::string_view text, int32_t *pending);
// Gives the *pending texts kept last to the channel at index channel, or drops
// them when it is -1 (their entry was skipped, or none followed).
void settle_header_texts(playlist *p, int32_t channel, int32_t *pending);

// Makes room for extra more arena bytes, growing the capacity by half as
// often as needed; false (arena unchanged) when it cannot grow.
bool arena_reserve(playlist *p, uint64_t extra);

// Builds the channels of the entries the parser hands over one by one
// (vqplp_parse_borrowed_each with take_entry as the sink).
struct model_builder {
    playlist *p;
    entry_opts pending;     // the options read for the next entry
    int32_t pending_texts;  // header texts kept for the next entry
    bool grouped;           // some channel has a group title
    bool failed;            // memory ran out and the parse was stopped
    // The group a channel was placed in last (-1: none yet): playlists list a
    // group's channels together, so most lookups end there without a hash.
    int32_t last_group;
};

// Appends r as field f of the channel at index to the far table (kept in
// channel order, each channel's fields in their order). False when memory
// runs out.
bool keep_far_text(playlist *p, int32_t index, channel_field f, text_ref r);

// Puts r as field f of the channel c that will be at index: in its record
// when it lies shortly before the location in the text, else in the far
// table. False when memory runs out.
inline bool keep_channel_text(playlist *p, int32_t index, channel *c, channel_field f, text_ref r) {
    auto k = static_cast<uint32_t>(f);
    bool far = r.len != 0;
    if (k < kNearFields) {
        const text_ref loc = c->location;
        bool near = !((loc.off | r.off) & kInArena) && r.off <= loc.off && loc.off - r.off <= UINT16_MAX && r.len < kFar;
        c->near[k] = near ? near_ref{static_cast<uint16_t>(loc.off - r.off), static_cast<uint16_t>(r.len)}
                          : near_ref{0, far ? kFar : uint16_t{0}};
        far = far && !near;
    }
    return !far || keep_far_text(p, index, f, r);
}

// Room for the channels a body of body_len bytes is likely to hold, so that
// the blocks of a big playlist are not copied as they grow (the C runtime
// cannot always grow a block in place); trimmed by finish_model. False when
// memory runs out.
bool reserve_channels(playlist *p, size_t body_len);
// The sink's callbacks: an entry of an M3U playlist becomes a channel (taking
// the pending options and header texts) or counts as skipped; entries of
// other formats are passed over. What an option line gives waits for the
// next entry.
int take_entry(void *builder, const vqplp_entry &entry);
int take_option(void *builder, vqplp_option_tag tag, std::string_view text);
// Once the parse is over: the blocks trimmed to their use, the ids, the
// groups. 0, or -1 when memory runs out.
int finish_model(model_builder *b);

// Room for one more element in a list that starts at `first` slots and grows
// by half, so that no more than a third of a big block lies unused.
template <class T>
bool room_for_one(T **items, int32_t count, int32_t *cap, int32_t first = 16) {
    if (count < *cap) return true;
    if (*cap > INT32_MAX / 3 * 2) return false;
    int32_t grown = *cap ? *cap + *cap / 2 : first;
    auto *bigger = static_cast<T *>(vq_realloc(*items, sizeof(T) * static_cast<size_t>(grown)));
    if (!bigger) return false;
    *items = bigger;
    *cap = grown;
    return true;
}

// The group of the next channel, whose trimmed group title is title: made
// when it is new, so that groups come in order of first appearance; "Other"
// for one without a title once any channel has one (the channels before the
// first title go there too), -1 while none has. -2 when memory runs out.
int32_t group_for_channel(model_builder *b, std::string_view title);
// The ids a set has room for at first: a list is rarely longer, so its set is
// seldom grown, and one id repeated without end still costs half a MiB.
constexpr int32_t kFirstIds = 1 << 16;
// An empty set with room for expected ids (at most kFirstIds); false when
// memory runs out.
bool id_set_init(const playlist *p, id_set *set, int32_t expected);
// Adds the channel at index unless one of its id is there: -1 added, -2
// added but memory ran out as the set grew, else the index of that one.
int32_t id_set_put(const playlist *p, id_set *set, int32_t index);
// The channel of id in the set, or -1.
int32_t id_set_find(const playlist *p, const id_set &set, uint64_t id);
void id_set_free(id_set *set);

// Lists every channel in its group (or in ungrouped for a flat playlist),
// leaving out a channel whose id is listed there already. 0, or -1 when
// memory runs out.
int list_members(playlist *p);

}  // namespace vqc
