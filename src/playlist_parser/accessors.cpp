// Read accessors of the parser state. Every index is checked; a bad one gives
// the "missing" value instead of a failure.
#include <string_view>

#include "playlist_parser/state.h"
#include "playlist_parser/text.h"
#include "playlist_parser/vqplp.h"

using namespace vqplp;

namespace {

const Item *item_at(int32_t i) { return i >= 0 && i < g_vq.item_count ? &g_vq.items[i] : nullptr; }
const CueTrack *track_at(int32_t t) { return t >= 0 && t < g_vq.track_count ? &g_vq.tracks[t] : nullptr; }

const CueTime *index_at(int32_t t, int32_t k) {
    const CueTrack *tr = track_at(t);
    if (!tr || k < 0 || k >= tr->index_count) return nullptr;
    return &g_vq.indices[tr->index_first + static_cast<uint32_t>(k)];
}

struct Named {
    const char *name;
    uint32_t CueTrack::*field;
};

constexpr Named kTrackFields[] = {
    {"TITLE", &CueTrack::title},       {"PERFORMER", &CueTrack::performer}, {"SONGWRITER", &CueTrack::songwriter},
    {"ISRC", &CueTrack::isrc},         {"FILE", &CueTrack::file},           {"FLAGS", &CueTrack::flags},
    {"DATATYPE", &CueTrack::datatype},
};

constexpr const char *kMetaNames[kCueMetaCount] = {"TITLE", "PERFORMER", "SONGWRITER", "CATALOG", "CDTEXTFILE"};

}  // namespace

int32_t vqplp_item_count() { return g_vq.item_count; }

const char *vqplp_item_location(int32_t i) {
    const Item *it = item_at(i);
    return it ? arena_str(it->location) : nullptr;
}

const char *vqplp_item_title(int32_t i) {
    const Item *it = item_at(i);
    return it ? arena_str(it->title) : nullptr;
}

int32_t vqplp_item_duration_ms(int32_t i) {
    const Item *it = item_at(i);
    return it ? it->duration_ms : 0;
}

int32_t vqplp_item_release_date(int32_t i) {
    const Item *it = item_at(i);
    return it ? it->release_date : 0;
}

const char *vqplp_item_attr(int32_t i, const char *key) {
    const Item *it = item_at(i);
    if (!it || !key) return nullptr;
    for (int32_t a = 0; a < it->attr_count; ++a) {
        const Attr &at = g_vq.attrs[it->attr_first + static_cast<uint32_t>(a)];
        if (at.key != kNoString && str_ieq(arena_str(at.key), key)) return arena_str(at.value);
    }
    return nullptr;
}

int32_t vqplp_item_attr_count(int32_t i) {
    const Item *it = item_at(i);
    return it ? it->attr_count : 0;
}

const char *vqplp_item_attr_key(int32_t i, int32_t a) {
    const Item *it = item_at(i);
    if (!it || a < 0 || a >= it->attr_count) return nullptr;
    return arena_str(g_vq.attrs[it->attr_first + static_cast<uint32_t>(a)].key);
}

const char *vqplp_item_attr_value(int32_t i, int32_t a) {
    const Item *it = item_at(i);
    if (!it || a < 0 || a >= it->attr_count) return nullptr;
    return arena_str(g_vq.attrs[it->attr_first + static_cast<uint32_t>(a)].value);
}

int32_t vqplp_m3u_is_imdb_date_playlist() { return g_vq.imdb_date_playlist; }

const char *vqplp_cue_meta(const char *name) {
    for (int m = 0; m < kCueMetaCount; ++m)
        if (name && str_ieq(name, kMetaNames[m])) return arena_str(g_vq.cue_meta[m]);
    return nullptr;
}

int32_t vqplp_cue_track_count() { return g_vq.track_count; }

int32_t vqplp_cue_track_number(int32_t t) {
    const CueTrack *tr = track_at(t);
    return tr ? tr->number : -1;
}

const char *vqplp_cue_track_field(int32_t t, const char *name) {
    const CueTrack *tr = track_at(t);
    if (!tr || !name) return nullptr;
    for (const Named &f : kTrackFields)
        if (str_ieq(name, f.name)) return arena_str(tr->*f.field);
    return nullptr;
}

int32_t vqplp_cue_track_index_count(int32_t t) {
    const CueTrack *tr = track_at(t);
    return tr ? tr->index_count : 0;
}

int32_t vqplp_cue_track_index_number(int32_t t, int32_t k) {
    const CueTime *c = index_at(t, k);
    return c ? c->number : -1;
}

int64_t vqplp_cue_track_index_frames(int32_t t, int32_t k) {
    const CueTime *c = index_at(t, k);
    return c ? total_frames(*c) : -1;
}

int32_t vqplp_cue_track_index_ms(int32_t t, int32_t k) {
    const CueTime *c = index_at(t, k);
    if (!c || total_frames(*c) < 0) return -1;
    return static_cast<int32_t>(total_frames(*c) * 1000 / 75);
}

int32_t vqplp_warning_count() { return g_vq.warning_count; }

const char *vqplp_warning(int32_t i) { return i >= 0 && i < g_vq.warning_count ? g_vq.warnings[i] : nullptr; }

const char *vqplp_last_error() { return g_vq.error; }

int32_t vqplp_detected_format() { return g_vq.detected_format; }

const char *vqplp_format_name(int32_t format) {
    static const char *const kNames[] = {"auto", "m3u", "m3u8-hls", "streaming-list", "cue"};
    return format >= -1 && format <= 3 ? kNames[format + 1] : "unknown";
}

const char *vqplp_decoded_text() { return g_vq.decoded_text; }

size_t vqplp_decoded_len() { return g_vq.decoded_len; }

char *vqplp_take_decoded_block() {
    char *block = g_vq.decoded_block;
    g_vq.decoded_block = nullptr;
    return block;
}

bool vqplp_decoded_is_well_formed() { return g_vq.decoded_strict; }
