// Every allocation of a parse is made to fail in turn: the parse must give
// status 6 or a clean result, never a crash or a leak (the sanitizer build
// checks leaks at exit).
#include <gtest/gtest.h>

#include <string>

#include "alloc_sweep.h"
#include "parser_test_util.h"

using namespace ptest;

namespace {

struct Input {
    const char *what;
    std::string text;
    int32_t format;
};

struct parsed {
    int rc;
    int32_t items;
    std::string error, json;
};

// The parse and its JSON rendering under each shortage: status 6 with an empty
// error text, or the same items and document as without one.
void fail_each_allocation(const Input &in) {
    SCOPED_TRACE(in.what);
    ASSERT_EQ(parse(in.text, in.format), 0);
    const int32_t items = vqplp_item_count();
    const std::string json = vqplp_result_json();
    alloc_sweep(
        [&](long k) {
            vq_alloc_fail_nth(k);
            int rc = parse(in.text, in.format);
            const char *doc = vqplp_result_json(), *error = vqplp_last_error();
            return parsed{rc, vqplp_item_count(), error ? error : "(null)", doc ? doc : "(null)"};
        },
        [&](long, const parsed &p) {
            ASSERT_TRUE(p.rc == VQPLP_OK || p.rc == VQPLP_E_NOMEM) << p.rc;
            if (p.rc == VQPLP_E_NOMEM) {
                EXPECT_EQ(p.error, "");
            } else {
                EXPECT_EQ(p.items, items);
            }
        },
        [&](const parsed &p) {
            EXPECT_EQ(p.rc, VQPLP_OK);
            EXPECT_EQ(p.items, items);
            EXPECT_EQ(p.json, json);
        });
    vqplp_clear();
}

}  // namespace

TEST(ParserAllocFail, EveryAllocationMayFail) {
    std::string attrs = "#EXTM3U\n";
    for (int i = 0; i < 300; ++i)
        attrs += "#EXTGRP:G\n#EXTINF:-1 tvg-id=\"id" + std::to_string(i) + "\" tvg-name=\"N\",T\nhttp://a/" +
                 std::to_string(i) + "\n# note\n";
    const Input inputs[] = {
        {"m3u with attributes", attrs, VQPLP_FMT_AUTO},
        {"cue",
         "TITLE \"S\"\nFILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nTITLE T\nINDEX 01 00:00:01\nREM x\n"
         "TRACK 02 AUDIO\nINDEX 01 00:01:00\n",
         VQPLP_FMT_AUTO},
        {"gbk fallback", "#EXTM3U\n#EXTINF:-1 group-title=\"\xD6\xD0\",\xCE\xC4\nhttp://a/\n", VQPLP_FMT_AUTO},
        {"utf-16",
         std::string("\xFF\xFE#\0E\0X\0T\0M\0"
                     "3\0U\0\n\0h\0t\0t\0p\0:\0/\0/\0a\0\n\0",
                     36),
         VQPLP_FMT_AUTO},
        {"streaming", "A, http://a/\nB, http://b/\nftp://c/\n", VQPLP_FMT_AUTO},
    };
    for (const Input &in : inputs) fail_each_allocation(in);
}
