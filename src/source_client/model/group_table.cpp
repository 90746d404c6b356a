// Sorting channels into groups: the open-addressing table over group names,
// the member lists, and the duplicate suppression that keeps one listing per
// identical channel and group.
#include <string_view>

#include "common/alloc.h"
#include "source_client/model/model_build.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {
constexpr uint64_t kFirstSlots = 64;

// Keyed (slot_hash.h): group titles come from whoever serves the playlist.
uint64_t name_slot(std::string_view name, uint64_t slot_count) {
    return slot_hash(slot_key_once(), name) & (slot_count - 1);
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
    p->groups[gi] = group{name, nullptr, 0, 0};
    p->group_count = gi + 1;
    slot_enter(p->group_slots, p->group_slot_count, p, gi);
    return gi;
}

bool member_add(group *g, int32_t channel_index) {
    if (!room_for_one(&g->members, g->member_count, &g->member_cap)) return false;
    g->members[g->member_count++] = channel_index;
    return true;
}

// The channels already listed, keyed by (id, group); slots hold index + 1.
struct listed_set {
    int32_t *slots;
    uint64_t mask;
    const slot_key *key;
};

bool listed_init(listed_set *set, int32_t channel_count) {
    uint64_t n = kFirstSlots;
    while (n < 2 * static_cast<uint64_t>(channel_count)) n *= 2;
    set->slots = static_cast<int32_t *>(vq_calloc(n, sizeof(int32_t)));
    set->mask = n - 1;
    set->key = &slot_key_once();
    return set->slots != nullptr;
}

// Keyed: a channel's id is FNV-1a over what the playlist says, whose low bits
// anyone can choose. The group of a flat playlist's channels is -1.
uint64_t listed_slot(const listed_set *set, const channel &c) {
    return slot_hash_pair(*set->key, c.id, static_cast<uint32_t>(c.group + 1)) & set->mask;
}

// True when a channel equal to channel i is already listed; otherwise records i.
bool listed_before(listed_set *set, const playlist *p, int32_t i) {
    const channel &c = p->channels[i];
    for (uint64_t s = listed_slot(set, c);; s = (s + 1) & set->mask) {
        int32_t seen = set->slots[s];
        if (!seen) {
            set->slots[s] = i + 1;
            return false;
        }
        const channel &o = p->channels[seen - 1];
        if (o.id == c.id && o.group == c.group) return true;
    }
}

// The group a channel was placed in last: playlists list a group's channels
// together, so most lookups end here without a hash.
struct last_group {
    std::string_view title;
    int32_t index = -1;
};

// The group for a channel's title ("Other" when it has none), made on first use.
int32_t group_for(playlist *p, text_ref title, last_group *last) {
    std::string_view name = title.len ? pl_text(p, title) : std::string_view("Other", 5);
    if (last->index >= 0 && name == last->title) return last->index;
    int32_t gi = group_find(p, name);
    if (gi < 0 && !title.len) {
        uint32_t other = arena_add_n(p, "Other", 5);
        if (other == kArenaFull) return -1;
        title = arena_ref(p, other);
    }
    if (gi < 0) gi = group_add(p, title);
    if (gi >= 0) *last = last_group{pl_text(p, p->groups[gi].name), gi};
    return gi;
}

// Every channel's group, the groups made in order of first appearance. The
// titles lie all over the playlist's text, far beyond the caches, so the
// title of a channel a few places ahead is fetched early.
int group_all(playlist *p) {
    constexpr int32_t kAhead = 8;
    last_group last;
    for (int32_t i = 0; i < p->channel_count; i++) {
        if (i + kAhead < p->channel_count)
            __builtin_prefetch(pl_text(p, details_of(p, p->channels[i + kAhead]).group_title).data());
        int32_t gi = group_for(p, details_of(p, p->channels[i]).group_title, &last);
        if (gi < 0) return -1;
        p->channels[i].group = gi;
    }
    return 0;
}

// Lists each channel in its group unless an equal one is listed there. The
// set is far bigger than the caches and its slots are hit at random, so the
// slot of a channel a few places ahead is fetched early.
int list_all(playlist *p, listed_set *set) {
    constexpr int32_t kAhead = 8;
    for (int32_t i = 0; i < p->channel_count; i++) {
        if (i + kAhead < p->channel_count)
            __builtin_prefetch(&set->slots[listed_slot(set, p->channels[i + kAhead])]);
        if (listed_before(set, p, i)) {
            p->duplicates++;
            continue;
        }
        group *target = p->flat ? &p->ungrouped : &p->groups[p->channels[i].group];
        if (!member_add(target, i)) return -1;
    }
    return 0;
}
}  // namespace

int32_t group_find(const playlist *p, std::string_view name) {
    if (!p->group_slot_count) return -1;
    uint64_t mask = p->group_slot_count - 1;
    for (uint64_t s = name_slot(name, p->group_slot_count); p->group_slots[s]; s = (s + 1) & mask) {
        int32_t gi = p->group_slots[s] - 1;
        if (pl_text(p, p->groups[gi].name) == name) return gi;
    }
    return -1;
}

int assign_groups(playlist *p) {
    if (!p->flat && group_all(p) != 0) return -1;
    listed_set set;
    if (!listed_init(&set, p->channel_count)) return -1;
    int rc = list_all(p, &set);
    vq_free(set.slots);
    return rc;
}

}  // namespace vqc
