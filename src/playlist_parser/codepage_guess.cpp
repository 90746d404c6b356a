// Both readings are scored over the runs of bytes from 0x80 up that lie
// between ASCII bytes. Western names put one or two accented letters beside
// ASCII letters (the e acute of Television, the c cedilla and a tilde of
// Portuguese "-cao"); Chinese names are runs of byte pairs, most of them
// common characters of GB2312 (level 1: lead 0xB0 to 0xD7, trail 0xA1 to
// 0xFE). Each reading gains for what its own text looks like; CP1252 loses
// for runs of three or more, which Western text hardly writes. No converter
// runs for this: one pass over the bytes, which ends early once one reading
// leads by so much that the rest of a real list would not turn it.
#include "playlist_parser/codepage_guess.h"

#include <cstdint>

#include "common/ascii.h"
#include "common/byte_scan.h"

namespace vqplp {

namespace {

// About a hundred names' worth of characters.
constexpr int64_t kDecisiveLead = 256;

// A letter of CP1252 (accented Latin from 0xC0, and the S, OE, Z, s, oe, z
// and Y with marks between 0x8A and 0x9F), or the typographic apostrophe 0x92
// that sits inside words (L'Equipe).
bool western_in_word(unsigned char c) {
    if (c >= 0xC0) return c != 0xD7 && c != 0xF7;
    return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x92 || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

int64_t western_score(const unsigned char *run, size_t len, bool word_before, bool word_after) {
    if (len >= 3) return -static_cast<int64_t>(len);
    if (!word_before && !word_after) return 0;
    for (size_t k = 0; k < len; ++k)
        if (!western_in_word(run[k])) return 0;
    return static_cast<int64_t>(len);
}

// Whole pairs in the GB2312 area: two for a common character, one for the
// rest of it (rarer characters, punctuation, full-width forms).
int64_t chinese_score(const unsigned char *run, size_t len) {
    int64_t score = 0;
    for (size_t k = 0; k + 1 < len; k += 2) {
        unsigned char lead = run[k], trail = run[k + 1];
        if (lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1 && trail != 0xFF) score += lead >= 0xB0 && lead <= 0xD7 ? 2 : 1;
    }
    return score;
}

// The index of the first byte from 0x80 up at or after i, or n. Such bytes
// are few and far between, so ASCII is passed many bytes a step.
size_t next_high(const unsigned char *p, size_t n, size_t i) { return i + vqbytes::ascii_run(p + i, n - i); }

}  // namespace

bool reads_as_western(const unsigned char *p, size_t n) {
    int64_t western = 0, chinese = 0;
    for (size_t i = next_high(p, n, 0); i < n; i = next_high(p, n, i)) {
        size_t end = i;
        while (end < n && p[end] >= 0x80) ++end;
        bool before = i > 0 && vq_is_alpha(p[i - 1]);
        bool after = end < n && vq_is_alpha(p[end]);
        western += western_score(p + i, end - i, before, after);
        chinese += chinese_score(p + i, end - i);
        if (western - chinese > kDecisiveLead || chinese - western > kDecisiveLead) break;
        i = end;
    }
    return western > chinese;
}

}  // namespace vqplp
