// Entries to channels while the parser reads them: each entry it hands over
// becomes a channel or is counted as skipped at once, so that the parser
// keeps no copy of the playlist beside the model. The "#EXTVLCOPT" options
// and header texts the parser hands over before an entry go with it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "common/byte_scan.h"
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
// other fields of that length are told apart by their last letter alone; the
// rest is compared by words, as it is asked of several keys of every entry.
bool names_field(sv key, sv field) {
    return (key.back() | 0x20) == field.back() && vqbytes::same_folded(key.data(), field.data(), field.size());
}

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
uint64_t id_after_location(const playlist *p, int32_t index, uint64_t location_hash) {
    sv tvg_id = channel_text(p, index, channel_field::tvg_id);
    uint64_t h = (location_hash ^ 0x1F) * kFnvPrime;
    return tvg_id.empty() ? h : vqiptv_fnv1a(tvg_id.data(), tvg_id.size(), h);
}

struct id_lane {
    int32_t channel;   // -1 when idle
    const char *rest;  // location bytes not hashed yet
    size_t left;       // how many
    uint64_t h;
};

// Gives the lane the next channel whose location is not empty, giving those
// on the way their ids; idle when none is left. Answers whether it is busy.
bool take_next(playlist *p, id_lane &l, int32_t *next) {
    while (*next < p->channel_count) {
        int32_t i = (*next)++;
        sv location = pl_text(p, p->channels[i].location);
        if (!location.empty()) {
            l = id_lane{i, location.data(), location.size(), kFnvOffsetBasis};
            return true;
        }
        p->channels[i].id = id_after_location(p, i, kFnvOffsetBasis);
    }
    l.channel = -1;
    return false;
}

// The id of every channel. Locations are most of the bytes and a hash is one
// chain of multiplies, so four locations are hashed side by side, as many
// bytes a step as the shortest rest holds, each lane taking the next channel
// as soon as its own location is done.
void assign_ids(playlist *p) {
    id_lane lanes[4];
    int32_t next = 0;
    int busy = 0;
    for (id_lane &l : lanes) busy += take_next(p, l, &next);
    while (busy) {
        size_t step = SIZE_MAX;
        const char *spare = nullptr;  // what an idle lane hashes and drops
        for (const id_lane &l : lanes)
            if (l.channel >= 0 && l.left <= step) step = l.left, spare = l.rest;
        const char *data[4];
        uint64_t h[4];
        for (int k = 0; k < 4; k++) {
            data[k] = lanes[k].channel >= 0 ? lanes[k].rest : spare;
            h[k] = lanes[k].h;
        }
        vqiptv_fnv1a_x4(data, step, h);
        for (int k = 0; k < 4; k++) {
            id_lane &l = lanes[k];
            if (l.channel < 0) continue;
            l.h = h[k];
            l.rest += step;
            l.left -= step;
            if (l.left) continue;
            p->channels[l.channel].id = id_after_location(p, l.channel, l.h);
            busy -= !take_next(p, l, &next);
        }
    }
}

// The value of the first header spelling of that kind the entry's attributes
// give, in the order of the table.
sv header_attribute(const fields &f, header_kind kind) {
    uint32_t given = f.given & fields_of_kind(kind);
    return given ? f.value[std::countr_zero(given)] : sv{};
}

// An option read for the entry wins over its attribute.
bool store_header(playlist *p, uint32_t option, sv attribute, text_ref *ref) {
    if (option) {
        *ref = arena_ref(p, option);
        return true;
    }
    return store_text(p, attribute, ref);
}

// The texts of the channel that will be at index, in field order (name,
// tvg-id, tvg-name, tvg-logo, user agent, referrer).
bool store_fields(playlist *p, int32_t index, channel *c, sv name, const fields &f, entry_opts opts) {
    text_ref r[6] = {c->location};
    bool ok = (name.empty() || store_text(p, name, &r[0])) && store_text(p, f.value[kTvgId], &r[1]) &&
              store_text(p, f.value[kTvgName], &r[2]) && store_text(p, f.value[kTvgLogo], &r[3]) &&
              store_header(p, opts.user_agent, header_attribute(f, header_kind::user_agent), &r[4]) &&
              store_header(p, opts.referrer, header_attribute(f, header_kind::referer), &r[5]);
    for (uint32_t k = 0; ok && k < std::size(r); k++) ok = keep_channel_text(p, index, c, static_cast<channel_field>(k), r[k]);
    return ok;
}

// Appends the entry as a channel: 1 added, 0 skipped, -1 out of memory.
int convert_entry(model_builder *b, const vqplp_entry &e) {
    playlist *p = b->p;
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
    int32_t index = p->channel_count;
    if (!room_for_one(&p->channels, index, &p->channel_cap, kFirstChannels)) return -1;
    // An entry with neither title nor tvg-name is named after its location,
    // as players name it.
    sv name = e.title.empty() ? f.value[kTvgName] : e.title;
    if (!store_fields(p, index, &c, name, f, b->pending)) return -1;
    // "CFHD " and "CFHD" are one folder to whoever reads the list.
    int32_t group = group_for_channel(b, trimmed(f.value[kGroupTitle]));
    if (group < -1 || (b->grouped && !room_for_one(&p->group_of, index, &p->group_of_cap))) return -1;
    p->channels[index] = c;
    if (b->grouped) p->group_of[index] = group;
    p->channel_count = index + 1;
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
    return reserve(&p->channels, &p->channel_cap, want);
}

int take_entry(void *builder, const vqplp_entry &entry) {
    auto *b = static_cast<model_builder *>(builder);
    if (vqplp_detected_format() != VQPLP_FMT_M3U) return 0;
    if (!b->p->text) {
        b->p->text = vqplp_decoded_text();
        b->p->text_len = vqplp_decoded_len();
        b->p->text_well_formed = vqplp_decoded_is_well_formed();
    }
    int rc = convert_entry(b, entry);
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
    if (p->group_of) trim(&p->group_of, p->channel_count, &p->group_of_cap);
    trim(&p->far_texts, p->far_text_count, &p->far_text_cap);
    trim(&p->header_texts, p->header_text_count, &p->header_text_cap);
    assign_ids(p);
    if (list_members(p) != 0) return -1;
    trim_arena(p);
    return 0;
}

}  // namespace vqc
