// Sorting channels into groups: the open-addressing table over group names,
// the member lists, and the duplicate suppression that keeps one listing per
// identical channel and group (in an id set, id_set.cpp).
#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "common/byte_scan.h"
#include "source_client/model/model_build.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {
constexpr uint64_t kFirstSlots = 64;
// How many members ahead the duplicate suppression asks for a channel's id.
constexpr int32_t kIdsAhead = 16;

// Keyed (slot_hash.h): group titles come from whoever serves the playlist.
uint64_t name_slot(std::string_view name, uint64_t slot_count) {
    return slot_hash(slot_key_once(), name) & (slot_count - 1);
}

// Names are short and compared for every channel: by words, inline.
bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && vqbytes::same_bytes(a.data(), b.data(), a.size());
}

void slot_enter(int32_t *slots, uint64_t slot_count, const playlist *p, int32_t gi) {
    uint64_t s = name_slot(pl_text(p, p->groups[gi].name), slot_count);
    while (slots[s]) s = (s + 1) & (slot_count - 1);
    slots[s] = gi + 1;
}

// Keeps the slot table at most half full once it holds `count` groups.
bool slots_fit(playlist *p, int32_t count) {
    uint64_t have = p->group_slot_count;
    if (have && 2 * static_cast<uint64_t>(count) <= have) return true;
    uint64_t want = have ? have : kFirstSlots;
    while (want < 2 * static_cast<uint64_t>(count)) want *= 2;
    auto *slots = static_cast<int32_t *>(vq_calloc(want, sizeof(int32_t)));
    if (!slots) return false;
    for (int32_t gi = 0; gi < p->group_count; gi++) slot_enter(slots, want, p, gi);
    vq_free(p->group_slots);
    p->group_slots = slots;
    p->group_slot_count = want;
    return true;
}

int32_t group_add(playlist *p, text_ref name) {
    int32_t gi = p->group_count;
    if (!slots_fit(p, gi + 1) || !room_for_one(&p->groups, gi, &p->group_cap)) return -1;
    p->groups[gi] = group{name, 0, 0};
    p->group_count = gi + 1;
    slot_enter(p->group_slots, p->group_slot_count, p, gi);
    return gi;
}

// The group named by title ("Other" when it is empty), made on first use.
// The title is compared as the model keeps it (repaired), and stays in the
// arena only when it names a new group.
int32_t group_named(playlist *p, std::string_view title, int32_t *last) {
    uint64_t mark = p->arena_len;
    text_ref name{};
    if (!title.empty() && !store_text(p, title, &name)) return -1;
    std::string_view text = title.empty() ? std::string_view("Other", 5) : pl_text(p, name);
    int32_t gi = *last >= 0 && same_name(text, pl_text(p, p->groups[*last].name)) ? *last : group_find(p, text);
    if (gi >= 0) {
        p->arena_len = mark;
    } else {
        uint32_t other = title.empty() ? arena_add_n(p, "Other", 5) : 0;
        if (other == kArenaFull) return -1;
        gi = group_add(p, title.empty() ? arena_ref(p, other) : name);
    }
    if (gi >= 0) *last = gi;
    return gi;
}

// Room for the group of every channel the playlist has room for.
bool reserve_groups_of(playlist *p) {
    int32_t cap = std::max(p->channel_cap, int32_t{16});
    p->group_of = static_cast<int32_t *>(vq_malloc(sizeof(int32_t) * static_cast<size_t>(cap)));
    p->group_of_cap = p->group_of ? cap : 0;
    return p->group_of != nullptr;
}

