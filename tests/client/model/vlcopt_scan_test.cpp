// The "#EXTVLCOPT" scan on its own: which entry receives which option, and
// when the entry lines do not add up to the parser's item count.
#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

#include "model_support.h"
#include "source_client/model_build.h"

namespace {

struct scan_case {
    const char *why;
    std::string text;
    int32_t items;
    const char *want;  // "index:agent|referrer" for every entry that got an option
    bool mismatch;
};

const scan_case kCases[] = {
    {"agent and referrer for the next entry only",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=Agent/1\n#EXTVLCOPT:http-referrer=http://r/\nhttp://a\nhttp://b\n", 2,
     "0:Agent/1|http://r/", false},
    {"any case, spaces around '=', quotes", "#EXTM3U\n#extvlcopt: HTTP-Referer = \"R1\"\nhttp://a\n", 1, "0:-|R1", false},
    {"no colon at all", "#EXTM3U\n#EXTVLCOPThttp-user-agent=U\nhttp://a\n", 1, "0:U|-", false},
    {"a later option of the same kind wins",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=A\n#EXTVLCOPT:http-user-agent=B\nhttp://a\n", 1, "0:B|-", false},
    {"empty, quoted-empty, keyless and unknown options are ignored",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=\n#EXTVLCOPT:http-user-agent=\"\"\n#EXTVLCOPT:http-user-agent\n"
     "#EXTVLCOPT:network-caching=1000\nhttp://a\n",
     1, "", false},
    {"a lone quote is kept", "#EXTM3U\n#EXTVLCOPT:http-user-agent=\"\nhttp://a\n", 1, "0:\"|-", false},
    {"the value keeps inner spaces and '='", "#EXTM3U\n#EXTVLCOPT:http-user-agent= A b=c  \nhttp://a\n", 1,
     "0:A b=c|-", false},
    {"CR, CRLF and LF line ends mixed",
     "#EXTM3U\r#EXTINF:-1,A\r\n#EXTVLCOPT:http-user-agent=U\rhttp://a\nhttp://b\r\n", 2, "0:U|-", false},
    {"the first non-empty line is passed over", "\n  #EXTVLCOPT:http-user-agent=U\nhttp://a\n", 1, "", false},
    {"a NUL ends the content of its line",
     "#EXTM3U\n#EXTVLCOPT:http-user-agent=U\0X\nhttp://a\n"s, 1, "0:U|-", false},
    {"a line whose content a NUL empties is no entry",
     "#EXTM3U\n\0http://hidden\nhttp://a\n"s, 1, "", false},
    {"an option after the last entry goes nowhere", "#EXTM3U\nhttp://a\n#EXTVLCOPT:http-user-agent=U\n", 1, "",
     false},
    {"more entry lines than items", "#EXTM3U\nhttp://a\n#EXTVLCOPT:http-user-agent=U\nhttp://b\n", 1, "", true},
    {"fewer entry lines than items", "#EXTM3U\n#EXTVLCOPT:http-referer=R\nhttp://a\n", 2, "0:-|R", true},
    {"no text at all", "", 1, "", true},
    {"the tag needs ten bytes", "#EXTM3U\n#EXTVLCOP\nhttp://a\n", 1, "", false},
    {"a tab before the option", "#EXTM3U\n\t#EXTVLCOPT\t:http-user-agent=T\nhttp://a\n", 1, "0:T|-", false},
    {"bad UTF-8 in a value is repaired", "#EXTM3U\n#EXTVLCOPT:http-user-agent=a\xFF\nhttp://a\n", 1,
     "0:a\xEF\xBF\xBD|-", false},
};

std::string run(const scan_case &c, bool *mismatch) {
    playlist *p = static_cast<playlist *>(vq_calloc(1, sizeof(playlist)));
    p->arena = static_cast<char *>(vq_malloc(4096));
    p->arena[0] = '\0';
    p->arena_len = 1;
    p->arena_cap = 4096;
    entry_opts *opts = nullptr;
    const char *text = c.text.empty() ? nullptr : c.text.data();
    EXPECT_EQ(vlcopt_scan(p, text, c.text.size(), c.items, &opts, mismatch), 0);
    std::string got;
    for (int32_t i = 0; opts && i < c.items; i++) {
        if (!opts[i].user_agent && !opts[i].referrer) continue;
        if (!got.empty()) got += ' ';
        got += std::to_string(i);
        got += ':';
        got += str_at(p, opts[i].user_agent);
        got += '|';
        got += str_at(p, opts[i].referrer);
    }
    vq_free(opts);
    playlist_free(p);
    return got;
}

TEST(VlcoptScan, MatchesOptionsToEntriesByPosition) {
    for (const auto &c : kCases) {
        bool mismatch = false;
        EXPECT_EQ(run(c, &mismatch), c.want) << c.why;
        EXPECT_EQ(mismatch, c.mismatch) << c.why;
    }
}

TEST(VlcoptScan, OptionsBeyondWordBoundariesAreFound) {
    // Line breaks at every offset within an eight-byte word.
    for (size_t pad = 0; pad < 9; pad++) {
        std::string name(pad, 'x');
        scan_case c{"padding", "#EXTM3U\n#EXTINF:-1," + name + "\n#EXTVLCOPT:http-user-agent=" + name +
                                   "U\r\nhttp://a/" + name + "\n",
                    1, "", false};
        bool mismatch = true;
        EXPECT_EQ(run(c, &mismatch), "0:" + name + "U|-") << pad;
        EXPECT_FALSE(mismatch);
    }
}

TEST(VlcoptScan, ShortageOfMemoryLeavesNothingBehind) {
    const scan_case &c = kCases[0];
    struct outcome {
        int rc;
        bool has_opts;
    };
    auto attempt = [&](long k) {
        playlist *p = static_cast<playlist *>(vq_calloc(1, sizeof(playlist)));
        p->arena = static_cast<char *>(vq_malloc(16));  // too small: the first option grows it
        p->arena[0] = '\0';
        p->arena_len = 1;
        p->arena_cap = 16;
        entry_opts *opts = nullptr;
        bool mismatch = false;
        vq_alloc_fail_nth(k);
        int rc = vlcopt_scan(p, c.text.data(), c.text.size(), c.items, &opts, &mismatch);
        vq_alloc_disarm();
        outcome o{rc, opts != nullptr};
        vq_free(opts);
        playlist_free(p);
        return o;
    };
    long allocations = alloc_sweep(attempt, [](long, const outcome &o) {
        EXPECT_EQ(o.rc, -1);
        EXPECT_FALSE(o.has_opts);
    });
    EXPECT_EQ(allocations, 3) << "two arena growths and the option table";
}

}  // namespace
