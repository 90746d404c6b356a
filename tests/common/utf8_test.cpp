// The one UTF-8 sequence check and the repairs built on it.
#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace {

const unsigned char *bytes(const char *s) { return reinterpret_cast<const unsigned char *>(s); }

TEST(Utf8Seq, AcceptsExactlyTheWellFormedSequences) {
    struct Case { const char *bytes; size_t left; size_t len; uint32_t cp; };
    const Case cases[] = {
        {"A", 1, 1, 'A'}, {"\x00", 1, 1, 0}, {"\xc2\x80", 2, 2, 0x80}, {"\xc1\xbf", 2, 0, 0},
        {"\xe0\xa0\x80", 3, 3, 0x800}, {"\xe0\x9f\x80", 3, 0, 0}, {"\xed\x9f\xbf", 3, 3, 0xD7FF},
        {"\xed\xa0\x80", 3, 0, 0}, {"\xf0\x90\x80\x80", 4, 4, 0x10000}, {"\xf0\x8f\x80\x80", 4, 0, 0},
        {"\xf4\x8f\xbf\xbf", 4, 4, 0x10FFFF}, {"\xf4\x90\x80\x80", 4, 0, 0}, {"\xf5\x80\x80\x80", 4, 0, 0},
        {"\xe2\x88\x95", 2, 0, 0}, {"\xe2\x88\x95", 3, 3, 0x2215}, {"\x80", 1, 0, 0}, {"A", 0, 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vq_utf8_seq(bytes(c.bytes), c.left), c.len) << c.bytes;
        uint32_t cp = 0;
        EXPECT_EQ(vq_utf8_decode(bytes(c.bytes), c.left, &cp), c.len) << c.bytes;
        if (c.len) {
            EXPECT_EQ(cp, c.cp) << c.bytes;
        }
    }
}

TEST(Utf8Seq, LeadLengthReadsTheFormAlone) {
    for (int b = 0; b < 256; ++b) {
        size_t want = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 0;
        EXPECT_EQ(vq_utf8_lead_len(static_cast<unsigned char>(b)), want) << b;
        EXPECT_EQ(vq_utf8_continues(static_cast<unsigned char>(b)), b >= 0x80 && b < 0xC0) << b;
    }
}

TEST(Utf8FormLen, ReadsLeadAndContinuationBytesAlone) {
    struct Case { const char *bytes; size_t left; size_t len; };
    const Case cases[] = {
        {"A", 1, 1}, {"\x00", 1, 1}, {"\x80", 1, 0}, {"\xbf", 1, 0}, {"\xc0\x80", 2, 2}, {"\xc3\xa9", 2, 2},
        {"\xc3" "A", 2, 0}, {"\xc3", 1, 0}, {"\xed\xa0\x80", 3, 3}, {"\xe2\x88", 2, 0}, {"\xe2\x88" "A", 3, 0},
        {"\xf7\xbf\xbf\xbf", 4, 4}, {"\xf0\x90\x80", 3, 0}, {"\xf8\x80\x80\x80", 4, 0}, {"\xff", 1, 0},
        {"A", 0, 0},
    };
    for (const auto &c : cases) EXPECT_EQ(vq_utf8_form_len(bytes(c.bytes), c.left), c.len) << c.bytes;
}

// A bad byte at every place of texts longer than one word-at-a-time step.
TEST(Utf8Repair, FindsEveryBadByteAtEveryOffset) {
    for (size_t len = 0; len <= 70; ++len) {
        for (size_t bad = 0; bad <= len; ++bad) {
            std::string s(len, 'a');
            if (bad < len) s[bad] = '\xff';
            auto *p = bytes(s.c_str());
            EXPECT_EQ(vq_utf8_valid_prefix(p, len), bad) << len << " " << bad;
            std::string q = s;
            vq_utf8_repair(q.data(), q.size());
            std::string out(3 * len, '\0');
            out.resize(vq_utf8_copy_repaired(out.data(), p, len));
            std::string want_q = s, want_out = s;
            if (bad < len) {
                want_q[bad] = '?';
                want_out.replace(bad, 1, "\xEF\xBF\xBD");
            }
            EXPECT_EQ(q, want_q);
            EXPECT_EQ(out, want_out);
        }
    }
}

TEST(Utf8Repair, ReplacesEachByteOfABrokenSequence) {
    struct Case { std::string in, marked, replaced; };
    const Case cases[] = {
        {"\xc3\xa9", "\xc3\xa9", "\xc3\xa9"},
        {"a\xed\xa0\x80z", "a???z", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz"},
        {"\xe2\x88", "??", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xe2\x88\x95\xc3", "\xe2\x88\x95?", "\xe2\x88\x95\xEF\xBF\xBD"},
    };
    for (const auto &c : cases) {
        std::string q = c.in;
        vq_utf8_repair(q.data(), q.size());
        EXPECT_EQ(q, c.marked);
        std::string out(3 * c.in.size(), '\0');
        out.resize(vq_utf8_copy_repaired(out.data(), bytes(c.in.data()), c.in.size()));
        EXPECT_EQ(out, c.replaced);
    }
}

}  // namespace
