#include "http/rate_floor.h"

#include <algorithm>

namespace {

constexpr uint64_t kRing = quorvex_rate_floor::kSlots + 1;

// Moves to the slot of now, emptying the slots passed over.
void advance(quorvex_rate_floor *f, uint64_t now_ms) {
    uint64_t slot = now_ms / f->slot_ms;
    if (slot <= f->slot) return;
    uint64_t passed = std::min(slot - f->slot, kRing);
    for (uint64_t k = 1; k <= passed; ++k) f->bytes[(f->slot + k) % kRing] = 0;
    f->slot = slot;
}

}  // namespace

void quorvex_rate_start(quorvex_rate_floor *f, uint64_t limit_ms, uint64_t now_ms, uint64_t total) {
    *f = quorvex_rate_floor{};
    f->limit_ms = limit_ms;
    f->slot_ms = std::max<uint64_t>(1, (limit_ms + quorvex_rate_floor::kSlots - 1) / quorvex_rate_floor::kSlots);
    f->since_ms = now_ms;
    f->slot = now_ms / f->slot_ms;
    f->total = total;
}

bool quorvex_rate_too_slow(quorvex_rate_floor *f, uint64_t now_ms, uint64_t total) {
    advance(f, now_ms);
    uint64_t fresh = total > f->total ? total - f->total : 0;
    f->total = std::max(total, f->total);
    uint16_t &here = f->bytes[f->slot % kRing];
    here = static_cast<uint16_t>(std::min<uint64_t>(here + fresh, kRateFloorBytes));
    if (now_ms < f->since_ms + f->limit_ms) return false;
    uint64_t sum = 0;
    for (uint16_t b : f->bytes) sum += b;
    return sum < kRateFloorBytes;
}
