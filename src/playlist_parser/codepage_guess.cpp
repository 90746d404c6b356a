// Both guesses score the runs of bytes from 0x80 up that lie between ASCII
// bytes; no converter runs for them.
//
// GBK or CP1252: Western names put one or two accented letters beside ASCII
// letters (the e acute of Television, the c cedilla and a tilde of Portuguese
// "-cao"); Chinese names are runs of byte pairs, most of them common
// characters of GB2312 (level 1: lead 0xB0 to 0xD7, trail 0xA1 to 0xFE). Each
// reading gains for what its own text looks like; CP1252 loses for runs of
// three or more, which Western text hardly writes. One pass, which ends early
// once one reading leads by so much that the rest of a real list would not
// turn it.
//
// The other single-byte code pages: each language written in a code page
// (codepage_letters.h) reads the text through it. Its letters gain or lose by
// how common they are in the language, and lose more when foreign to it; a
// byte the code page lacks rules the code page out. Every reading also loses
// for what no language writes: a small letter followed by a capital, a symbol
// touching a letter, a letter after one that only ends words, letters of
// another script glued to an ASCII word, more than three accented Latin
// letters in a row. A text that one language explains thus reads better than
// one that needs several, as Czech read through CP1252 does. Another code page
// wins when it reads better than CP1252 by two common letters' worth, and
// better than GBK unless GBK cannot read the bytes.
#include "playlist_parser/codepage_guess.h"

#include <cstdint>
#include <limits>

#include "common/ascii.h"
#include "common/byte_scan.h"
#include "playlist_parser/codepage_letters.h"

