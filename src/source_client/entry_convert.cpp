// Entries to channels while the parser reads them: each entry it hands over
// becomes a channel or is counted as skipped at once, so that the parser
// keeps no copy of the playlist beside the model. The "#EXTVLCOPT" options
// are laid onto the channels once the parse is over.
#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "source_client/cache.h"
#include "source_client/model_build.h"
#include "source_client/url_util.h"

namespace {
using sv = std::string_view;

constexpr int32_t kFirstChannels = 256;

// The attributes the model reads; an entry's first pair of each key counts.
enum field { kTvgId, kTvgName, kTvgLogo, kGroupTitle, kUserAgent, kReferrer, kReferer, kFieldCount };
constexpr sv kFieldKeys[kFieldCount] = {"tvg-id",          "tvg-name",      "tvg-logo",    "group-title",
                                        "http-user-agent", "http-referrer", "http-referer"};

struct fields {
    sv value[kFieldCount];
    bool seen[kFieldCount];
};

// One pass over the pairs (keys compare ASCII-case-blind).
fields read_fields(const vqplp_entry &e) {
    fields f{};
    for (int32_t a = 0; a < e.attr_count; a++) {
        const vqplp_pair &pair = e.attrs[a];
        for (int k = 0; k < kFieldCount; k++) {
            if (f.seen[k] || !ieq_n(pair.key.data(), pair.key.size(), kFieldKeys[k].data())) continue;
            f.seen[k] = true;
            f.value[k] = pair.value;
            break;
        }
    }
    return f;
}

// Arena copy of s into *off, 0 when s is empty; false when the arena is full.
bool store(playlist *p, sv s, uint32_t *off) {
    *off = s.empty() ? 0 : arena_add_n(p, s.data(), s.size());
    return *off != kArenaFull;
}

// FNV-1a over the stored location, the byte 0x1F and the stored tvg-id.
uint64_t channel_id(const playlist *p, uint32_t location, size_t loc_len, uint32_t tvg_id, size_t tvg_id_len) {
    uint64_t h = vqiptv_fnv1a(pl_str(p, location), loc_len, kFnvOffsetBasis);
    h = vqiptv_fnv1a("\x1f", 1, h);
    return vqiptv_fnv1a(pl_str(p, tvg_id), tvg_id_len, h);
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
    bool ok = store(p, f.value[kTvgId], &d.tvg_id) && store(p, f.value[kTvgName], &d.tvg_name) &&
              store(p, f.value[kTvgLogo], &d.tvg_logo) && store(p, f.value[kGroupTitle], &d.group_title) &&
              store(p, f.value[kUserAgent], &d.user_agent) && store(p, referrer, &d.referrer);
    channel_details *slot = ok ? details_for(p, c) : nullptr;
    if (slot) *slot = d;
    return slot != nullptr;
}

bool note_entry(model_builder *b, bool kept) {
    int32_t byte = b->entries / 8;
    if (b->entries % 8 == 0) {
        if (!room_for_one(&b->kept, byte, &b->kept_cap, 64)) return false;
        b->kept[byte] = 0;
    }
    if (kept) b->kept[byte] = static_cast<uint8_t>(b->kept[byte] | 1u << (b->entries % 8));
    b->entries++;
    return true;
}

bool was_kept(const model_builder *b, int32_t i) { return b->kept[i / 8] >> (i % 8) & 1u; }

// Appends the entry as a channel: 1 added, 0 skipped, -1 out of memory.
int convert_entry(playlist *p, const vqplp_entry &e, bool *grouped) {
    fields f = read_fields(e);
    sv name = e.title.empty() ? f.value[kTvgName] : e.title;
    if (e.location.empty() || name.empty()) return 0;
    uint64_t mark = p->arena_len;
    channel c{};
    if (!store(p, e.location, &c.location)) return -1;
    size_t loc_len = p->arena_len - 1 - c.location;
    if (!vqiptv_uri_is_absolute(pl_str(p, c.location))) {
        p->arena_len = mark;  // nothing of a skipped entry stays
        return 0;
    }
    if (!room_for_one(&p->channels, p->channel_count, &p->channel_cap, kFirstChannels)) return -1;
    if (!store(p, name, &c.name) || !store_details(p, &c, f)) return -1;
    const channel_details &d = details_of(p, c);
    c.group = -1;
    c.id = channel_id(p, c.location, loc_len, d.tvg_id, d.tvg_id ? std::strlen(pl_str(p, d.tvg_id)) : 0);
    *grouped = *grouped || d.group_title;
    p->channels[p->channel_count++] = c;
    return 1;
}

// The options the scan found laid onto the channels their entries became;
// an option wins over the entry's own attribute.
bool apply_options(model_builder *b, const entry_opts *opts) {
    playlist *p = b->p;
    for (int32_t i = 0, ci = 0; i < b->entries; i++) {
        if (!was_kept(b, i)) continue;
        channel &c = p->channels[ci++];
        const entry_opts o = opts[i];
        if (!o.user_agent && !o.referrer) continue;
        channel_details *d = details_for(p, &c);
        if (!d) return false;
        if (o.user_agent) d->user_agent = o.user_agent;
        if (o.referrer) d->referrer = o.referrer;
    }
    return true;
}

// Gives back what a block reserved beyond its use (a failed shrink keeps it).
template <class T>
void trim(T **items, int32_t count, int32_t *cap) {
    if (count == 0 || count == *cap) return;
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

int take_entry(void *builder, const vqplp_entry &entry) {
    auto *b = static_cast<model_builder *>(builder);
    if (vqplp_detected_format() != VQPLP_FMT_M3U) return 0;
    int rc = convert_entry(b->p, entry, &b->grouped);
    if (rc < 0 || !note_entry(b, rc > 0)) {
        b->failed = true;
        return -1;
    }
    b->p->skipped += rc == 0;
    return 0;
}

int finish_model(model_builder *b, const char *text, size_t len) {
    playlist *p = b->p;
    p->flat = b->grouped ? 0 : 1;
    if (b->entries > 0) {
        entry_opts *opts = nullptr;
        bool mismatch = false;
        if (vlcopt_scan(p, text, len, b->entries, &opts, &mismatch) != 0) return -1;
        if (mismatch) vqiptv_count_vlcopt_mismatch();
        bool applied = !opts || apply_options(b, opts);
        vq_free(opts);
        if (!applied) return -1;
    }
    builder_free(b);
    trim(&p->channels, p->channel_count, &p->channel_cap);
    trim(&p->details, p->detail_count, &p->detail_cap);
    if (assign_groups(p) != 0) return -1;
    trim_arena(p);
    return 0;
}

void builder_free(model_builder *b) {
    vq_free(b->kept);
    b->kept = nullptr;
    b->kept_cap = 0;
}
