// Sorting channels into groups: the open-addressing table over group names,
// the member lists, and the duplicate suppression that keeps one listing per
// identical channel and group.
#include <cstring>

#include "common/alloc.h"
#include "source_client/model_build.h"
#include "source_client/url_util.h"

namespace {
constexpr uint64_t kFirstSlots = 64;
constexpr uint64_t kGolden = 0x9e3779b97f4a7c15ull;

uint64_t name_slot(const char *name, uint64_t slot_count) {
    return vqiptv_fnv1a(name, std::strlen(name), kFnvOffsetBasis) & (slot_count - 1);
}

void slot_enter(int32_t *slots, uint64_t slot_count, const playlist *p, int32_t gi) {
    uint64_t s = name_slot(pl_str(p, p->groups[gi].name), slot_count);
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

int32_t group_add(playlist *p, uint32_t name) {
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
};

bool listed_init(listed_set *set, int32_t channel_count) {
    uint64_t n = kFirstSlots;
    while (n < 2 * static_cast<uint64_t>(channel_count)) n *= 2;
    set->slots = static_cast<int32_t *>(vq_calloc(n, sizeof(int32_t)));
    set->mask = n - 1;
    return set->slots != nullptr;
}

// True when a channel equal to channel i is already listed; otherwise records i.
bool listed_before(listed_set *set, const playlist *p, int32_t i) {
    const channel &c = p->channels[i];
    uint64_t h = p->flat ? c.id : c.id ^ (static_cast<uint64_t>(c.group + 1) * kGolden);
    for (uint64_t s = h & set->mask;; s = (s + 1) & set->mask) {
        int32_t seen = set->slots[s];
        if (!seen) {
            set->slots[s] = i + 1;
            return false;
        }
        const channel &o = p->channels[seen - 1];
        if (o.id == c.id && o.group == c.group) return true;
    }
}

// The group for a channel's title ("Other" when it has none), made on first use.
int32_t group_for(playlist *p, uint32_t title, uint32_t *other) {
    if (!title) {
        if (!*other) *other = arena_add_n(p, "Other", 5);
        if (*other == kArenaFull) return -1;
        title = *other;
    }
    int32_t gi = group_find(p, pl_str(p, title));
    return gi >= 0 ? gi : group_add(p, title);
}

int place(playlist *p, listed_set *set, int32_t i, uint32_t *other) {
    group *target = &p->ungrouped;
    if (!p->flat) {
        int32_t gi = group_for(p, details_of(p, p->channels[i]).group_title, other);
        if (gi < 0) return -1;
        p->channels[i].group = gi;
        target = &p->groups[gi];
    }
    if (listed_before(set, p, i)) {
        p->duplicates++;
        return 0;
    }
    return member_add(target, i) ? 0 : -1;
}
}  // namespace

int32_t group_find(const playlist *p, const char *name) {
    if (!p->group_slot_count || !name) return -1;
    uint64_t mask = p->group_slot_count - 1;
    for (uint64_t s = name_slot(name, p->group_slot_count); p->group_slots[s]; s = (s + 1) & mask) {
        int32_t gi = p->group_slots[s] - 1;
        if (std::strcmp(pl_str(p, p->groups[gi].name), name) == 0) return gi;
    }
    return -1;
}

int assign_groups(playlist *p) {
    listed_set set;
    if (!listed_init(&set, p->channel_count)) return -1;
    uint32_t other = 0;
    int rc = 0;
    for (int32_t i = 0; i < p->channel_count && rc == 0; i++) rc = place(p, &set, i, &other);
    vq_free(set.slots);
    return rc;
}
