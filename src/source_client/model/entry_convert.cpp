// Entries to channels while the parser reads them: each entry it hands over
// becomes a channel or is counted as skipped at once, so that the parser
// keeps no copy of the playlist beside the model. The "#EXTVLCOPT" options
// the parser hands over before an entry go with it.
#include <algorithm>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "source_client/model/model_build.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {
using sv = std::string_view;

constexpr int32_t kFirstChannels = 256;
// Playlists hold a channel to about every 150 to 250 bytes; a guess on the
// high side of that leaves few to grow.
constexpr size_t kBytesPerChannelGuess = 192;

// The attributes the model reads; an entry's first pair of each key counts.
enum field { kTvgId, kTvgName, kTvgLogo, kGroupTitle, kUserAgent, kReferrer, kReferer, kFieldCount };
constexpr sv kFieldKeys[kFieldCount] = {"tvg-id",          "tvg-name",      "tvg-logo",    "group-title",
                                        "http-user-agent", "http-referrer", "http-referer"};

struct fields {
    sv value[kFieldCount];
    bool seen[kFieldCount];
};

// Whether key names the field (ASCII-case-blind). Keys of other fields are
// told apart by their length or their last letter alone, without a call.
bool names_field(sv key, sv field) {
    return key.size() == field.size() && (key.back() | 0x20) == field.back() && vq_ieq(key, field);
}

// One pass over the pairs.
fields read_fields(const vqplp_entry &e) {
    fields f{};
    for (int32_t a = 0; a < e.attr_count; a++) {
        const vqplp_pair &pair = e.attrs[a];
        for (int k = 0; k < kFieldCount; k++) {
            if (f.seen[k] || !names_field(pair.key, kFieldKeys[k])) continue;
            f.seen[k] = true;
            f.value[k] = pair.value;
            break;
        }
    }
    return f;
}

// FNV-1a over the stored location, the byte 0x1F and the stored tvg-id, from
// the hash of the location.
uint64_t id_after_location(const playlist *p, const channel &c, uint64_t location_hash) {
    sv tvg_id = pl_text(p, details_of(p, c).tvg_id);
    return vqiptv_fnv1a(tvg_id.data(), tvg_id.size(), vqiptv_fnv1a("\x1f", 1, location_hash));
}

struct id_lane {
    int32_t channel;  // -1 when idle
    sv rest;          // location bytes not hashed yet
    uint64_t h;
};

// Finishes the lane's channel once its location is hashed, and takes the
// next channels while their locations are empty; idle when none is left.
void advance(playlist *p, id_lane &l, int32_t *next) {
    while (l.channel < 0 || l.rest.empty()) {
        if (l.channel >= 0) p->channels[l.channel].id = id_after_location(p, p->channels[l.channel], l.h);
        l = id_lane{-1, {}, kFnvOffsetBasis};
        if (*next >= p->channel_count) return;
        l.channel = *next;
        l.rest = pl_text(p, p->channels[(*next)++].location);
    }
}

// The id of every channel. Locations are most of the bytes and a hash is one
// chain of multiplies, so four locations are hashed side by side, each lane
// taking the next channel as soon as its own location is done.
void assign_ids(playlist *p) {
    id_lane lanes[4] = {};
    int32_t next = 0;
    for (id_lane &l : lanes) {
        l.channel = -1;
        advance(p, l, &next);
    }
    for (;;) {
        const id_lane *busy = nullptr;
        size_t step = 0;
        for (const id_lane &l : lanes)
            if (l.channel >= 0 && (!busy || l.rest.size() < step)) busy = &l, step = l.rest.size();
        if (!busy) return;
        const char *data[4];
        uint64_t h[4];
        for (int k = 0; k < 4; k++) {
            data[k] = lanes[k].channel >= 0 ? lanes[k].rest.data() : busy->rest.data();  // idle: hashed, dropped
            h[k] = lanes[k].h;
        }
        vqiptv_fnv1a_x4(data, step, h);
        for (int k = 0; k < 4; k++) {
            if (lanes[k].channel < 0) continue;
            lanes[k].h = h[k];
            lanes[k].rest.remove_prefix(step);
            advance(p, lanes[k], &next);
        }
    }
}

// The details record of c, made (all absent) when it has none; null when
// memory runs out.
channel_details *details_for(playlist *p, channel *c) {
    if (c->details) return &p->details[c->details - 1];
    if (!room_for_one(&p->details, p->detail_count, &p->detail_cap)) return nullptr;
    p->details[p->detail_count] = channel_details{};
    c->details = static_cast<uint32_t>(++p->detail_count);
    return &p->details[c->details - 1];
}

