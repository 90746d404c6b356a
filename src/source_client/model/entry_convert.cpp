// Entries to channels while the parser reads them: each entry it hands over
// becomes a channel or is counted as skipped at once, so that the parser
// keeps no copy of the playlist beside the model. The "#EXTVLCOPT" options
// and header texts the parser hands over before an entry go with it.
#include <algorithm>
#include <array>
#include <bit>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "source_client/model/header_spellings.h"
#include "source_client/model/model_build.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {
using sv = std::string_view;

constexpr int32_t kFirstChannels = 256;
// Playlists hold a channel to about every 150 to 250 bytes; a guess on the
// high side of that leaves few to grow.
constexpr size_t kBytesPerChannelGuess = 192;

// The attributes the model reads: its own four, then the header spellings
// read as attributes in the order of their table. An entry's first pair of
// each key counts.
enum field { kTvgId, kTvgName, kTvgLogo, kGroupTitle, kFirstHeader };

struct field_key {
    sv name;
    header_kind kind;
};

constexpr int attribute_spellings() {
    int n = 0;
    for (const header_spelling &s : kHeaderSpellings) n += (s.places & kAttributeKey) != 0;
    return n;
}

constexpr int kFieldCount = kFirstHeader + attribute_spellings();

constexpr std::array<field_key, kFieldCount> field_keys() {
    std::array<field_key, kFieldCount> keys{{{"tvg-id", header_kind::other},
                                             {"tvg-name", header_kind::other},
                                             {"tvg-logo", header_kind::other},
                                             {"group-title", header_kind::other}}};
    int k = kFirstHeader;
    for (const header_spelling &s : kHeaderSpellings)
        if (s.places & kAttributeKey) keys[k++] = field_key{s.name, s.kind};
    return keys;
}

constexpr std::array<field_key, kFieldCount> kFieldKeys = field_keys();

// names_field compares last bytes folded to lower case with the key's own.
constexpr bool lower_case_keys() {
    for (const field_key &k : kFieldKeys)
        for (char c : k.name)
            if (vq_is_upper(c)) return false;
    return true;
}
static_assert(lower_case_keys(), "attribute keys are written in lower case");
static_assert(kFieldCount <= 32, "a field set is 32 bits");

// The fields whose key has that length, as a set of bits: most attributes an
// entry carries are ruled out by their length alone.
constexpr size_t kLongestKey = 15;
constexpr std::array<uint32_t, kLongestKey + 1> kFieldsOfLength = [] {
    std::array<uint32_t, kLongestKey + 1> sets{};
    for (int k = 0; k < kFieldCount; k++) sets[kFieldKeys[k].name.size()] |= 1u << k;
    return sets;
}();
static_assert([] {
    for (const field_key &k : kFieldKeys)
        if (k.name.size() > kLongestKey) return false;
    return true;
}(), "kLongestKey covers every key");

// The header fields of a kind, as a set of bits in the order of the table.
constexpr uint32_t fields_of_kind(header_kind kind) {
    uint32_t set = 0;
    for (int k = kFirstHeader; k < kFieldCount; k++) set |= kFieldKeys[k].kind == kind ? 1u << k : 0;
    return set;
}

struct fields {
    sv value[kFieldCount];
    uint32_t given;  // the fields with a value that is not empty
};

// Whether key names the field of the same length (ASCII-case-blind). Keys of
// other fields of that length are told apart by their last letter alone.
bool names_field(sv key, sv field) { return (key.back() | 0x20) == field.back() && vq_ieq(key, field); }

// One pass over the pairs.
fields read_fields(const vqplp_entry &e) {
    fields f{};
    uint32_t seen = 0;
    for (int32_t a = 0; a < e.attr_count; a++) {
        const vqplp_pair &pair = e.attrs[a];
        if (pair.key.size() > kLongestKey) continue;
        for (uint32_t m = kFieldsOfLength[pair.key.size()] & ~seen; m; m &= m - 1) {
            int k = std::countr_zero(m);
            if (!names_field(pair.key, kFieldKeys[k].name)) continue;
            seen |= 1u << k;
            f.value[k] = pair.value;
            f.given |= pair.value.empty() ? 0 : 1u << k;
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

// The value of the first header spelling of that kind the entry's attributes
// give, in the order of the table.
sv header_attribute(const fields &f, header_kind kind) {
    uint32_t given = f.given & fields_of_kind(kind);
    return given ? f.value[std::countr_zero(given)] : sv{};
}

bool store_details(playlist *p, channel *c, const fields &f) {
    // "CFHD " and "CFHD" are one folder to whoever reads the list.
    sv group_title = trimmed(f.value[kGroupTitle]);
    sv user_agent = header_attribute(f, header_kind::user_agent);
    sv referrer = header_attribute(f, header_kind::referer);
    if (f.value[kTvgId].empty() && f.value[kTvgName].empty() && f.value[kTvgLogo].empty() && group_title.empty() &&
        user_agent.empty() && referrer.empty())
        return true;
    channel_details d{};
    bool ok = store_text(p, f.value[kTvgId], &d.tvg_id) && store_text(p, f.value[kTvgName], &d.tvg_name) &&
              store_text(p, f.value[kTvgLogo], &d.tvg_logo) && store_text(p, group_title, &d.group_title) &&
              store_text(p, user_agent, &d.user_agent) && store_text(p, referrer, &d.referrer);
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
    if (e.location.empty()) return 0;
    fields f = read_fields(e);
    uint64_t mark = p->arena_len;
    channel c{};
    if (!store_text(p, e.location, &c.location)) return -1;
    sv location = pl_text(p, c.location);
    if (!vqiptv_uri_is_playable_n(location.data(), location.size())) {
        p->arena_len = mark;  // nothing of a skipped entry stays
        return 0;
    }
    if (!room_for_one(&p->channels, p->channel_count, &p->channel_cap, kFirstChannels)) return -1;
    // An entry with neither title nor tvg-name is named after its location,
    // as players name it.
    sv name = e.title.empty() ? f.value[kTvgName] : e.title;
    c.name = c.location;
    if (!name.empty() && !store_text(p, name, &c.name)) return -1;
    if (!store_details(p, &c, f) || !apply_options(p, &c, opts)) return -1;
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
    if (b->pending_texts) settle_header_texts(b->p, rc > 0 ? b->p->channel_count - 1 : -1, &b->pending_texts);
    if (rc < 0) {
        b->failed = true;
        return -1;
    }
    b->p->skipped += rc == 0;
    return 0;
}

int take_option(void *builder, vqplp_option_tag tag, std::string_view text) {
    auto *b = static_cast<model_builder *>(builder);
    bool kept = tag == VQPLP_TAG_EXTVLCOPT ? read_vlcopt(b->p, text, &b->pending)
                                           : keep_header_text(b->p, tag, text, &b->pending_texts);
    if (kept) return 0;
    b->failed = true;
    return -1;
}

int finish_model(model_builder *b) {
    playlist *p = b->p;
    p->flat = b->grouped ? 0 : 1;
    settle_header_texts(p, -1, &b->pending_texts);  // none follows the last entry
    trim(&p->channels, p->channel_count, &p->channel_cap);
    trim(&p->details, p->detail_count, &p->detail_cap);
    trim(&p->header_texts, p->header_text_count, &p->header_text_cap);
    assign_ids(p);
    if (assign_groups(p) != 0) return -1;
    trim_arena(p);
    return 0;
}

}  // namespace vqc
