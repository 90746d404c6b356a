#include "source_client/util/slot_hash.h"

#include <bit>
#include <cstring>

#include "common/byte_scan.h"
#include "platform/platform.h"

namespace vqc {

namespace {

// Where the OS gives no random bytes: the clock and the places address-space
// randomisation chose for the stack and the code, spread over the four words.
slot_key stand_in_key() {
    int on_stack = 0;
    uint64_t s = vqp::now_ms() ^ reinterpret_cast<uintptr_t>(&on_stack) ^
                 std::rotl(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&stand_in_key)), 32);
    slot_key key;
    for (uint64_t &w : key.k) w = s = fold_multiply(s ^ 0x9e3779b97f4a7c15ull, 0xd6e8feb86659fd93ull);
    return key;
}

slot_key drawn_key() {
    slot_key key;
    return vqp::secure_random(key.k, sizeof key.k) == 0 ? key : stand_in_key();
}

// Sixteen bytes a round, the length in the starting state so that the zeros
// padding the last round tell nothing apart.
template <class Fold>
uint64_t hash_bytes(const slot_key &key, std::string_view s, Fold fold) {
    const char *p = s.data();
    size_t n = s.size();
    uint64_t h = key.k[2] ^ n;
    for (; n > 16; p += 16, n -= 16)
        h = slot_round(key, fold(vqbytes::load8(p)), fold(vqbytes::load8(p + 8)) ^ h);
    uint64_t last[2] = {0, 0};
    if (n) std::memcpy(last, p, n);
    return slot_final(key, slot_round(key, fold(last[0]), fold(last[1]) ^ h));
}

}  // namespace

const slot_key &slot_key_once() {
    static const slot_key key = drawn_key();
    return key;
}

uint64_t slot_hash(const slot_key &key, std::string_view s) {
    return hash_bytes(key, s, [](uint64_t w) { return w; });
}

uint64_t slot_hash_folded(const slot_key &key, std::string_view s) { return hash_bytes(key, s, vqbytes::lower8); }

}  // namespace vqc