namespace vqplp {

namespace {

// About a hundred names' worth of characters.
constexpr int64_t kDecisiveLead = 256;
// What a foreign letter costs, and each flaw of a word's shape.
constexpr int64_t kFlaw = -kForeign;
// By how much another code page must read better than CP1252: two common
// letters' worth, so that one letter that also reads as a Western one does not
// turn a list.
constexpr int64_t kMargin = 4;
// A common Chinese character stands for two bytes, as much as two common
// letters of a single-byte code page.
constexpr int64_t kPairWorth = 4;
constexpr int64_t kRuledOut = std::numeric_limits<int64_t>::min() / 2;

// A run of bytes from 0x80 up and the ASCII bytes beside it (0 at an end).
struct Run {
    const unsigned char *p;
    size_t len;
    char before, after;
};

// The index of the first byte from 0x80 up at or after i, or n. Such bytes
// are few and far between, so ASCII is passed many bytes a step.
size_t next_high(const unsigned char *p, size_t n, size_t i) { return i + vqbytes::ascii_run(p + i, n - i); }

// The run that starts at i (a byte from 0x80 up).
Run run_at(const unsigned char *p, size_t n, size_t i) {
    size_t end = i;
    while (end < n && p[end] >= 0x80) ++end;
    return Run{p + i, end - i, static_cast<char>(i > 0 ? p[i - 1] : 0), static_cast<char>(end < n ? p[end] : 0)};
}

// A letter of CP1252 (accented Latin from 0xC0, and the S, OE, Z, s, oe, z
// and Y with marks between 0x8A and 0x9F), or the typographic apostrophe 0x92
// that sits inside words (L'Equipe).
bool western_in_word(unsigned char c) {
    if (c >= 0xC0) return c != 0xD7 && c != 0xF7;
    return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x92 || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

int64_t western_score(const Run &r) {
    if (r.len >= 3) return -static_cast<int64_t>(r.len);
    if (!vq_is_alpha(r.before) && !vq_is_alpha(r.after)) return 0;
    for (size_t k = 0; k < r.len; ++k)
        if (!western_in_word(r.p[k])) return 0;
    return static_cast<int64_t>(r.len);
}

// Whole pairs in the GB2312 area: two for a common character, one for the
// rest of it (rarer characters, punctuation, full-width forms).
int64_t chinese_score(const Run &r) {
    int64_t score = 0;
    for (size_t k = 0; k + 1 < r.len; k += 2) {
        unsigned char lead = r.p[k], trail = r.p[k + 1];
        if (lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1 && trail != 0xFF) score += lead >= 0xB0 && lead <= 0xD7 ? 2 : 1;
    }
    return score;
}

// Whether GBK can read the run: each byte from 0x81 up leads a pair whose
// second byte (0x40 up, not 0x7F or 0xFF) may be the ASCII byte after the
// run; 0x80 alone is the euro sign.
bool gbk_fits(const Run &r) {
    for (size_t k = 0; k < r.len;) {
        unsigned char c = r.p[k];
        if (c == 0x80) {
            ++k;
            continue;
        }
        auto trail = static_cast<unsigned char>(k + 1 < r.len ? r.p[k + 1] : r.after);
        if (c == 0xFF || trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
        k += 2;
    }
    return true;
}

// Whole pairs that are common characters of GB2312: what Chinese names are
// made of nearly throughout.
int64_t common_chinese(const Run &r) {
    int64_t pairs = 0;
    for (size_t k = 0; k + 1 < r.len; k += 2)
        pairs += r.p[k] >= 0xB0 && r.p[k] <= 0xD7 && r.p[k + 1] >= 0xA1 && r.p[k + 1] != 0xFF;
    return pairs;
}

bool is_letter(HighByte h) { return h == HighByte::kLower || h == HighByte::kUpper || h == HighByte::kFinal; }

// An ASCII byte as the shape of a word sees it.
HighByte ascii_kind(char c) {
    if (!vq_is_alpha(c)) return HighByte::kBoundary;
    return vq_is_upper(c) ? HighByte::kUpper : HighByte::kLower;
}

// A small letter followed by a capital, a symbol beside a letter, or a
// letter after one that only ends words.
int flaw(HighByte a, HighByte b) {
    bool case_break = (a == HighByte::kLower || a == HighByte::kFinal) && b == HighByte::kUpper;
    bool stray_symbol = (a == HighByte::kSymbol && is_letter(b)) || (is_letter(a) && b == HighByte::kSymbol);
    bool early_end = a == HighByte::kFinal && is_letter(b);
    return case_break || stray_symbol || early_end;
}

// The flaws of a run's shape in one code page; -1 when the code page lacks
// one of its bytes. Marks (vowel points) sit between letters unseen. The case
// of an ASCII letter beside the run counts only in a Latin code page (in
// another one, script_joins weighs that the scripts meet).
int shape_flaws(const HighByte *kind, bool latin, const Run &r) {
    int flaws = 0;
    HighByte prev = latin ? ascii_kind(r.before) : HighByte::kBoundary;
    for (size_t k = 0; k < r.len; ++k) {
        HighByte h = kind[r.p[k] - 0x80];
        if (h == HighByte::kMissing) return -1;
        if (h == HighByte::kMark) continue;
        flaws += flaw(prev, h);
        prev = h;
    }
    return flaws + flaw(prev, latin ? ascii_kind(r.after) : HighByte::kBoundary);
}

// Whether the byte is a letter of the reading.
bool reads_letter(const Reading &reading, unsigned char c) { return reading.weight[c - 0x80] != kNoLetter; }

// Letters of a script other than Latin that touch an ASCII letter (a Greek
// word with "TV" glued on, or an accented letter inside an ASCII word read
// as Cyrillic).
int script_joins(const Reading &reading, const Run &r) {
    if (reading.latin) return 0;
    return (vq_is_alpha(r.before) && reads_letter(reading, r.p[0])) +
           (vq_is_alpha(r.after) && reads_letter(reading, r.p[r.len - 1]));
}

// The letters of a run as a reading scores them. A byte that a code page
// reads as CP1252 does (same[b - 0x80]) only counts against a language that
// lacks the letter: how common it is in one language or another says nothing
// about which code page is right.
int64_t letters_score(const Reading &reading, const Run &r, const bool *same) {
    int64_t score = kForeign * script_joins(reading, r);
    // A lone byte read as a letter of another script tells little: it is
    // as often a Western symbol (the times sign of "24x7").
    if (!reading.latin && r.len == 1) return score;
    int letters = 0;
    for (size_t k = 0; k < r.len; ++k) {
        int8_t w = reading.weight[r.p[k] - 0x80];
        if (w == kNoLetter) continue;
        if (reading.latin && letters++ >= 3) w = kForeign;  // crowded
        if (!same[r.p[k] - 0x80] || w < 0) score += w;
    }
    return score;
}

// Each code page other than CP1252 is weighed against CP1252 on the bytes
// the two read differently: the letters they share say nothing about which
// is right, and a language's own weights for them would tip the balance.
struct Tally {
    int64_t own[kReadingCount] = {};                     // the readings of the other pages
    int64_t western[kPageCount][kWesternReadings] = {};  // CP1252's, over what each other page reads otherwise
    bool ruled_out[kPageCount] = {};
    int64_t gbk = 0;
    bool gbk_ruled_out = false;
};

void tally_run(const PageLetters &t, const Run &r, Tally *tally) {
    int flaws[kPageCount];
    for (int p = 0; p < kPageCount; ++p) {
        flaws[p] = tally->ruled_out[p] ? 0 : shape_flaws(t.kind[p], t.latin[p], r);
        tally->ruled_out[p] = tally->ruled_out[p] || flaws[p] < 0;
    }
    // A flaw between two bytes that two pages read alike counts on both sides.
    for (int p = 1; p < kPageCount; ++p)
        for (int w = 0; w < kWesternReadings && !tally->ruled_out[p]; ++w)
            tally->western[p][w] += letters_score(t.reading[w], r, t.as_western[p]) - kFlaw * flaws[0];
    for (int i = kWesternReadings; i < kReadingCount; ++i) {
        int p = t.reading[i].page;
        tally->own[i] += letters_score(t.reading[i], r, t.as_western[p]) - kFlaw * flaws[p];
    }
    tally->gbk += common_chinese(r);
    tally->gbk_ruled_out = tally->gbk_ruled_out || !gbk_fits(r);
}

// How much better the reading reads than CP1252 does.
int64_t lead_of(const Tally &tally, int page, int64_t own) {
    if (tally.ruled_out[0]) return own;
    int64_t western = kRuledOut;
    for (int64_t w : tally.western[page]) western = w > western ? w : western;
    return own - western;
}

const char *verdict(const Tally &tally, const PageLetters &t) {
    const char *page = nullptr;
    int64_t best_lead = kMargin - 1;
    for (int i = kWesternReadings; i < kReadingCount; ++i) {
        int p = t.reading[i].page;
        int64_t own = tally.own[i];
        bool gbk_reads_better = !tally.gbk_ruled_out && own <= kPairWorth * tally.gbk;
        if (tally.ruled_out[p] || own <= 0 || gbk_reads_better) continue;
        int64_t lead = lead_of(tally, p, own);
        if (lead > best_lead) {
            best_lead = lead;
            page = kGuessedPages[p];
        }
    }
    return page;
}

}  // namespace

bool reads_as_western(const unsigned char *p, size_t n) {
    int64_t western = 0, chinese = 0;
    for (size_t i = next_high(p, n, 0); i < n; i = next_high(p, n, i)) {
        Run r = run_at(p, n, i);
        western += western_score(r);
        chinese += chinese_score(r);
        if (western - chinese > kDecisiveLead || chinese - western > kDecisiveLead) break;
        i += r.len;
    }
    return western > chinese;
}

const char *likely_code_page(const unsigned char *p, size_t n) {
    const PageLetters &t = page_letters();
    Tally tally;
    size_t seen = 0;
    for (size_t i = next_high(p, n, 0); i < n && seen < kGuessSample; i = next_high(p, n, i)) {
        Run r = run_at(p, n, i);
        tally_run(t, r, &tally);
        seen += r.len;
        i += r.len;
    }
    return verdict(tally, t);
}

}  // namespace vqplp
