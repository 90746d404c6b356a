// Slots of the hash tables over what a playlist or an entry brings (channel
// ids, group names, header names). The hash is keyed with four words the OS
// gives once per process, so a playlist cannot be made to pile its entries
// into one probe run without knowing them. The mix is a multiply-and-fold in
// the manner of wyhash: one 64 x 64 -> 128-bit multiply per sixteen bytes or
// per pair of words, its halves folded together, so a channel costs two
// multiplies, where SipHash would cost a few dozen operations.
#pragma once
#include <cstdint>
#include <string_view>

namespace vqc {

struct slot_key {
    uint64_t k[4];
};

// The process's key, drawn on first use (thread-safe) from the OS's secure
// random source; where the OS gives none, the clock and addresses placed by
// address-space randomisation stand in.
const slot_key &slot_key_once();

inline uint64_t fold_multiply(uint64_t a, uint64_t b) {
    unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
    return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
}

// Two words of input mixed with the key's first two words.
inline uint64_t slot_round(const slot_key &key, uint64_t a, uint64_t b) {
    return fold_multiply(a ^ key.k[0], b ^ key.k[1]);
}

// The last mix, which spreads every bit of h into the low bits a mask keeps.
inline uint64_t slot_final(const slot_key &key, uint64_t h) { return fold_multiply(h ^ key.k[2], key.k[3]); }

inline uint64_t slot_hash_pair(const slot_key &key, uint64_t a, uint64_t b) {
    return slot_final(key, slot_round(key, a, b));
}

// The bytes of s; the second form with the ASCII letters taken in lower case,
// for names compared without regard to case.
uint64_t slot_hash(const slot_key &key, std::string_view s);
uint64_t slot_hash_folded(const slot_key &key, std::string_view s);

}  // namespace vqc
