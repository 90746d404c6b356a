// Resolution of redirect targets (RFC 3986, section 5) and the URL limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/alloc.h"
#include "source_client/fetch/redirect.h"
#include "source_client/util/limits.h"

using namespace vqc;

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

// The target, or "" when the redirect is not followed.
std::string resolve(const std::string &base, const char *location, redirect_outcome *outcome = nullptr) {
    char *next = nullptr;
    redirect_outcome got = redirect_target(base.c_str(), location, &next);
    if (outcome) *outcome = got;
    EXPECT_EQ(next != nullptr, got == redirect_outcome::followed) << base << " + " << (location ? location : "null");
    std::string text = next ? next : "";
    vq_free(next);
    return text;
}

TEST(RedirectTarget, ResolvesReferencesLikeRfc3986) {
    for (const auto &c : kCases) {
        redirect_outcome outcome;
        std::string next = resolve(c.base, c.location.c_str(), &outcome);
        EXPECT_EQ(outcome, c.next.empty() ? redirect_outcome::not_followed : redirect_outcome::followed)
            << c.base << " + " << c.location;
        EXPECT_EQ(next, c.next) << c.base << " + " << c.location;
    }
    EXPECT_EQ(resolve("http://h.example/a", nullptr), "");
}

struct limit_case {
    const char *name;
    std::string base, location;
    size_t target;  // its length when followed, 0 when too long
};

// Appending (not operator+) keeps GCC 12 from false -Wrestrict reports.
template <class... Parts>
std::string join(const Parts &...parts) {
    std::string s;
    (s.append(parts), ...);
    return s;
}

// The Location, the base and the target each hold at most kMaxUrlBytes.
TEST(RedirectTarget, TargetsHoldAtMostTheUrlLimit) {
    const std::string host = "http://h.example/";
    const size_t room = kMaxUrlBytes - host.size();
    auto a = [](size_t n) { return std::string(n, 'a'); };
    const std::string near = join(host, a(room - 10), "/x");
    const std::vector<limit_case> cases = {
        {"absolute at the limit", host, join(host, a(room)), kMaxUrlBytes},
        {"absolute over it", host, join(host, a(room + 1)), 0},
        {"absolute far over it", host, join(host, a(1 << 20)), 0},
        {"path at the limit", host, join("/", a(room)), kMaxUrlBytes},
        {"path over it", host, join("/", a(room + 1)), 0},
        {"merged under the limit", near, a(8), kMaxUrlBytes - 1},
        {"merged at the limit", near, a(9), kMaxUrlBytes},
        {"merged over it", near, a(10), 0},
        {"merged far over it", near, a(room), 0},
        {"merged back under it", join(near, "/"), join(a(room - 1), "/../../../b"), host.size() + 1},
        {"the base itself at the limit", join(host, "p?", a(room - 2)), "#f", kMaxUrlBytes},
        {"base at the limit", join(host, a(room - 1), "/"), "b", 0},
        {"base just under it", join(host, a(room - 2), "/"), "b", kMaxUrlBytes},
        {"base over it", join(host, a(room), "/"), "b", 0},
        {"base far over it", join(host, a(1 << 20), "/"), "b", 0},
    };
    for (const auto &c : cases) {
        redirect_outcome outcome;
        std::string next = resolve(c.base, c.location.c_str(), &outcome);
        EXPECT_EQ(outcome, c.target ? redirect_outcome::followed : redirect_outcome::too_long) << c.name;
        EXPECT_EQ(next.size(), c.target) << c.name;
    }
}

}  // namespace
