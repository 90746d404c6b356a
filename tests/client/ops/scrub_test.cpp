// Replacement in failure texts, cut at 255 bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source_client/scrub.h"

namespace {

struct replace_case {
    std::string text, from, to, out;
};

TEST(ReplaceAll, ReplacesEveryOccurrenceWithin255Bytes) {
    const std::vector<replace_case> cases = {
        {"", "a", "b", ""},
        {"abc", "", "x", "abc"},
        {"a-a-a", "a", "<b>", "<b>-<b>-<b>"},
        {"aaa", "aa", "x", "xa"},
        {"none here", "zz", "y", "none here"},
        {std::string(300, 'q'), "z", "y", std::string(255, 'q')},
        {std::string(250, 'q') + "SECRET", "SECRET", "<redacted>", std::string(250, 'q') + "<reda"},
    };
    for (const auto &c : cases) {
        char out[kScrubCap];
        replace_all(c.text.c_str(), c.from.c_str(), c.to.c_str(), out);
        EXPECT_EQ(std::string(out), c.out) << c.text.substr(0, 20) << " / " << c.from;
    }
}

TEST(ScrubFailure, RedactsUserPasswordQueryAndValues) {
    char out[kScrubCap];
    scrub_failure("u:p@ x u:p pw a=1 7 #f", "http://u:pw@h/x?a=7#f", "http://h/x?<redacted>", out);
    EXPECT_EQ(std::string(out), "u:p@ x u:p <redacted> a=1 <redacted> #f");
    scrub_failure("at http://h/x", "http://h/x", "http://h/x", out);
    EXPECT_EQ(std::string(out), "at http://h/x");
    scrub_failure(nullptr, "http://h/", "http://h/", out);
    EXPECT_EQ(std::string(out), "transport failure");
}

}  // namespace
