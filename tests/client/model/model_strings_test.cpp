// The string pieces of the channel model: arena copies with UTF-8 repair and
// the folder-path segment form of names.
#include <gtest/gtest.h>

#include <string>

#include "model_support.h"

namespace {

// An empty playlist holding only its arena, as parse_body starts one.
struct arena_only {
    playlist *p = static_cast<playlist *>(vq_calloc(1, sizeof(playlist)));
    arena_only() {
        p->arena = static_cast<char *>(vq_malloc(4096));
        p->arena[0] = '\0';
        p->arena_len = 1;
        p->arena_cap = 4096;
    }
    ~arena_only() { playlist_free(p); }
    std::string add(const std::string &s) {
        uint32_t off = arena_add_n(p, s.data(), s.size());
        return off == kArenaFull ? "<full>" : std::string(pl_str(p, off));
    }
};

struct repair_case {
    const char *why;
    std::string in;
    std::string out;
};

const repair_case kRepairs[] = {
    {"ascii", "Channel One", "Channel One"},
    {"two-byte", "Caf\xC3\xA9", "Caf\xC3\xA9"},
    {"four-byte", "\xF0\x9F\x93\xBA TV", "\xF0\x9F\x93\xBA TV"},
    {"lone 0xFF", "a\xFF" "b", "a\xEF\xBF\xBD" "b"},
    {"latin-1 byte", "Caf\xE9!", "Caf\xEF\xBF\xBD!"},
    {"surrogate: each byte", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"cut at the end", "ab\xE2\x88", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"above U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"long ascii run then bad", std::string(37, 'x') + "\x80", std::string(37, 'x') + "\xEF\xBF\xBD"},
};

TEST(Arena, RepairsWhatIsNotUtf8) {
    for (const auto &c : kRepairs) {
        arena_only a;
        EXPECT_EQ(a.add(c.in), c.out) << c.why;
    }
}

TEST(Arena, OffsetsStayValidAcrossGrowth) {
    arena_only a;
    uint32_t first = arena_add_n(a.p, "first", 5);
    EXPECT_EQ(first, 1u);  // offset 0 is the empty string
    std::string big(10000, 'b');
    uint32_t second = arena_add_n(a.p, big.data(), big.size());
    EXPECT_EQ(second, 7u);
    EXPECT_EQ(a.p->arena_cap, 31104u);  // 4096 grown by half until 3 * 10000 + 1 more fit
    EXPECT_STREQ(pl_str(a.p, first), "first");
    EXPECT_EQ(std::string(pl_str(a.p, second)), big);
    EXPECT_EQ(a.p->arena_len, 7u + 10001u);
}

TEST(Arena, RefusesWhatCannotFitAndStaysUnchanged) {
    arena_only a;
    vq_alloc_fail_nth(1);
    std::string big(5000, 'z');
    EXPECT_EQ(arena_add_n(a.p, big.data(), big.size()), kArenaFull);
    vq_alloc_disarm();
    EXPECT_EQ(a.p->arena_len, 1u);
    EXPECT_EQ(a.p->arena_cap, 4096u);
    // Beyond the 32-bit offset range nothing is allocated or read.
    EXPECT_EQ(arena_add_n(a.p, nullptr, size_t{0x60000000}), kArenaFull);
    EXPECT_EQ(a.add("ok"), "ok");
}

std::string segment(const std::string &text) {
    vqjson::TextOut out;
    seg_str(out, text);
    return std::string(out.view());
}

// The segment form as the inside of a JSON string: its own replacements, then
// the JSON escapes of what they leave.
TEST(SegStr, ReplacesSlashesAndControlBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"News/Sport", "News\xE2\x88\x95Sport"},
        {"a\tb", "a b"},
        {"del\x7F" "x\x1F", "del x "},
        {std::string("n\0l", 3), "n l"},
        {"Caf\xC3\xA9 \xFF", "Caf\xC3\xA9 \xFF"},  // bytes from 0x80 pass unchanged
        {"", ""},
        {"//", "\xE2\x88\x95\xE2\x88\x95"},
        {"say \"hi\" \\o/", "say \\\"hi\\\" \\\\o\xE2\x88\x95"},
    };
    for (const auto &[in, out] : cases) EXPECT_EQ(segment(in), out) << in;
}

TEST(SegStr, LongNamesKeepEveryByte) {
    for (size_t extra : {0, 1, 2, 400}) {
        std::string name(170, '/');
        name += std::string(extra, 'n');
        std::string want;
        for (size_t i = 0; i < 170; i++) want += "\xE2\x88\x95";
        want += std::string(extra, 'n');
        EXPECT_EQ(segment(name), want) << extra;
    }
}

TEST(SegStr, ShortageOfMemoryFailsTheText) {
    std::string name(600, 'x');
    vqjson::TextOut out;
    vq_alloc_fail_nth(1);
    seg_str(out, name);
    vq_alloc_disarm();
    EXPECT_TRUE(out.failed());
    size_t len = 1;
    EXPECT_EQ(out.release(&len), nullptr);
    EXPECT_EQ(len, 0u);
}

}  // namespace
