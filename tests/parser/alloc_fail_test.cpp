// Every allocation of a parse is made to fail in turn: the parse must give
// status 6 or a clean result, never a crash or a leak (the sanitizer build
// checks leaks at exit).
#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "parser_test_util.h"

using namespace ptest;

namespace {

struct Input {
    const char *what;
    std::string text;
    int32_t format;
};

// Runs the parse and the JSON rendering with the k-th allocation failing, for
// k = 1, 2, ... until a run passes without the fault firing.
void fail_each_allocation(const Input &in) {
    ASSERT_EQ(parse(in.text, in.format), 0);
    const int32_t items = vqplp_item_count();
    const std::string json = vqplp_result_json();
    for (long k = 1;; ++k) {
        SCOPED_TRACE(std::string(in.what) + " k=" + std::to_string(k));
        vq_alloc_fail_nth(k);
        int rc = parse(in.text, in.format);
        const char *doc = vqplp_result_json();
        bool fired = vq_alloc_fault_hit();
        vq_alloc_disarm();
        ASSERT_TRUE(rc == VQPLP_OK || rc == VQPLP_E_NOMEM) << rc;
        if (rc == VQPLP_E_NOMEM) {
            EXPECT_STREQ(vqplp_last_error(), "");
        } else {
            EXPECT_EQ(vqplp_item_count(), items);
        }
        if (!fired) {
            EXPECT_EQ(doc, json);
            break;
        }
    }
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
