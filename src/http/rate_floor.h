// The least a response must deliver: 1,024 bytes in every period as long as
// the receive limit. The idle timeouts alone let a server trickle a byte now
// and then for as long as it likes, holding the caller (and every lock it
// holds) the whole time. Shared by the network transports, which feed it the
// bytes received so far and ask it whenever they get control.
#pragma once
#include <cstdint>

constexpr uint64_t kRateFloorBytes = 1024;

// Bytes are counted in slots of limit/kSlots; a verdict looks at the last
// kSlots + 1 of them, so it covers at least a whole limit (never failing
// early) and comes at most one slot late.
struct quorvex_rate_floor {
    static constexpr int kSlots = 64;
    uint64_t limit_ms;
    uint64_t slot_ms;
    uint64_t since_ms;    // when counting began
    uint64_t slot;        // the slot of the latest call
    uint64_t total;       // bytes fed so far
    uint16_t bytes[kSlots + 1];  // per slot, saturated at kRateFloorBytes
};

// Starts counting at now_ms with `total` bytes received so far.
void quorvex_rate_start(quorvex_rate_floor *f, uint64_t limit_ms, uint64_t now_ms, uint64_t total);
// Takes the bytes received so far (never less than the last call's) and tells
// whether fewer than kRateFloorBytes arrived in a whole limit's time.
bool quorvex_rate_too_slow(quorvex_rate_floor *f, uint64_t now_ms, uint64_t total);