bool store_details(playlist *p, channel *c, const fields &f) {
    sv referrer = f.value[kReferrer].empty() ? f.value[kReferer] : f.value[kReferrer];
    if (f.value[kTvgId].empty() && f.value[kTvgName].empty() && f.value[kTvgLogo].empty() &&
        f.value[kGroupTitle].empty() && f.value[kUserAgent].empty() && referrer.empty())
        return true;
    channel_details d{};
    bool ok = store_text(p, f.value[kTvgId], &d.tvg_id) && store_text(p, f.value[kTvgName], &d.tvg_name) &&
              store_text(p, f.value[kTvgLogo], &d.tvg_logo) && store_text(p, f.value[kGroupTitle], &d.group_title) &&
              store_text(p, f.value[kUserAgent], &d.user_agent) && store_text(p, referrer, &d.referrer);
    channel_details *slot = ok ? details_for(p, c) : nullptr;
    if (slot) *slot = d;
    return slot != nullptr;
}

// Lays the options read for an entry onto its channel: an option wins over
// the entry's own attribute.
bool apply_options(playlist *p, channel *c, entry_opts o) {
    if (!o.user_agent && !o.referrer) return true;
    channel_details *d = details_for(p, c);
    if (!d) return false;
    if (o.user_agent) d->user_agent = arena_ref(p, o.user_agent);
    if (o.referrer) d->referrer = arena_ref(p, o.referrer);
    return true;
}

// Appends the entry as a channel: 1 added, 0 skipped, -1 out of memory.
int convert_entry(playlist *p, const vqplp_entry &e, entry_opts opts, bool *grouped) {
    fields f = read_fields(e);
    sv name = e.title.empty() ? f.value[kTvgName] : e.title;
    if (e.location.empty() || name.empty()) return 0;
    uint64_t mark = p->arena_len;
    channel c{};
    if (!store_text(p, e.location, &c.location)) return -1;
    sv location = pl_text(p, c.location);
    if (!vqiptv_uri_is_absolute_n(location.data(), location.size())) {
        p->arena_len = mark;  // nothing of a skipped entry stays
        return 0;
    }
    if (!room_for_one(&p->channels, p->channel_count, &p->channel_cap, kFirstChannels)) return -1;
    if (!store_text(p, name, &c.name) || !store_details(p, &c, f) || !apply_options(p, &c, opts)) return -1;
    c.group = -1;
    *grouped = *grouped || details_of(p, c).group_title.len;
    p->channels[p->channel_count++] = c;
    return 1;
}

// Makes room for want elements of a list that holds none yet.
template <class T>
bool reserve(T **items, int32_t *cap, int32_t want) {
    auto *room = static_cast<T *>(vq_realloc(*items, sizeof(T) * static_cast<size_t>(want)));
    if (!room) return false;
    *items = room;
    *cap = want;
    return true;
}

// Gives back what a block reserved beyond its use (a failed shrink keeps it).
template <class T>
void trim(T **items, int32_t count, int32_t *cap) {
    if (count == *cap) return;
    if (count == 0) {
        vq_free(*items);
        *items = nullptr;
        *cap = 0;
        return;
    }
    if (auto *fit = static_cast<T *>(vq_realloc(*items, sizeof(T) * static_cast<size_t>(count)))) {
        *items = fit;
        *cap = count;
    }
}

void trim_arena(playlist *p) {
    if (p->arena_len == p->arena_cap) return;
    if (auto *fit = static_cast<char *>(vq_realloc(p->arena, p->arena_len))) {
        p->arena = fit;
        p->arena_cap = p->arena_len;
    }
}
}  // namespace

bool reserve_channels(playlist *p, size_t body_len) {
    size_t guess = std::min<size_t>(body_len / kBytesPerChannelGuess, INT32_MAX / 3);
    if (guess <= static_cast<size_t>(kFirstChannels)) return true;
    auto want = static_cast<int32_t>(guess);
    return reserve(&p->channels, &p->channel_cap, want) && reserve(&p->details, &p->detail_cap, want);
}

int take_entry(void *builder, const vqplp_entry &entry) {
    auto *b = static_cast<model_builder *>(builder);
    if (vqplp_detected_format() != VQPLP_FMT_M3U) return 0;
    if (!b->p->text) {
        b->p->text = vqplp_decoded_text();
        b->p->text_len = vqplp_decoded_len();
        b->p->text_well_formed = vqplp_decoded_is_well_formed();
    }
    int rc = convert_entry(b->p, entry, b->pending, &b->grouped);
    b->pending = entry_opts{0, 0};  // options belong to the next entry line only
    if (rc < 0) {
        b->failed = true;
        return -1;
    }
    b->p->skipped += rc == 0;
    return 0;
}

int take_option(void *builder, std::string_view text) {
    auto *b = static_cast<model_builder *>(builder);
    if (read_vlcopt(b->p, text, &b->pending)) return 0;
    b->failed = true;
    return -1;
}

int finish_model(model_builder *b) {
    playlist *p = b->p;
    p->flat = b->grouped ? 0 : 1;
    trim(&p->channels, p->channel_count, &p->channel_cap);
    trim(&p->details, p->detail_count, &p->detail_cap);
    assign_ids(p);
    if (assign_groups(p) != 0) return -1;
    trim_arena(p);
    return 0;
}

}  // namespace vqc