// Lists in g, from its first place on, the first channel of each id among
// the candidates (count channel indices at from, or 0 to count - 1 when from
// is null), counting the others. The list may be the candidates themselves.
// False when memory runs out.
bool list_unique(playlist *p, group *g, const int32_t *from, int32_t count) {
    id_set listed;
    bool ok = id_set_init(p, &listed, count);
    int32_t *list = p->members + g->first;
    int32_t kept = 0;
    for (int32_t k = 0; ok && k < count; k++) {
        // A group's channels lie scattered over the records: the id of one
        // a few places on is asked for while this one is placed.
        if (from && k + kIdsAhead < count) __builtin_prefetch(&p->channels[from[k + kIdsAhead]].id);
        int32_t i = from ? from[k] : k;
        int32_t before = id_set_put(p, &listed, i);
        if (before >= 0) continue;
        list[kept++] = i;
        ok = before == -1;
    }
    id_set_free(&listed);
    p->duplicates += count - kept;
    g->member_count = kept;
    return ok;
}

// Each channel's index in its group's stretch of the member list, the groups
// in their order and each in playlist order.
void sort_by_group(playlist *p) {
    int32_t first = 0;
    for (int32_t gi = 0; gi < p->group_count; gi++) p->groups[gi].member_count = 0;
    for (int32_t i = 0; i < p->channel_count; i++) p->groups[p->group_of[i]].member_count++;
    for (int32_t gi = 0; gi < p->group_count; gi++) {
        p->groups[gi].first = first;
        first += p->groups[gi].member_count;
        p->groups[gi].member_count = 0;
    }
    for (int32_t i = 0; i < p->channel_count; i++) {
        group &g = p->groups[p->group_of[i]];
        p->members[g.first + g.member_count++] = i;
    }
}

// The list without the room the duplicates left, then trimmed.
void close_gaps(playlist *p) {
    int32_t end = p->flat ? p->ungrouped.member_count : 0;
    for (int32_t gi = 0; gi < p->group_count; gi++) {
        group &g = p->groups[gi];
        std::memmove(p->members + end, p->members + g.first, sizeof(int32_t) * static_cast<size_t>(g.member_count));
        g.first = end;
        end += g.member_count;
    }
    if (end < p->channel_count)
        if (auto *fit = static_cast<int32_t *>(vq_realloc(p->members, sizeof(int32_t) * static_cast<size_t>(end))))
            p->members = fit;
}
}  // namespace

int32_t group_find(const playlist *p, std::string_view name) {
    if (!p->group_slot_count) return -1;
    uint64_t mask = p->group_slot_count - 1;
    for (uint64_t s = name_slot(name, p->group_slot_count); p->group_slots[s]; s = (s + 1) & mask) {
        int32_t gi = p->group_slots[s] - 1;
        if (same_name(pl_text(p, p->groups[gi].name), name)) return gi;
    }
    return -1;
}

int32_t group_for_channel(model_builder *b, std::string_view title) {
    playlist *p = b->p;
    if (title.empty() && !b->grouped) return -1;
    if (!title.empty() && !b->grouped) {
        // The channels so far have no title: they go to "Other", the first
        // group. The groups of a flat playlist's channels are never kept.
        int32_t other = p->channel_count ? group_named(p, {}, &b->last_group) : 0;
        if (other < 0 || !reserve_groups_of(p)) return -2;
        std::fill(p->group_of, p->group_of + p->channel_count, other);
        b->grouped = true;
    }
    int32_t gi = group_named(p, title, &b->last_group);
    return gi < 0 ? -2 : gi;
}

int list_members(playlist *p) {
    if (p->channel_count == 0) return 0;
    p->members = static_cast<int32_t *>(vq_malloc(sizeof(int32_t) * static_cast<size_t>(p->channel_count)));
    if (!p->members) return -1;
    bool ok = true;
    if (p->flat) {
        ok = list_unique(p, &p->ungrouped, nullptr, p->channel_count);
    } else {
        sort_by_group(p);
        for (int32_t gi = 0; ok && gi < p->group_count; gi++) {
            group &g = p->groups[gi];
            if (g.member_count > 1) ok = list_unique(p, &g, p->members + g.first, g.member_count);
        }
    }
    if (!ok) return -1;
    close_gaps(p);
    return 0;
}

}  // namespace vqc
