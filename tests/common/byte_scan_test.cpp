// The wide scans against their plain twins and the answer itself: every
// scan, every start offset within a vector, every length 0 to 80 (the widest
// step and a vector more), the byte sought at every place (or nowhere),
// with a second one beside it that must not be taken instead, and one just
// past the end that must not be read.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

#include "common/ascii.h"
#include "common/byte_scan.h"

namespace {

using namespace vqbytes;

using ScanFn = size_t (*)(const void *, size_t);

struct Scan {
    const char *name;
    ScanFn wide, plain;
    bool from_end;  // the answer is the last byte sought, not the first
    std::vector<unsigned char> fillers, sought;
};

const Scan kScans[] = {
    {"ascii_run", ascii_run, [](const void *p, size_t n) { return ascii_run_plain(p, n, 0); }, false, {'a', 0}, {0x80, 0xFF}},
    {"printable_run", printable_run, [](const void *p, size_t n) { return printable_run_plain(p, n, 0); }, false,
     {'a', ' ', '~'}, {0x00, 0x1F, 0x7F, 0x80}},
    {"find_control", find_control, [](const void *p, size_t n) { return find_control_plain(p, n, 0); }, false,
     {'a', ' ', 0x00, 0x80}, {0x01, 0x1F, 0x7F}},
    {"find_any", find_any<'/', '?', '#', ' '>,
     [](const void *p, size_t n) { return find_any_plain<'/', '?', '#', ' '>(p, n, 0); }, false, {'a', '.', '"'},
     {'/', '?', '#', ' '}},
    {"find_line_break", find_line_break, [](const void *p, size_t n) { return find_any_plain<'\n', '\r'>(p, n, 0); },
     false, {'a', 0x0B, 0x8D}, {'\n', '\r'}},
    {"find_blank_or", [](const void *p, size_t n) { return find_blank_or(p, n, '='); },
     [](const void *p, size_t n) { return find_blank_or_plain(p, n, 0, '='); }, false, {'a', '!', '<', 0x80},
     {' ', 0x00, 0x1F, '='}},
    {"find_json_escape", find_json_escape<>, [](const void *p, size_t n) { return find_json_escape_plain<>(p, n, 0); },
     false, {'a', ' ', '/', 0x7F, 0x80}, {0x00, 0x1F, '"', '\\'}},
    {"find_json_escape_or", find_json_escape<'/', 0x7F>,
     [](const void *p, size_t n) { return find_json_escape_plain<'/', 0x7F>(p, n, 0); }, false, {'a', ' ', 0x80, 0xFF},
     {0x00, 0x1F, '"', '\\', '/', 0x7F}},
    {"find_last", [](const void *p, size_t n) { return find_last(p, n, ','); },
     [](const void *p, size_t n) { return find_last_plain(p, n, n, ','); }, true, {'-', 'a', 0x00}, {','}},
};

// The index the scan should answer when the sought byte is at `at` (at == len:
// nowhere), with a second one placed where it must not win.
std::vector<unsigned char> text(size_t offset, size_t len, size_t at, unsigned char filler, unsigned char sought,
                                bool from_end) {
    std::vector<unsigned char> b(offset + len, filler);
    if (at < len) {
        b[offset + at] = sought;
        size_t gap = 1 + at % 3;
        if (!from_end && at + gap < len) b[offset + at + gap] = sought;
        if (from_end && at >= gap) b[offset + at - gap] = sought;
    }
    return b;
}

TEST(ByteScan, WideEqualsPlainEqualsAnswerAtEveryOffsetAndLength) {
    for (const Scan &s : kScans) {
        for (unsigned char filler : s.fillers) {
            for (unsigned char sought : s.sought) {
                for (size_t offset = 0; offset < 16; ++offset) {
                    for (size_t len = 0; len <= 80; ++len) {
                        for (size_t at = 0; at <= len; ++at) {
                            auto b = text(offset, len, at, filler, sought, s.from_end);
                            b.push_back(sought);  // past the end: never the answer
                            const unsigned char *p = b.data() + offset;
                            ASSERT_EQ(s.plain(p, len), at) << s.name << " len " << len << " at " << at;
                            ASSERT_EQ(s.wide(p, len), at)
                                << s.name << " offset " << offset << " len " << len << " at " << at << " filler "
                                << int{filler} << " sought " << int{sought};
                        }
                    }
                }
            }
        }
    }
}

// A NUL at every place before, at and after a high byte at every place: noted
// exactly when it lies before the byte the run ends at, by both twins.
TEST(ByteScan, AsciiRunNotesTheNulsBeforeItsEnd) {
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t len = 0; len <= 80; ++len) {
            for (size_t nul_at = 0; nul_at <= len; ++nul_at) {
                for (size_t high_at = 0; high_at <= len; ++high_at) {
                    std::vector<unsigned char> b(offset + len + 1, 'a');
                    if (high_at < len) b[offset + high_at] = 0x80;
                    if (nul_at < len && nul_at != high_at) b[offset + nul_at] = 0;
                    b[offset + len] = 0;  // past the end: never noted
                    const unsigned char *p = b.data() + offset;
                    bool want = nul_at < high_at, wide = false, plain = false;
                    ASSERT_EQ(ascii_run_noting_nul(p, len, &wide), high_at) << len << " " << high_at;
                    ASSERT_EQ(ascii_run_noting_nul_plain(p, len, 0, &plain), high_at);
                    ASSERT_EQ(wide, want) << "offset " << offset << " len " << len << " nul " << nul_at << " high "
                                          << high_at;
                    ASSERT_EQ(plain, want);
                }
            }
        }
    }
}

