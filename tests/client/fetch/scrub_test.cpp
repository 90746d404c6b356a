// Scrubbing of failure texts: the URL asked for shown redacted, every
// credential and query value of every URL of the chain gone, whatever its
// length, the credentials as the transport was handed them too, and nothing
// written looked at again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source_client/fetch/scrub.h"

using namespace vqc;

namespace {

const std::string kShown = "http://h/x?<redacted>";
const std::string kLong(512, 'T');  // a query token as real playlists carry them
const std::string kJwt = "eyJ" + std::string(2197, 'J');

struct scrub_case {
    const char *name;
    std::string text;
    std::vector<std::string> urls;  // the last one asked for last
    std::string out;
    std::vector<const char *> secrets = {};
};

TEST(ScrubFailure, EveryUrlOfTheChainWhateverItsLength) {
    const std::vector<scrub_case> cases = {
        {"user, password, query, values", "u:p@ x u:p pw a=1 7 #f", {"http://u:pw@h/x?a=7#f"},
         "u:p@ x u:p <redacted> a=1 <redacted> #f"},
        {"nothing to hide", "at http://h/y", {"http://h/x"}, "at http://h/y"},
        {"the URL asked for", "GET http://u:pw@h/x?a=7 failed", {"http://u:pw@h/x?a=7"}, "GET " + kShown + " failed"},
        {"a 512-byte value", "token " + kLong + " refused", {"http://h/x?t=" + kLong + "&b=2"},
         "token <redacted> refused"},
        {"a 2,200-byte value", "bad jwt " + kJwt, {"http://h/x?jwt=" + kJwt}, "bad jwt <redacted>"},
        {"a long password", "pw " + kLong, {"http://u:" + kLong + "@h/x"}, "pw <redacted>"},
        {"only in the redirect target", "to https://cdn/p?sig=" + kJwt + " as bob:pw, sig " + kJwt,
         {"http://h/x", "https://bob:pw@cdn/p?sig=" + kJwt}, "to https://cdn/p?<redacted> as <redacted>, sig <redacted>"},
        {"an earlier hop", "key K1 then key K2", {"http://h/a?key=K1", "http://h/b?key=K2"},
         "key <redacted> then key <redacted>"},
        {"the longest first", "abc", {"http://h/x?a=ab&b=abc"}, "<redacted>"},
        {"the mark is not scrubbed again", "red d", {"http://h/x?a=red&b=d"}, "<redacted> <redacted>"},
        {"decoded credentials", "as b@b with p:w", {"http://b%40b:p%3Aw@h/x"}, "as <redacted> with <redacted>",
         {"b@b", "p:w"}},
        {"no credentials given", "as b@b", {"http://h/x"}, "as b@b", {nullptr, nullptr}},
    };
    for (const auto &c : cases) {
        std::vector<const char *> urls;
        for (const auto &u : c.urls) urls.push_back(u.c_str());
        char out[400];
        scrub_failure(c.text.c_str(), urls.data(), urls.size(), kShown.c_str(), c.secrets.data(), c.secrets.size(),
                      out, sizeof out);
        EXPECT_EQ(std::string(out), c.out) << c.name;
    }
}

TEST(ScrubFailure, CutAfterScrubbing) {
    const char *url = "http://h/x?t=SECRETVALUE";
    char out[16];
    scrub_failure("0123456789 SECRETVALUE", &url, 1, kShown.c_str(), nullptr, 0, out, sizeof out);
    EXPECT_EQ(std::string(out), "0123456789 <red");
    scrub_failure(nullptr, &url, 1, kShown.c_str(), nullptr, 0, out, sizeof out);
    EXPECT_EQ(std::string(out), "transport failu");
}

}  // namespace
