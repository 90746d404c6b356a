// Sets of channels keyed by id: each holds the first channel it was given of
// an id, as channel index + 1 in open-addressing slots at most half full,
// doubled as more ids come. Keyed (slot_hash.h): a channel's id is FNV-1a
// over what the playlist says, whose low bits anyone can choose.
#include <algorithm>

#include "common/alloc.h"
#include "source_client/model/model_build.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {

uint64_t slots_for(int32_t count) {
    uint64_t n = 8;
    while (n < 2 * static_cast<uint64_t>(count)) n *= 2;
    return n;
}

// The slot of id: the one that holds it, or the empty one where it goes.
uint64_t slot_of(const playlist *p, const id_set &set, uint64_t id) {
    uint64_t s = slot_hash_pair(*set.key, id, 0) & set.mask;
    while (set.slots[s] && p->channels[set.slots[s] - 1].id != id) s = (s + 1) & set.mask;
    return s;
}

bool resize(const playlist *p, id_set *set, uint64_t slot_count) {
    auto *slots = static_cast<int32_t *>(vq_calloc(slot_count, sizeof(int32_t)));
    if (!slots) return false;
    id_set grown{slots, slot_count - 1, set->used, set->key};
    for (uint64_t s = 0; set->slots && s <= set->mask; s++)
        if (int32_t v = set->slots[s]) slots[slot_of(p, grown, p->channels[v - 1].id)] = v;
    vq_free(set->slots);
    *set = grown;
    return true;
}

}  // namespace

bool id_set_init(const playlist *p, id_set *set, int32_t expected) {
    *set = id_set{nullptr, 0, 0, &slot_key_once()};
    return resize(p, set, slots_for(std::min(expected, kFirstIds)));
}

int32_t id_set_put(const playlist *p, id_set *set, int32_t index) {
    uint64_t s = slot_of(p, *set, p->channels[index].id);
    if (set->slots[s]) return set->slots[s] - 1;
    set->slots[s] = index + 1;
    if (2 * static_cast<uint64_t>(++set->used) >= set->mask + 1 && !resize(p, set, 2 * (set->mask + 1))) return -2;
    return -1;
}

int32_t id_set_find(const playlist *p, const id_set &set, uint64_t id) {
    return set.slots ? set.slots[slot_of(p, set, id)] - 1 : -1;
}

void id_set_free(id_set *set) {
    vq_free(set->slots);
    *set = id_set{nullptr, 0, 0, nullptr};
}

int32_t channel_by_id(playlist *p, uint64_t id) {
    if (!p->by_id.slots && id_set_init(p, &p->by_id, p->channel_count)) {
        int32_t rc = -1;
        for (int32_t i = 0; rc != -2 && i < p->channel_count; i++) rc = id_set_put(p, &p->by_id, i);
        if (rc == -2) id_set_free(&p->by_id);
    }
    if (p->by_id.slots) return id_set_find(p, p->by_id, id);
    for (int32_t i = 0; i < p->channel_count; i++)  // no memory for the index
        if (p->channels[i].id == id) return i;
    return -1;
}

}  // namespace vqc