// Quotes every first to fifth byte (or none, every == 6) from every offset:
// both twins tell an odd count, and the quote just past the end never counts.
TEST(ByteScan, OddCountTellsTheParityOfTheQuotes) {
    for (size_t offset = 0; offset < 16; ++offset)
        for (size_t len = 0; len <= 48; ++len)
            for (size_t every = 1; every <= 6; ++every) {
                std::vector<unsigned char> b(offset + len + 1, '"');
                for (size_t k = 0; k < len; ++k)
                    if (every == 6 || k % every) b[offset + k] = 'a';
                bool odd = every < 6 && (len + every - 1) / every % 2 == 1;
                ASSERT_EQ(odd_count_plain(b.data() + offset, len, 0, '"'), odd);
                ASSERT_EQ(odd_count(b.data() + offset, len, '"'), odd) << offset << " " << len << " " << every;
            }
}

// Matching runs (each byte `mine` in the first, `theirs` in the second) of
// every length to 40 from every offset, then each with one pair of unequal
// bytes put in at every place: only the matching ones match.
template <class Same>
void tells_every_difference(Same same, char mine, char theirs, std::initializer_list<std::pair<char, char>> unequal) {
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t len = 0; len <= 40; ++len) {
            std::vector<char> a(offset + len + 1, mine), b(len + 1, theirs);
            a[offset + len] = 'x';  // past the end: never compared
            ASSERT_TRUE(same(a.data() + offset, b.data(), len)) << len;
            for (size_t at = 0; at < len; ++at)
                for (auto [x, y] : unequal) {
                    a[offset + at] = x, b[at] = y;
                    ASSERT_FALSE(same(a.data() + offset, b.data(), len)) << offset << " " << len << " " << at;
                    a[offset + at] = mine, b[at] = theirs;
                }
        }
}

// One byte changed (a bit low or high): the runs differ.
TEST(ByteScan, SameBytesTellsEveryDifference) {
    tells_every_difference(same_bytes, 'k', 'k', {{'k', 'j'}, {'k', '\xEB'}});
}

// Upper case matches lower case; a byte that only |0x20 would fold (the line
// ends, "@" and "[" beside "`" and "{", a high byte) or another letter does not.
TEST(ByteScan, SameFoldedFoldsLettersOnly) {
    tells_every_difference(same_folded, 'K', 'k', {{'K', 'j'}, {'\r', '-'}, {'@', '`'}, {'[', '{'}, {'\xCB', '\xEB'}});
}

// The build's lanes (SSE2 where there is SSE2) mark what the byte loops that
// stand in for them mark: every byte value in every lane against every byte,
// alone and combined.
TEST(ByteLanes, MarkWhatTheByteLoopsMark) {
    auto marks = [](auto l, unsigned char c) {
        return std::array{l.marks(), l.equal(c).marks(), l.below(c).marks(), l.at_least(c).marks(),
                          (l.below(c) | l.equal('"')).marks(), (l.at_least(c) & l.below(0x80)).marks()};
    };
    for (int v = 0; v < 256; ++v)
        for (size_t lane = 0; lane < 16; ++lane) {
            unsigned char in[16] = {0x00, 0x01, 0x20, 0x21, 0x7E, 0x7F, 0x80, 0xFF, 'A', 'z', '"', ',', '=', '\n', '\r', 0x9F};
            in[lane] = static_cast<unsigned char>(v);
            for (int c = 0; c < 256; ++c)
                if (marks(Lanes::load(in), c) != marks(PlainLanes::load(in), c)) FAIL() << v << " in lane " << lane << " against " << c;
        }
}

// Every byte value in every lane, beside bytes that are and are not letters.
TEST(ByteScan, Lower8FoldsExactlyTheUpperCaseLetters) {
    for (int b = 0; b < 256; ++b) {
        for (size_t lane = 0; lane < 8; ++lane) {
            unsigned char in[8] = {'A', 'z', '@', '[', 0x00, 0xFF, 0xC1, 'Z'}, want[8];
            in[lane] = static_cast<unsigned char>(b);
            for (size_t k = 0; k < 8; ++k) want[k] = static_cast<unsigned char>(vq_lower(static_cast<char>(in[k])));
            uint64_t out = lower8(load8(in));
            ASSERT_EQ(out, load8(want)) << b << " in lane " << lane;
        }
    }
}

}  // namespace
