// Resolution of redirect targets (RFC 3986, section 5) and the URL limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source_client/redirect.h"

namespace {

struct target_case {
    std::string base, location, next;  // next "" when the redirect is not followed
};

const std::vector<target_case> kCases = {
    // RFC 3986, 5.4.1 and 5.4.2
    {"http://a/b/c/d;p?q", "g", "http://a/b/c/g"},
    {"http://a/b/c/d;p?q", "./g", "http://a/b/c/g"},
    {"http://a/b/c/d;p?q", "g/", "http://a/b/c/g/"},
    {"http://a/b/c/d;p?q", "/g", "http://a/g"},
    {"http://a/b/c/d;p?q", "//g", "http://g"},
    {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y"},
    {"http://a/b/c/d;p?q", "g?y", "http://a/b/c/g?y"},
    {"http://a/b/c/d;p?q", "#s", "http://a/b/c/d;p?q"},
    {"http://a/b/c/d;p?q", "g#s", "http://a/b/c/g"},
    {"http://a/b/c/d;p?q", ";x", "http://a/b/c/;x"},
    {"http://a/b/c/d;p?q", ".", "http://a/b/c/"},
    {"http://a/b/c/d;p?q", "./", "http://a/b/c/"},
    {"http://a/b/c/d;p?q", "..", "http://a/b/"},
    {"http://a/b/c/d;p?q", "../g", "http://a/b/g"},
    {"http://a/b/c/d;p?q", "../..", "http://a/"},
    {"http://a/b/c/d;p?q", "../../g", "http://a/g"},
    {"http://a/b/c/d;p?q", "../../../g", "http://a/g"},
    {"http://a/b/c/d;p?q", "/./g", "http://a/g"},
    {"http://a/b/c/d;p?q", "/../g", "http://a/g"},
    {"http://a/b/c/d;p?q", "g.", "http://a/b/c/g."},
    {"http://a/b/c/d;p?q", "..g", "http://a/b/c/..g"},
    {"http://a/b/c/d;p?q", "./../g", "http://a/b/g"},
    {"http://a/b/c/d;p?q", "./g/.", "http://a/b/c/g/"},
    {"http://a/b/c/d;p?q", "g/./h", "http://a/b/c/g/h"},
    {"http://a/b/c/d;p?q", "g/../h", "http://a/b/c/h"},
    {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y"},
    // a URL with nothing after its host has the path "/"
    {"http://h.example", "next.m3u", "http://h.example/next.m3u"},
    {"http://h.example", "/b", "http://h.example/b"},
    {"http://h.example", "?page=2", "http://h.example/?page=2"},
    {"http://h.example?q=1", "x", "http://h.example/x"},
    {"https://u@h.example:8443/a/", "b", "https://u@h.example:8443/a/b"},
    // absolute URLs are taken as they are, without their fragment
    {"http://h.example/a", "https://cdn.example/p.m3u#frag", "https://cdn.example/p.m3u"},
    {"http://h.example/a", "HTTP://CDN.example/./P", "HTTP://CDN.example/./P"},
    // not followed
    {"http://h.example/a", "", ""},
    {"http://h.example/a", "mailto:x@y", ""},
    {"http://h.example/a", "ftp:x", ""},
    {"relative/base", "x", ""},
};

TEST(RedirectTarget, ResolvesReferencesLikeRfc3986) {
    for (const auto &c : kCases) {
        char next[kUrlCap] = "unchanged";
        bool followed = redirect_target(c.base.c_str(), c.location.c_str(), next);
        EXPECT_EQ(followed, !c.next.empty()) << c.base << " + " << c.location;
        if (followed) {
            EXPECT_EQ(std::string(next), c.next) << c.base << " + " << c.location;
        }
    }
}

TEST(RedirectTarget, TargetsHoldAtMost2047Bytes) {
    char next[kUrlCap];
    const std::string base = "http://h.example/";
    std::string fits = "/" + std::string(2047 - base.size(), 'a');
    ASSERT_TRUE(redirect_target(base.c_str(), fits.c_str(), next));
    EXPECT_EQ(std::string(next).size(), 2047u);
    std::string relative = std::string(2047 - base.size(), 'b');
    ASSERT_TRUE(redirect_target(base.c_str(), relative.c_str(), next));
    EXPECT_EQ(std::string(next), base + relative);
    EXPECT_FALSE(redirect_target(base.c_str(), (fits + "a").c_str(), next));
    EXPECT_FALSE(redirect_target(base.c_str(), (relative + "b").c_str(), next));
    std::string absolute = "http://h/" + std::string(2038, 'd');
    EXPECT_TRUE(redirect_target(base.c_str(), absolute.c_str(), next));
    EXPECT_FALSE(redirect_target(base.c_str(), (absolute + "e").c_str(), next));
    EXPECT_FALSE(redirect_target(base.c_str(), nullptr, next));
}

}  // namespace
