#include "crafted_playlists.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

namespace {

constexpr uint64_t kFnvBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;
constexpr uint64_t kGolden = 0x9e3779b97f4a7c15ull;
constexpr uint64_t kLow20 = (uint64_t{1} << 20) - 1;
constexpr std::string_view kUrlChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::string_view kHost = "http://c.test/";

// The multiplicative inverse of an odd number modulo 2^64 (Newton's iteration).
uint64_t inverse(uint64_t odd) {
    uint64_t x = odd;
    for (int i = 0; i < 6; i++) x *= 2 - odd * x;
    return x;
}

uint64_t fnv1a(std::string_view s, uint64_t h = kFnvBasis) {
    for (unsigned char c : s) h = (h ^ c) * kFnvPrime;
    return h;
}

uint64_t channel_id(std::string_view location) { return fnv1a("\x1f", fnv1a(location)); }

void fail(const char *what) {
    std::fprintf(stderr, "crafted playlists: %s\n", what);
    std::abort();
}

// Three URL characters numbered 0 to 2^18 - 1.
std::string triple(uint32_t n) { return {kUrlChars[n >> 12], kUrlChars[(n >> 6) & 63], kUrlChars[n & 63]}; }

std::string url_chars(uint64_t n, int count) {
    std::string s;
    for (int i = 0; i < count; i++, n >>= 6) s += kUrlChars[n & 63];
    return s;
}

// Locations prefix + three characters + three characters whose channel ids end
// in 20 zero bits. The low k bits of FNV-1a depend only on the low k bits of
// its state, and each step can be undone (the prime is odd), so the states
// the first three characters reach are sorted by their low bits, and each
// choice of the last three, undone from the target, names the states that fit.
void add_colliding(std::vector<std::string> &out, const std::string &prefix, size_t want) {
    constexpr uint32_t kTriples = 1u << 18;
    std::vector<uint32_t> reached(kTriples), first(kLow20 + 2, 0), by_state(kTriples);
    uint64_t start = fnv1a(prefix);
    for (uint32_t t = 0; t < kTriples; t++) {
        reached[t] = static_cast<uint32_t>(fnv1a(triple(t), start) & kLow20);
        first[reached[t] + 1]++;
    }
    for (uint64_t s = 0; s <= kLow20; s++) first[s + 1] += first[s];
    std::vector<uint32_t> next(first.begin(), first.end() - 1);
    for (uint32_t t = 0; t < kTriples; t++) by_state[next[reached[t]]++] = t;
    const uint64_t undo = inverse(kFnvPrime);
    for (uint32_t b = 0; b < kTriples && out.size() < want; b++) {
        std::string back = triple(b);
        uint64_t need = 0x1f;  // the state before the separator byte of an id ending in zeros
        for (int i = 2; i >= 0; i--) need = (need * undo) ^ static_cast<unsigned char>(back[i]);
        need &= kLow20;
        for (uint32_t k = first[need]; k < first[need + 1] && out.size() < want; k++)
            out.push_back(prefix + triple(by_state[k]) + back);
    }
}

std::string flat_playlist(const std::vector<std::string> &locations) {
    std::string text = "#EXTM3U\n";
    for (const auto &location : locations) text += "#EXTINF:-1,c\n" + location + "\n";
    return text;
}

// The group table's former slot hash before its mask, kept here only to craft
// names against it.
uint64_t old_name_hash(std::string_view name) {
    uint64_t h = name.size() * kGolden;
    for (size_t i = 0; i < name.size(); i += 8) {
        uint64_t w = 0;
        std::memcpy(&w, name.data() + i, name.size() - i < 8 ? name.size() - i : 8);
        h = (h ^ w) * kGolden;
        h ^= h >> 29;
    }
    return h ^ (h >> 32);
}

// The second word of a 16-byte name whose first word left the hash's state at
// h, such that the name hashes to f: each step undone from the end.
uint64_t last_word_for(uint64_t h, uint64_t f) {
    uint64_t x = f ^ (f >> 32);
    x ^= (x >> 29) ^ (x >> 58);
    return (x * inverse(kGolden)) ^ h;
}

// Printable ASCII that a quoted attribute value keeps as it is.
bool title_byte(unsigned char c) { return c > ' ' && c < 0x7f && c != '"' && c != ','; }

bool title_word(uint64_t w) {
    for (int i = 0; i < 8; i++, w >>= 8)
        if (!title_byte(static_cast<unsigned char>(w))) return false;
    return true;
}

std::string word_text(uint64_t w) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &w, 8);
    return s;
}

// A 16-byte title: eight characters that number it, then a word found by
// trying final hashes that end in 20 zero bits until the word they need is
// printable (about one in 3,600).
std::string colliding_title(int n, std::mt19937_64 &rng) {
    std::string head = url_chars(static_cast<uint64_t>(n), 8);
    uint64_t w0 = 0;
    std::memcpy(&w0, head.data(), 8);
    uint64_t h = (16 * kGolden ^ w0) * kGolden;
    h ^= h >> 29;
    for (;;) {
        uint64_t w1 = last_word_for(h, rng() & ~kLow20);
        if (title_word(w1)) return head + word_text(w1);
    }
}

// The same eight characters, then eight at random.
std::string random_title(int n, std::mt19937_64 &rng) {
    std::string s = url_chars(static_cast<uint64_t>(n), 8);
    while (s.size() < 16) {
        auto c = static_cast<unsigned char>(rng());
        if (title_byte(c)) s += static_cast<char>(c);
    }
    return s;
}

std::string grouped_playlist(const std::vector<std::string> &titles) {
    std::string text = "#EXTM3U\n";
    for (size_t i = 0; i < titles.size(); i++)
        text += "#EXTINF:-1 group-title=\"" + titles[i] + "\",c\n" + std::string(kHost) + url_chars(i, 6) + "\n";
    return text;
}

}  // namespace

playlist_pair colliding_ids(int count) {
    std::vector<std::string> crafted, random;
    for (uint64_t p = 0; crafted.size() < static_cast<size_t>(count); p++)
        add_colliding(crafted, std::string(kHost) + url_chars(p, 2), static_cast<size_t>(count));
    std::mt19937_64 rng(1);
    for (const auto &location : crafted) {
        if ((channel_id(location) & kLow20) != 0) fail("an id does not collide");
        random.push_back(std::string(kHost) + url_chars(rng(), 8));
    }
    return {flat_playlist(crafted), flat_playlist(random)};
}

playlist_pair colliding_group_titles(int count) {
    std::mt19937_64 rng(2);
    std::vector<std::string> crafted, random;
    for (int i = 0; i < count; i++) {
        crafted.push_back(colliding_title(i, rng));
        if ((old_name_hash(crafted.back()) & kLow20) != 0) fail("a title does not collide");
        random.push_back(random_title(i, rng));
    }
    return {grouped_playlist(crafted), grouped_playlist(random)};
}
